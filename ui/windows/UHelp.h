// The program's own help window: the help page in a text browser, for a desktop that has no
// browser to show it.
#pragma once

#include <QString>
#include <QWidget>

class QPushButton;
class QTextBrowser;

namespace moratutor::ui {

class TFHelp : public QWidget {
    Q_OBJECT
public:
    // A window of its own beside `owner`, not modal; it closes with the owner.
    explicit TFHelp(QWidget* owner = nullptr);

    // Shows the page (kept where it was when it is already shown), or says that it is missing.
    void ShowPage(const QString& page);

    QTextBrowser* Browser() const { return browserHelp; }

private:
    QTextBrowser* browserHelp = nullptr;
    QPushButton* btnBack = nullptr;
    QPushButton* btnForward = nullptr;
    QPushButton* btnHome = nullptr;
};

}  // namespace moratutor::ui
