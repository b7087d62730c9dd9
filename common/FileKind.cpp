#include "FileKind.h"

#include <QFile>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace moratutor {

PathCheck CheckPath(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return {FileKind::Missing, 0, QString::fromLocal8Bit(std::strerror(errno))};
    if (S_ISREG(info.st_mode)) return {FileKind::Regular, static_cast<qint64>(info.st_size), {}};
    if (S_ISDIR(info.st_mode)) return {FileKind::Directory, 0, {}};
    if (S_ISFIFO(info.st_mode)) return {FileKind::Pipe, 0, {}};
    if (S_ISSOCK(info.st_mode)) return {FileKind::Socket, 0, {}};
    return {FileKind::Device, 0, {}};
}

}  // namespace moratutor
