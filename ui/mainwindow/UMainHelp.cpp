// The help page.
#include "UMain.h"

#include "HelpPage.h"
#include "UHelp.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

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

// An installed copy keeps the page in share/moratutor; a build tree has it beside the program.
// The desktop's browser shows it where one really takes HTML; otherwise (no xdg-open, no
// handler, or this program named as the one for HTML, which would open a second converter
// window) the program's own help window does.
void TFMain::actHelpExecute() {
    const QString page = moratutor::FindHelpPage(HelpPagePath(QCoreApplication::applicationFilePath()));
    if (QFileInfo(page).isFile() && moratutor::BrowserShowsHtml() &&
        QDesktopServices::openUrl(QUrl::fromLocalFile(page)))
        return;
    if (!HelpWindow) HelpWindow = new TFHelp(this);
    HelpWindow->ShowPage(page);
    HelpWindow->show();
    HelpWindow->raise();
    HelpWindow->activateWindow();
}

}  // namespace moratutor::ui
