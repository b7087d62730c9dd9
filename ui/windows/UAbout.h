// The About window and the haiku it shows.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

#include <cstdint>
#include <functional>

class QEvent;
class QFrame;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QToolBar;
class QToolButton;

namespace moratutor::about {

class TFAbout : public QDialog {
    Q_OBJECT

public:
    explicit TFAbout(QWidget* parent = nullptr);
    ~TFAbout() override;

    // Places lblHaiku's text: right edge fixed, growing to the left and downwards.
    void SetHaikuText(const QString& haiku);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Controls, in declaration order.
    QGroupBox* grpbxAbout = nullptr;
    QLabel* lblCaption = nullptr;
    QLabel* imgMainIcon = nullptr;
    QLabel* lblHint = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* lblCopyright = nullptr;
    QLabel* lblEMail = nullptr;
    QLabel* lblSendEMail = nullptr;
    QLabel* lblHaiku = nullptr;
    QLabel* lblGoToURL = nullptr;
    QLabel* lblMadeFor = nullptr;
    QToolBar* ToolBar = nullptr;
    QToolButton* tbtnClose = nullptr;

    // The window's parts, made in the order their controls are declared.
    void SetUpFrame();
    void CreateNameAndPicture();
    void CreateMailLines();
    void CreateHaiku();
    void CreateWebLine();
    void CreateToolBar();

    // Handlers.
    void FormCreate();
    void FormKeyDown(QKeyEvent* event);
    void tbtnCloseClick();
    void lblSendEMailClick();
    void lblGoToURLClick();
    void LabelMouseEnter(QObject* sender);
    void LabelMouseLeave(QObject* sender);
};

// The About window while ShowAbout shows it; null otherwise.
extern TFAbout* FAbout;

// Creates the About window, shows it modally and frees it when it closes.
void ShowAbout();

// One haiku of the collection "HAIKU", its verses separated by one CR.
QString GetRandomHaiku();

}  // namespace moratutor::about

namespace moratutor::about {

// What the About window names and links to.
QString AuthorMailAddress();
QString WebAddress();
QString CopyrightLine();
// "mailto:ADDRESS?subject=TITLE", nothing encoded.
QString MailLinkTarget();

// The application icon in all its sizes.
QIcon ApplicationIcon();

// Where lblHaiku's right edge stays, in the group box.
constexpr int kHaikuRightEdge = 376;
constexpr int kHaikuTop = 128;

namespace detail {
// GetRandomHaiku with the draw supplied: exactly one call of randomBelow(n) for n lines,
// none for an empty collection.
QString GetRandomHaikuWith(const std::function<std::uint32_t(std::uint32_t)>& randomBelow);
}  // namespace detail

}  // namespace moratutor::about
