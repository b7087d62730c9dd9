// Writing a whole file so that a failure leaves the old one as it was.
#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace moratutor::books {

// Writes the bytes beside path and renames them over it only once every byte has reached
// the disk. Empty when done; otherwise the message for the user: "Cannot create file
// "<path>". <reason>" when the file cannot be created, writeError when writing fails.
std::optional<QString> WriteFileSafely(const QString& path, QByteArrayView bytes,
                                       const QString& writeError = QStringLiteral("Failed to Save Stream"));

}  // namespace moratutor::books
