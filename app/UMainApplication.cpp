#include "UMainApplication.h"

#include <memory>

#include "MessageBoxes.h"
#include "RussianQtTexts.h"
#include "UMain.h"

namespace moratutor::ui {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    // The title is in place before any window exists: captions and message boxes use it.
    setApplicationName(QStringLiteral("Moratutor"));
    setApplicationVersion(QStringLiteral(MORATUTOR_VERSION));
    InstallRussianQtTexts(*this);
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowErrorBox(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowErrorBox(QString());
    }
    return false;
}

int RunMoratutor(int& argc, char** argv) {
    Application app(argc, argv);
    // No arguments are read: the window takes none.
    auto window = std::make_unique<TFMain>();
    window->show();
    Application::exec();
    // Destroying the window saves the preferences, once, after the loop has ended,
    // whether it was closed by its close box or by Quit; an error there is shown.
    window.reset();
    return 0;
}

}  // namespace moratutor::ui
