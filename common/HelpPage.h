// Where the help page is found, and whether the desktop's browser can be asked to show it.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace moratutor {

// The first of the page beside the program and the pages of the same name in each of
// dataDirs that exists; the page beside the program when none does.
QString FindHelpPage(const QString& besideProgram, const QStringList& dataDirs,
                     const std::function<bool(const QString& path)>& fileExists);

// The folders an installed copy keeps its help page in (share/moratutor, not the
// documentation folder, which minimal installs leave out): the one at the same place
// relative to the program as when installed (the copy may have been moved or unpacked
// elsewhere), then the one the build was configured for.
QStringList InstalledHelpDirs(const QString& programDir);

// The same with the real file system and the program's own folder.
QString FindHelpPage(const QString& besideProgram);

// Whether handing an HTML page to xdg-open shows it in a browser: xdg-open is there and
// the desktop's default for text/html (a desktop id, as xdg-mime names it) is a program
// other than this one. Where this program is the default, or there is none, xdg-open would
// start a second converter window or nothing at all.
bool BrowserShowsHtml(bool haveXdgOpen, const QString& htmlHandler);

// The same asked of the desktop: xdg-open and xdg-mime looked for on PATH, and
// "xdg-mime query default text/html" given timeoutMs to answer.
bool BrowserShowsHtml(int timeoutMs = 3000);

}  // namespace moratutor
