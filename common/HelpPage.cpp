#include "HelpPage.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace moratutor {

QString FindHelpPage(const QString& besideProgram, const QStringList& dataDirs,
                     const std::function<bool(const QString& path)>& fileExists) {
    if (fileExists(besideProgram))
        return besideProgram;
    const QString name = QFileInfo(besideProgram).fileName();
    for (const QString& dir : dataDirs) {
        if (dir.isEmpty())
            continue;
        const QString page = QDir(dir).filePath(name);
        if (fileExists(page))
            return page;
    }
    return besideProgram;
}

QStringList InstalledHelpDirs(const QString& programDir) {
    return {QDir::cleanPath(QDir(programDir).filePath(QStringLiteral(MORATUTOR_HELP_DIR_FROM_BIN))),
            QStringLiteral(MORATUTOR_HELP_DIR)};
}

QString FindHelpPage(const QString& besideProgram) {
    return FindHelpPage(besideProgram, InstalledHelpDirs(QFileInfo(besideProgram).absolutePath()),
                        [](const QString& path) { return QFileInfo(path).isFile(); });
}

bool BrowserShowsHtml(bool haveXdgOpen, const QString& htmlHandler) {
    const QString id = htmlHandler.trimmed();
    if (!haveXdgOpen || id.isEmpty())
        return false;
    // "moratutor.desktop", "org.example.moratutor.desktop", or a user's own copy of either.
    QString name = id.section(u'/', -1);
    if (name.endsWith(QStringLiteral(".desktop")))
        name.chop(8);
    return name.compare(QStringLiteral("moratutor"), Qt::CaseInsensitive) != 0 &&
           !name.endsWith(QStringLiteral(".moratutor"), Qt::CaseInsensitive);
}

bool BrowserShowsHtml(int timeoutMs) {
    const bool haveXdgOpen = !QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty();
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (!haveXdgOpen || xdgMime.isEmpty())
        return false;
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
    if (!query.waitForFinished(timeoutMs)) {
        query.kill();
        query.waitForFinished(1000);
        return false;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return false;
    // The first line is the desktop id; a desktop may add more lines after it.
    const QString answer = QString::fromUtf8(query.readAllStandardOutput()).section(u'\n', 0, 0);
    return BrowserShowsHtml(true, answer);
}

}  // namespace moratutor
