// Operating-system text and login name.
#include "UMostUsed.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSysInfo>

#if defined(Q_OS_UNIX)
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <vector>

namespace moratutor {

#endif

namespace {

// The name names the preferences file: it has to be one plain file-name part that fits
// the room the program gives it (255 characters with the terminating zero).
bool IsUsableLoginName(const QString& name) {
    return !name.isEmpty() && name.size() <= 254 && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(u'/') && !name.contains(u'\\') && !name.contains(QChar(0));
}

}  // namespace

QString RunningImagePath() {
    const QString image = QStringLiteral("/proc/self/exe");
    return QFileInfo::exists(image) ? image : QCoreApplication::applicationFilePath();
}

QString GetOSVersionText() {
    QString kernel;
#if defined(Q_OS_UNIX)
    struct utsname names {};
    if (uname(&names) == 0)
        kernel = QString::fromLocal8Bit(names.sysname) + u' ' + QString::fromLocal8Bit(names.release);
#endif
    if (kernel.isEmpty()) kernel = QSysInfo::kernelType() + u' ' + QSysInfo::kernelVersion();
    const QString product = QSysInfo::prettyProductName();
    if (product.isEmpty() || product == kernel) return kernel.trimmed();
    return QStringLiteral("%1 (%2)").arg(kernel.trimmed(), product);
}

QString GetLoginUserName() {
    QString name;
#if defined(Q_OS_UNIX)
    // The real user, as the password database knows the uid; the session's login name
    // only when the database has no entry.
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
        name = QString::fromLocal8Bit(found->pw_name);
    if (!IsUsableLoginName(name)) {
        char login[256] = {};
        if (getlogin_r(login, sizeof login) == 0) name = QString::fromLocal8Bit(login);
    }
#else
    name = qEnvironmentVariable("USERNAME");
#endif
    return IsUsableLoginName(name) ? name : QStringLiteral("Unknown");
}

}  // namespace moratutor
