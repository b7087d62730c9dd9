#include "UMainApplication.h"

#include <QFile>
#include <QString>

#include <memory>

#include "HeapUse.h"
#include "MessageBoxes.h"
#include "RussianQtTexts.h"
#include "UMain.h"
#include "WindowTrace.h"

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

QString FirstFileArgument(int argc, char** argv) {
    // Qt's options that take the next argument as their value: that value is no file.
    static const QStringList valueOptions{
        QStringLiteral("style"),           QStringLiteral("stylesheet"),      QStringLiteral("platform"),
        QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"), QStringLiteral("plugin"),
        QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),     QStringLiteral("qwindowtitle"),
        QStringLiteral("session"),         QStringLiteral("display"),         QStringLiteral("geometry"),
        QStringLiteral("title"),           QStringLiteral("name"),
    };
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QFile::decodeName(argv[i]);
        if (!optionsEnded && argument == u"--") {
            optionsEnded = true;
        } else if (optionsEnded || !argument.startsWith(u'-')) {
            return argument;
        } else {
            QString option = argument.mid(argument.startsWith(u"--") ? 2 : 1);
            if (!option.contains(u'=') && valueOptions.contains(option)) ++i;
        }
    }
    return {};
}

int RunMoratutor(int argc, char** argv) {
    moratutor::UseOneHeap();
    // The application sees the program's name alone: Qt's own options (-reverse, -style,
    // ...) are no way to change the window.
    int applicationArgc = 1;
    char* applicationArgv[] = {argv[0], nullptr};
    Application app(applicationArgc, applicationArgv);
    InstallWindowTrace(app);
    auto window = std::make_unique<TFMain>();
    window->show();
    // A file named on the command line is loaded as Ctrl+O would; an error is shown and
    // the window stays.
    if (const QString path = FirstFileArgument(argc, argv); !path.isEmpty())
        RunGuarded([&window, &path] { window->LoadFile(path); });
    Application::exec();
    // Destroying the window saves the preferences, once, after the loop has ended,
    // whether it was closed by its close box or by Quit; an error there is shown.
    window.reset();
    return 0;
}

}  // namespace moratutor::ui
