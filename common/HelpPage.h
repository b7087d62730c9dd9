// Where the help page is found: beside the program, or in the documentation folder of an
// installed copy, where a package puts documents.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace moratutor {

// The first of the page beside the program and the pages of the same name in each of
// docDirs that exists; the page beside the program when none does, so that the desktop's
// handler is asked for it all the same.
QString FindHelpPage(const QString& besideProgram, const QStringList& docDirs,
                     const std::function<bool(const QString& path)>& fileExists);

// The folders an installed copy keeps its documents in: the documentation folder at the same
// place relative to the program as when installed (the copy may have been moved or unpacked
// elsewhere), then the one the build was configured for.
QStringList InstalledDocDirs(const QString& programDir);

// The same with the real file system and the program's own folder.
QString FindHelpPage(const QString& besideProgram);

}  // namespace moratutor
