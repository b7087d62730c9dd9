// Sizes and dates in the file dialog's list, written the Russian way.
#pragma once

#include <QIdentityProxyModel>

namespace moratutor::ui {

// Qt's file list writes sizes and dates in the desktop's locale ("26 bytes", "12/9/26 2:45 AM");
// the program speaks Russian whatever the desktop's language.
class RussianFileDetails : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override;

    // "26 байт", "25,4 КБ", "3,1 МБ"…: powers of 1024, as the desktop's file managers count.
    static QString SizeText(qint64 bytes);
};

}  // namespace moratutor::ui
