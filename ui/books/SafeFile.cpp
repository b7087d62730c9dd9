#include "SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace moratutor::books {

std::optional<QString> WriteFileSafely(const QString& path, QByteArrayView bytes, const QString& writeError) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return QStringLiteral("Cannot create file \"%1\". %2")
            .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), file.errorString());
    }
    if (file.write(bytes.data(), bytes.size()) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return writeError;
    }
    // commit() syncs the data to the disk before the rename.
    if (!file.commit()) return writeError;
    return std::nullopt;
}

}  // namespace moratutor::books
