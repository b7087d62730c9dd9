// The help page.
#include "UMain.h"

#include "HelpPage.h"
#include "ShellOpen.h"

#include <QCoreApplication>

#include <algorithm>

namespace moratutor::ui {

QString TFMain::HelpPagePath(const QString& executablePath) {
    // The extension is what follows the last "." after the last separator.
    const qsizetype slash = std::max(executablePath.lastIndexOf(u'/'), executablePath.lastIndexOf(u'\\'));
    const qsizetype dot = executablePath.lastIndexOf(u'.');
    if (dot > slash)
        return executablePath.left(dot) + QStringLiteral(".htm");
    return executablePath + QStringLiteral(".htm");
}

// An installed copy keeps the page with its documents; a build tree has it beside the program.
void TFMain::actHelpExecute() {
    moratutor::ui::ShellOpenFile(moratutor::FindHelpPage(HelpPagePath(QCoreApplication::applicationFilePath())));
}

}  // namespace moratutor::ui
