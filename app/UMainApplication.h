// The application object: title, and the error box for errors that escape a handler.
#pragma once

#include <QApplication>

namespace moratutor::ui {

class Application : public QApplication {
public:
    Application(int& argc, char** argv);

    // An error that escapes any event handler is shown in the error box and the
    // program goes on; the event counts as not handled.
    bool notify(QObject* receiver, QEvent* event) override;
};

// Start-up and shutdown: creates the main window, runs the loop, destroys the window
// (which saves the preferences) and returns the exit code, 0.
int RunMoratutor(int& argc, char** argv);

}  // namespace moratutor::ui
