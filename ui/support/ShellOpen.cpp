#include "ShellOpen.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace moratutor::ui {
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

}  // namespace moratutor::ui
