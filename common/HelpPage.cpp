#include "HelpPage.h"

#include <QDir>
#include <QFileInfo>

namespace moratutor {

QString FindHelpPage(const QString& besideProgram, const QStringList& docDirs,
                     const std::function<bool(const QString& path)>& fileExists) {
    if (fileExists(besideProgram))
        return besideProgram;
    const QString name = QFileInfo(besideProgram).fileName();
    for (const QString& dir : docDirs) {
        if (dir.isEmpty())
            continue;
        const QString page = QDir(dir).filePath(name);
        if (fileExists(page))
            return page;
    }
    return besideProgram;
}

QStringList InstalledDocDirs(const QString& programDir) {
    return {QDir::cleanPath(QDir(programDir).filePath(QStringLiteral(MORATUTOR_DOC_DIR_FROM_BIN))),
            QStringLiteral(MORATUTOR_DOC_DIR)};
}

QString FindHelpPage(const QString& besideProgram) {
    return FindHelpPage(besideProgram, InstalledDocDirs(QFileInfo(besideProgram).absolutePath()),
                        [](const QString& path) { return QFileInfo(path).isFile(); });
}

}  // namespace moratutor
