// The name a save goes to when the file dialog could not follow the chosen type itself.
#pragma once

#include <QString>
#include <QStringList>

namespace moratutor::ui {

// The extension a file type writes: the first pattern of its filter, "Файл RTF (*.rtf)" → "rtf".
QString FilterExtension(const QString& filter);

struct SaveName {
    QString path;
    // True when the extension was added here, so the dialog never asked about this name.
    bool extended = false;
};

// A desktop's own dialog may not report a change of type while it is open, so its default
// extension can be stale. A name with no extension of any of the types gets that of the
// chosen type; any other name is kept as typed (the type alone decides the format).
SaveName NameForChosenType(const QString& path, const QString& chosenFilter, const QStringList& filters);

}  // namespace moratutor::ui
