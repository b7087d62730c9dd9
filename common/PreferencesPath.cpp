#include "PreferencesPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace moratutor {

QString ChoosePreferencesPath(const QString& exeDir, const QString& loginName, const QString& configDir,
                              const PreferencesPathChecks& checks) {
    QString name = loginName;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QChar(0), QLatin1Char('_'));
    if (name.isEmpty()) name = QStringLiteral("Unknown");
    const QString fileName = name + QStringLiteral(".ini");
    const QString besideExe = QDir(exeDir).filePath(fileName);
    if (configDir.isEmpty() || checks.fileExists(besideExe) || checks.dirWritable(exeDir)) return besideExe;
    return QDir(configDir).filePath(fileName);
}

QString ChoosePreferencesPath(const QString& exeDir, const QString& loginName, const QString& configDir) {
    PreferencesPathChecks checks;
    checks.fileExists = [](const QString& path) { return QFileInfo::exists(path); };
    // access() also answers for read-only mounts and for root, where mode bits say little.
    // Programs under /usr belong to a package; even root's preferences stay out of them.
    checks.dirWritable = [](const QString& dir) {
        const QString canonical = QFileInfo(dir).canonicalFilePath();
        if (canonical == QLatin1String("/usr") || canonical.startsWith(QLatin1String("/usr/"))) return false;
        return QFileInfo(dir).isDir() && ::access(QFile::encodeName(dir).constData(), W_OK | X_OK) == 0;
    };
    return ChoosePreferencesPath(exeDir, loginName, configDir, checks);
}

}  // namespace moratutor
