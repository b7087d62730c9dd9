// The application object: title, and the error box for errors that escape a handler.
#pragma once

#include <QApplication>
#include <QString>

namespace moratutor::ui {

class Application : public QApplication {
public:
    Application(int& argc, char** argv);

    // An error that escapes any event handler is shown in the error box and the
    // program goes on; the event counts as not handled.
    bool notify(QObject* receiver, QEvent* event) override;
};

// The first file name among the arguments after the program's: arguments beginning with
// "-" are options and passed over, "--" ends the options. Empty when there is none.
QString FirstFileArgument(int argc, char** argv);

// Start-up and shutdown: creates the main window, loads the first file named on the
// command line, runs the loop, destroys the window (which saves the preferences) and
// returns the exit code, 0.
int RunMoratutor(int argc, char** argv);

}  // namespace moratutor::ui
