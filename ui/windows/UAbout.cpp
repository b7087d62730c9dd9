// The About window: name, version, icon or portrait, links and one haiku.
#include "UAbout.h"

#include <QApplication>
#include <QMainWindow>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStringList>
#include <QToolBar>
#include <QToolButton>

#include <memory>
#include <stdexcept>

#include "MessageBoxes.h"
#include "ShellOpen.h"
#include "ToolBarImages.h"
#include "UMostUsed.h"
#include "moratutor/Engine.h"

namespace moratutor::about {

TFAbout* FAbout = nullptr;

QString AuthorMailAddress() { return QStringLiteral("moratutor@example.org"); }
QString WebAddress() { return QStringLiteral("https://moratutor.example.org/"); }
QString CopyrightLine() { return QStringLiteral("© 2026 Moratutor team"); }

QString MailLinkTarget() {
    return QStringLiteral("mailto:") + AuthorMailAddress() + QStringLiteral("?subject=") + moratutor::ui::ApplicationTitle();
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48})
        icon.addFile(QStringLiteral(":/about/icon%1.png").arg(size), QSize(size, size));
    return icon;
}

namespace detail {

QString GetRandomHaikuWith(const std::function<std::uint32_t(std::uint32_t)>& randomBelow) {
    QString result;
    {
        QStringList lines;  // lives for this one draw only
        LoadStringsFromResource(lines, QStringLiteral("HAIKU"));
        if (lines.isEmpty())
            return result;  // nothing to draw from; RandomBelow(0) would have no answer
        const std::uint32_t index = randomBelow(static_cast<std::uint32_t>(lines.size()));
        if (index >= static_cast<std::uint32_t>(lines.size()))
            throw std::out_of_range("Haiku index out of range");
        result = lines.at(static_cast<qsizetype>(index));
    }
    result.replace(u'|', u'\r');
    return result;
}

}  // namespace detail

QString GetRandomHaiku() {
    return moratutor::about::detail::GetRandomHaikuWith(
        [](std::uint32_t n) { return moratutor::RandomBelow(n); });
}

namespace {

QFont DialogFont(int pointSize, bool bold = false) {
    // The platform's nearest small sans-serif face; the condensed cut keeps the texts close
    // to the widths the layout was drawn for, as in the main window.
    QFont font = QApplication::font();
    font.setPointSize(pointSize);
    font.setStretch(QFont::SemiCondensed);
    font.setBold(bold);
    return font;
}

// A link sits right of its caption; a face wider than the design's must not make them overlap.
void KeepRightOf(const QWidget* caption, QWidget* link) {
    const int clearLeft = caption->geometry().right() + 3;
    if (link->x() < clearLeft)
        link->move(clearLeft, link->y());
}

// A label drawn disabled the classic way: once in the highlight colour one pixel right and
// down, then in the shadow colour in place, for an engraved look.
class EngravedLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override {
        if (isEnabled()) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter painter(this);
        painter.setFont(font());
        const QRect area = contentsRect();
        const int flags = static_cast<int>(alignment());
        painter.setPen(palette().color(QPalette::Active, QPalette::Light));
        painter.drawText(area.translated(1, 1), flags, text());
        painter.setPen(palette().color(QPalette::Active, QPalette::Dark));
        painter.drawText(area, flags, text());
    }
};

// The etched line of a bevel, along the top edge.
class Bevel : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawLine(0, 0, width() - 1, 0);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(0, 1, width() - 1, 1);
    }
};

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->move(left, top);
    label->adjustSize();
    return label;
}

void SetLinkLook(QLabel* label, bool hovered) {
    QPalette palette = label->palette();
    const QColor colour = hovered ? QColor(255, 0, 0) : QColor(0, 0, 255);
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::WindowText, colour);
    label->setPalette(palette);
    QFont font = label->font();
    font.setUnderline(hovered);
    font.setBold(false);
    font.setItalic(false);
    font.setStrikeOut(false);
    label->setFont(font);
}

QLabel* MakeLink(QWidget* parent, const char* name, const QString& text, int left, int top, const QString& tip) {
    QLabel* label = MakeLabel(parent, name, text, left, top);
    label->setForegroundRole(QPalette::WindowText);
    label->setCursor(Qt::PointingHandCursor);
    label->setToolTip(tip);
    SetLinkLook(label, false);
    label->adjustSize();
    return label;
}

}  // namespace

TFAbout::TFAbout(QWidget* parent) : QDialog(parent) {
    SetUpFrame();
    grpbxAbout = new QGroupBox(this);
    grpbxAbout->setObjectName(QStringLiteral("grpbxAbout"));
    grpbxAbout->setGeometry(8, 8, 385, 177);
    grpbxAbout->setLayoutDirection(Qt::LeftToRight);
    CreateNameAndPicture();
    CreateMailLines();
    CreateHaiku();
    CreateWebLine();
    CreateToolBar();
    lblSendEMail->installEventFilter(this);
    lblGoToURL->installEventFilter(this);
    FormCreate();
}

void TFAbout::SetUpFrame() {
    setObjectName(QStringLiteral("FAbout"));
    setWindowTitle(QStringLiteral("О программе"));
    // A dialog frame: fixed size, a close box, no minimise, maximise or help box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(401, 219);
    setFont(DialogFont(8));
    // The button-face colour as background; the texts keep their window-text colour.
    QPalette background = palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        background.setColor(group, QPalette::Window, background.color(group, QPalette::Button));
    setPalette(background);
    setAutoFillBackground(true);
}

void TFAbout::CreateNameAndPicture() {
    lblCaption = MakeLabel(grpbxAbout, "lblCaption", QString(), 72, 24);
    lblCaption->setFont(DialogFont(10, true));

    imgMainIcon = new QLabel(grpbxAbout);
    imgMainIcon->setObjectName(QStringLiteral("imgMainIcon"));
    imgMainIcon->setGeometry(24, 24, 32, 32);
    imgMainIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    imgMainIcon->setScaledContents(false);

    lblHint = MakeLabel(grpbxAbout, "lblHint", QStringLiteral("Лучший способ изучения каны"), 72, 44);

    Bevel1 = new Bevel(grpbxAbout);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(8, 64, 369, 9);
}

void TFAbout::CreateMailLines() {
    lblCopyright = MakeLabel(grpbxAbout, "lblCopyright", moratutor::about::CopyrightLine(), 24, 72);
    lblEMail = MakeLabel(grpbxAbout, "lblEMail", QStringLiteral("e-mail:"), 24, 88);
    lblSendEMail = MakeLink(grpbxAbout, "lblSendEMail", moratutor::about::AuthorMailAddress(), 58, 88,
                            QStringLiteral("Пишите письма мелким шрифтом"));
    KeepRightOf(lblEMail, lblSendEMail);
}

void TFAbout::CreateWebLine() {
    lblGoToURL = MakeLink(grpbxAbout, "lblGoToURL", moratutor::about::WebAddress(), 111, 104,
                          QStringLiteral("Самоучитель Японского языка"));
    lblMadeFor = MakeLabel(grpbxAbout, "lblMadeFor", QStringLiteral("специально для:"), 24, 104);
    KeepRightOf(lblMadeFor, lblGoToURL);
}

void TFAbout::CreateHaiku() {
    lblHaiku = new EngravedLabel(grpbxAbout);
    lblHaiku->setObjectName(QStringLiteral("lblHaiku"));
    lblHaiku->setTextFormat(Qt::PlainText);
    lblHaiku->setWordWrap(false);
    lblHaiku->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lblHaiku->setEnabled(false);
    lblHaiku->setGeometry(338, moratutor::about::kHaikuTop, 38, 39);
}

void TFAbout::CreateToolBar() {
    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setMovable(false);
    ToolBar->setFloatable(false);
    ToolBar->setIconSize(QSize(16, 16));
    ToolBar->setStyleSheet(QStringLiteral("QToolBar { border: 0px; padding: 0px; spacing: 0px; }"));
    if (ToolBar->layout())
        ToolBar->layout()->setContentsMargins(0, 0, 0, 0);

    tbtnClose = new QToolButton(ToolBar);
    tbtnClose->setObjectName(QStringLiteral("tbtnClose"));
    tbtnClose->setAutoRaise(true);
    tbtnClose->setFocusPolicy(Qt::NoFocus);
    tbtnClose->setIcon(moratutor::ui::ToolBarImage(7));  // a white cross on a red square
    tbtnClose->setIconSize(QSize(16, 16));
    tbtnClose->setFixedSize(23, 22);
    tbtnClose->setToolTip(QStringLiteral("Закрыть (Esc)"));
    ToolBar->addWidget(tbtnClose);
    ToolBar->setGeometry(8, 189, 23, 22);
    connect(tbtnClose, &QToolButton::clicked, this, [this] { moratutor::ui::RunGuarded([this] { tbtnCloseClick(); }); });
}

TFAbout::~TFAbout() = default;

void TFAbout::FormCreate() {
    // The picture: the portrait while Ctrl is held as the window is made, else the icon.
    if (IsCtrlKeyDown())
        imgMainIcon->setPixmap(QPixmap(QStringLiteral(":/about/ME.bmp")));
    else
        imgMainIcon->setPixmap(QPixmap(QStringLiteral(":/about/icon32.png")));

    grpbxAbout->setTitle(QStringLiteral(" Версия ") + GetFileVersionString(RunningImagePath()) +
                         QStringLiteral(" "));

    lblCaption->setText(moratutor::ui::ApplicationTitle());
    lblCaption->adjustSize();

    SetHaikuText(GetRandomHaiku());
}

void TFAbout::SetHaikuText(const QString& haiku) {
    // The haiku's verses are separated by CR; the label breaks lines at LF.
    QString shown = haiku;
    shown.replace(u'\r', u'\n');
    lblHaiku->setText(shown);
    lblHaiku->adjustSize();
    lblHaiku->move(moratutor::about::kHaikuRightEdge - lblHaiku->width(), moratutor::about::kHaikuTop);
}

void TFAbout::FormKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        tbtnCloseClick();
        event->accept();
        return;
    }
    // Every other key goes on unchanged; there is no default button, so Enter does nothing.
    QWidget::keyPressEvent(event);
}

void TFAbout::keyPressEvent(QKeyEvent* event) { FormKeyDown(event); }

void TFAbout::tbtnCloseClick() {
    // This window, not whatever FAbout points at: a window made outside ShowAbout must close too.
    close();
}

void TFAbout::lblSendEMailClick() { moratutor::ui::ShellOpenFile(MailLinkTarget()); }

void TFAbout::lblGoToURLClick() { moratutor::ui::ShellOpenFile(lblGoToURL->text()); }

void TFAbout::LabelMouseEnter(QObject* sender) {
    if (auto* label = qobject_cast<QLabel*>(sender))
        SetLinkLook(label, true);
}

void TFAbout::LabelMouseLeave(QObject* sender) {
    if (auto* label = qobject_cast<QLabel*>(sender))
        SetLinkLook(label, false);
}

bool TFAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblSendEMail || watched == lblGoToURL) {
        switch (event->type()) {
        case QEvent::Enter:
            LabelMouseEnter(watched);
            break;
        case QEvent::Leave:
            LabelMouseLeave(watched);
            break;
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            auto* label = static_cast<QLabel*>(watched);
            if (mouse->button() == Qt::LeftButton && label->rect().contains(mouse->position().toPoint())) {
                if (watched == lblSendEMail)
                    moratutor::ui::RunGuarded([this] { lblSendEMailClick(); });
                else
                    moratutor::ui::RunGuarded([this] { lblGoToURLClick(); });
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ShowAbout() {
    // Centred over the main window: the active window, or the first main window there is.
    QWidget* owner = QApplication::activeWindow();
    if (!owner) {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (qobject_cast<QMainWindow*>(widget)) {
                owner = widget;
                break;
            }
    }
    const std::unique_ptr<TFAbout> window(new TFAbout(owner));
    struct Forget {
        ~Forget() { FAbout = nullptr; }
    } forget;
    FAbout = window.get();
    window->exec();
}

}  // namespace moratutor::about
