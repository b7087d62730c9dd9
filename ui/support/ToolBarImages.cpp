#include "ToolBarImages.h"

#include <QString>

namespace moratutor::ui {

QIcon ToolBarImage(int index) {
    if (index < 0 || index > 15) return {};
    return QIcon(QStringLiteral(":/toolbar/%1.svg").arg(index));
}

}  // namespace moratutor::ui
