#include "SaveName.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace moratutor::ui {

QString FilterExtension(const QString& filter) {
    static const QRegularExpression pattern(QStringLiteral(R"(\*\.([^\s;)]+))"));
    return pattern.match(filter).captured(1);
}

SaveName NameForChosenType(const QString& path, const QString& chosenFilter, const QStringList& filters) {
    const QString extension = FilterExtension(chosenFilter);
    const QString fileName = QFileInfo(path).fileName();
    if (extension.isEmpty() || fileName.isEmpty()) return {path, false};
    for (const QString& filter : filters) {
        const QString known = FilterExtension(filter);
        if (!known.isEmpty() && fileName.endsWith(u'.' + known, Qt::CaseInsensitive))
            return {path, false};
    }
    return {path + u'.' + extension, true};
}

}  // namespace moratutor::ui
