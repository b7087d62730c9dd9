#include "RussianFileDetails.h"

#include <QDateTime>
#include <QFileSystemModel>
#include <QLocale>
#include <QString>

namespace moratutor::ui {
namespace {
enum Column { kName, kSize, kType, kDateModified };
}

QString RussianFileDetails::SizeText(qint64 bytes) {
    static const char* const units[] = {"КБ", "МБ", "ГБ", "ТБ"};
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    if (bytes < 1024) return QStringLiteral("%1 байт").arg(bytes);
    double value = double(bytes) / 1024;
    int unit = 0;
    for (; value >= 1024 && unit < 3; ++unit) value /= 1024;
    return russian.toString(value, 'f', 1) + u' ' + QString::fromUtf8(units[unit]);
}

QVariant RussianFileDetails::data(const QModelIndex& index, int role) const {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files || (index.column() != kSize && index.column() != kDateModified))
        return QIdentityProxyModel::data(index, role);
    const QModelIndex source = mapToSource(index);
    // Folders and drives show no size; the source model knows which rows have one.
    if (QIdentityProxyModel::data(index, role).toString().isEmpty()) return QString();
    if (index.column() == kSize) return SizeText(files->size(source));
    // Two-digit year: the column is as narrow as the desktop's own short format needs.
    return files->lastModified(source).toString(QStringLiteral("dd.MM.yy HH:mm"));
}

}  // namespace moratutor::ui
