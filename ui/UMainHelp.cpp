// The help page and the shell-open routine the help and the About window's links use.
#include "UMain.h"

#include "HelpPage.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>


namespace {

// True for "mailto:…", "https://…" and the like; false for paths, including "C:\…".
bool IsAddress(const QString& target) {
    const QUrl url(target, QUrl::StrictMode);
    return url.isValid() && url.scheme().size() > 1 && !target.startsWith(u'/');
}

}  // namespace

void ShellOpenFile(const QString& target) {
    if (target.isEmpty())
        return;
    // A relative path means one in the current folder, as the shell would take it.
    const QUrl url = IsAddress(target) ? QUrl(target, QUrl::TolerantMode)
                                       : QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
    // The desktop's default handler does the rest; that it may find none is not reported.
    QDesktopServices::openUrl(url);
}

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
    ShellOpenFile(moratutor::FindHelpPage(HelpPagePath(QCoreApplication::applicationFilePath())));
}
