// The main window: construction of its controls, actions and menus, creation and
// destruction handlers, and the resize arithmetic.
#include "UMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFontInfo>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMoveEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

#include "AnswerKeyPane.h"
#include "MessageBoxes.h"
#include "ToolBarImages.h"
#include "PaneDocument.h"
#include "UKanaChart.h"
#include "UMostUsed.h"
#include "moratutor/SyllableTable.h"

namespace moratutor::ui {

namespace {

// Client size at the window's initial size; the window never gets smaller.
constexpr int kClientWidth = 760;
constexpr int kClientHeight = 522;

QCheckBox* MakeCheckBox(QWidget* parent, const QString& name, const QString& caption, int top) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setGeometry(16, top, 121, 17);
    return box;
}

// `pasteAside`: a large paste goes in with the layout set aside (a pane with no answer key).
QTextEdit* MakePane(QWidget* parent, const char* name, bool pasteAside) {
    auto* pane = new QTextEdit(parent);
    pane->setObjectName(QString::fromLatin1(name));
    pane->setGeometry(8, 16, 568, 197);
    pane->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    pane->setLineWrapMode(QTextEdit::WidgetWidth);
    // Tab moves on to the next control, as in the other controls of the window.
    pane->setTabChangesFocus(true);
    pane->setContextMenuPolicy(Qt::CustomContextMenu);
    moratutor::ui::GuardPane(*pane, pasteAside);
    return pane;
}

}  // namespace

QIcon TFMain::imgsToLLicons(int index) { return moratutor::ui::ToolBarImage(index); }

TFMain::TFMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("FMain"));
    // The platform's nearest small sans-serif face, 8 points; the condensed cut keeps the
    // group captions within their 121 pixels.
    QFont windowFont = QApplication::font();
    windowFont.setPointSize(8);
    windowFont.setStretch(QFont::SemiCondensed);
    setFont(windowFont);

    IdleTimer = new QTimer(this);
    IdleTimer->setSingleShot(true);
    IdleTimer->setInterval(0);
    connect(IdleTimer, &QTimer::timeout, this, [this] { moratutor::ui::RunGuarded([this] { UpdateActions(); }); });

    CreateActions();
    CreateMenus();
    CreateControls();

    ClientArea->setMinimumSize(kClientWidth, kClientHeight);
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    CentreOnScreen();

    moratutor::ui::RunGuarded([this] { FormCreate(); });
    ConnectSignals();
    ApplyAnchors();
    FormResize();
    ScheduleUpdateActions();
}

TFMain::~TFMain() {
    // The application outlives the window: stop its notifications before the members go,
    // or a focus change during destruction would reach a half-destroyed window.
    disconnect(qApp, nullptr, this, nullptr);
    if (QClipboard* clipboard = QGuiApplication::clipboard()) disconnect(clipboard, nullptr, this, nullptr);
    moratutor::ui::RunGuarded([this] { FormDestroy(); });
}

void TFMain::CreateControls() {
    ClientArea = new QWidget(this);
    ClientArea->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(ClientArea);

    // Created in tab order: source text, groups, options, converted text.
    CreateSourceTextBox();
    CreateCharactersBox();
    CreateAdvancedBox();
    CreateConvertedTextBox();
    CreateLearnersAids();
    CreateToolBar();
    CreateRunControls();
    SetTabOrderAndPaneFonts();

    ClientArea->installEventFilter(this);
    setAcceptDrops(true);
    richSourceText->viewport()->installEventFilter(this);
    richConvertedText->viewport()->installEventFilter(this);
    grpbxSourceText->installEventFilter(this);
    grpbxConvertedText->installEventFilter(this);
}

void TFMain::CreateSourceTextBox() {
    grpbxSourceText = new QGroupBox(QStringLiteral(" Исходный текст "), ClientArea);
    grpbxSourceText->setObjectName(QStringLiteral("grpbxSourceText"));
    grpbxSourceText->setGeometry(168, 32, 584, 221);
    richSourceText = MakePane(grpbxSourceText, "richSourceTextAnsi", true);
}

void TFMain::CreateCharactersBox() {
    grpbxCharacters = new QGroupBox(QStringLiteral(" Замена слогов "), ClientArea);
    grpbxCharacters->setObjectName(QStringLiteral("grpbxCharacters"));
    grpbxCharacters->setGeometry(8, 32, 153, 297);
    for (int n = 1; n <= 11; ++n) {
        // The engine's captions: the chart and the answer key name the groups the same way.
        const std::u16string_view caption = moratutor::GroupCaption(n);
        chkbxCharacters[static_cast<std::size_t>(n - 1)] =
            MakeCheckBox(grpbxCharacters, QStringLiteral("chkbxCharacters%1").arg(n),
                         QString::fromUtf16(caption.data(), static_cast<qsizetype>(caption.size())),
                         24 + 24 * (n - 1));
    }
    chkbxCharacters[9]->setEnabled(false);
}

void TFMain::CreateAdvancedBox() {
    grpbxAdvanced = new QGroupBox(QStringLiteral(" Дополнительно "), ClientArea);
    grpbxAdvanced->setObjectName(QStringLiteral("grpbxAdvanced"));
    grpbxAdvanced->setGeometry(8, 336, 153, 105);
    chkbxSnowball = MakeCheckBox(grpbxAdvanced, QStringLiteral("chkbxSnowball"), QStringLiteral("Режим «Snowball»"), 24);
    chkbxSnowball->setToolTip(QStringLiteral("Включить преобразование текста с постепенным увеличением количества заменённых слогов"));
    chkbxReplaceE = MakeCheckBox(grpbxAdvanced, QStringLiteral("chkbxReplaceE"), QStringLiteral("Замена «Э» и «Е»"), 48);
    chkbxReplaceE->setToolTip(QStringLiteral("Заменять не только слоги, оканчивающиеся на «Э», но также и оканчивающиеся на «Е»"));
    chkbxReplaceSpaces = MakeCheckBox(grpbxAdvanced, QStringLiteral("chkbxReplaceSpaces"), QStringLiteral("Замена пробелов"), 72);
    chkbxReplaceSpaces->setToolTip(QStringLiteral("Сделать ширину пробелов равной ширине знаков каны"));
}

void TFMain::CreateConvertedTextBox() {
    grpbxConvertedText = new QGroupBox(QStringLiteral(" Преобразованный текст "), ClientArea);
    grpbxConvertedText->setObjectName(QStringLiteral("grpbxConvertedText"));
    grpbxConvertedText->setGeometry(168, 293, 584, 221);
    richConvertedText = MakePane(grpbxConvertedText, "richConvertedTextUnicode", false);
}

void TFMain::CreateLearnersAids() {
    ConvertedTextKey = new AnswerKeyPane(richConvertedText);
    KanaChart = new TFKanaChart(this);
    KanaChart->hide();
}

void TFMain::CreateToolBar() {
    ToolBar = new QToolBar(ClientArea);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setMovable(false);
    ToolBar->setFloatable(false);
    ToolBar->setIconSize(QSize(16, 16));
    ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar->setContentsMargins(0, 0, 0, 0);
    ToolBar->setStyleSheet(QStringLiteral("QToolBar { border: none; padding: 0px; spacing: 0px; }"));
    FillToolBar();
    if (QLayout* layout = ToolBar->layout()) {
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }
    // As wide as its buttons and separators, so none is cut off or hidden in an overflow menu.
    int toolBarWidth = 0;
    for (QAction* action : ToolBar->actions())
        if (QWidget* widget = ToolBar->widgetForAction(action)) toolBarWidth += widget->width();
    ToolBar->setGeometry(8, 2, toolBarWidth, 22);
}

void TFMain::CreateRunControls() {
    const auto makeSpeedButton = [this](const char* name, QAction* action, int left) {
        auto* button = new QPushButton(action->text(), ClientArea);
        button->setObjectName(QString::fromLatin1(name));
        button->setFocusPolicy(Qt::NoFocus);
        button->setGeometry(left, 260, 201, 25);
        button->setEnabled(action->isEnabled());
        connect(button, &QPushButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::changed, button, [button, action] {
            button->setText(action->text());
            button->setToolTip(action->toolTip());
            button->setEnabled(action->isEnabled());
        });
        return button;
    };
    spdbtnReplaceWithHiragana = makeSpeedButton("spdbtnReplaceWithHiragana", actReplaceWithHiragana, 248);
    spdbtnReplaceWithKatakana = makeSpeedButton("spdbtnReplaceWithKatakana", actReplaceWithKatakana, 464);

    lblProgress = new QLabel(ClientArea);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    lblProgress->setGeometry(8, 481, 153, 13);
    lblProgress->setAutoFillBackground(true);  // paints its whole background itself

    ProgressBar = new QProgressBar(ClientArea);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(8, 497, 153, 17);
    ProgressBar->setTextVisible(false);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    // A pane that lays out a paragraph of a whole book shows how far it is here.
    for (QTextEdit* pane : {richSourceText, richConvertedText})
        moratutor::ui::SetWaitDisplay(*pane, {this, lblProgress, ProgressBar});
}

void TFMain::SetTabOrderAndPaneFonts() {
    // Tab order: source pane, groups, options, converted pane (tool bar and bar take no focus).
    QWidget* previous = richSourceText;
    const auto chain = [&previous](QWidget* next) {
        QWidget::setTabOrder(previous, next);
        previous = next;
    };
    for (QCheckBox* box : chkbxCharacters) chain(box);
    chain(chkbxSnowball);
    chain(chkbxReplaceE);
    chain(chkbxReplaceSpaces);
    chain(richConvertedText);

    // The converted pane shows kana; Cyrillic and Latin stay in the window's face.
    // The face is the one the window's font resolves to (a generic alias such as
    // "Sans Serif" would be passed over in a list of families).
    const QString face = QFontInfo(font()).family();
    for (QTextEdit* pane : {richSourceText, richConvertedText}) {
        QFont paneFont = font();
        paneFont.setPointSize(10);
        paneFont.setStretch(QFont::Unstretched);
        paneFont.setFamilies({face});
        if (pane == richConvertedText) {
            paneFont.setFamilies({face, QStringLiteral("IPAGothic"), QStringLiteral("IPAPGothic"),
                                  QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP")});
        }
        pane->setFont(paneFont);
        pane->document()->setDefaultFont(paneFont);
    }
}

void TFMain::ConnectSignals() {
    using moratutor::ui::RunGuarded;
    BindActions();

    // Everything the idle rules read: ticks, texts, selection, undo state, clipboard, focus.
    for (QCheckBox* box : chkbxCharacters) connect(box, &QCheckBox::toggled, this, &TFMain::ScheduleUpdateActions);
    // The chart follows every tick, including those the idle rules clear.
    for (QCheckBox* box : chkbxCharacters) connect(box, &QCheckBox::toggled, this, &TFMain::ShowOptionsInKanaChart);
    for (QCheckBox* box : {chkbxSnowball, chkbxReplaceE, chkbxReplaceSpaces})
        connect(box, &QCheckBox::toggled, this, &TFMain::ShowOptionsInKanaChart);
    for (QTextEdit* pane : {richSourceText, richConvertedText}) {
        connect(pane, &QTextEdit::textChanged, this, &TFMain::ScheduleUpdateActions);
        connect(pane, &QTextEdit::selectionChanged, this, &TFMain::ScheduleUpdateActions);
        connect(pane, &QTextEdit::undoAvailable, this, &TFMain::ScheduleUpdateActions);
        connect(pane, &QTextEdit::customContextMenuRequested, this,
                [this, pane](const QPoint& pos) { ShowPanePopupMenu(pane, pos); });
    }
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        connect(clipboard, &QClipboard::dataChanged, this, &TFMain::ScheduleUpdateActions);
    connect(qApp, &QApplication::focusChanged, this, &TFMain::FocusChanged);
    // Menus opened by mouse or keyboard show the rules' current result.
    for (const MenuRow& row : MenuTable())
        if (row.caption)
            connect(this->*row.member, &QMenu::aboutToShow, this, [this] { RunGuarded([this] { UpdateActions(); }); });
}

void TFMain::FormCreate() {
    using moratutor::ui::ApplicationTitle;
    moratutor::SeedRandomFromClock();
    PreferencesPath = FormPreferencesPath();
    LoadPreferences();
    ShowOptionsInKanaChart();
    ConvertedTextKey->SetHighlight(actHighlightReplacements->isChecked());
    setWindowTitle(ApplicationTitle());
    actHelp->setText(QStringLiteral("Справка: ") + ApplicationTitle());
    SetActionHints();
    actReplaceWithHiragana->setEnabled(false);
    actReplaceWithKatakana->setEnabled(false);
    actSaveTextToFile->setEnabled(false);
    actPrint->setEnabled(false);
    actExportPdf->setEnabled(false);
    lblProgress->setText(QString());
    richSourceText->clear();
    richConvertedText->clear();
}

void TFMain::FormDestroy() {
    // Once only, whichever way the window goes.
    if (FormDestroyDone) return;
    FormDestroyDone = true;
    SavePreferences();
}

void TFMain::ApplyAnchors() {
    const int width = ClientArea->width();
    const int height = ClientArea->height();
    // Left-top-right group boxes keep their right margin of 8 pixels.
    grpbxSourceText->resize(width - grpbxSourceText->x() - 8, grpbxSourceText->height());
    grpbxConvertedText->resize(width - grpbxConvertedText->x() - 8, grpbxConvertedText->height());
    // Left-bottom controls keep their distance from the bottom edge.
    lblProgress->move(lblProgress->x(), height - (kClientHeight - 481));
    ProgressBar->move(ProgressBar->x(), height - (kClientHeight - 497));
}

void TFMain::FormResize() {
    QGroupBox* S = grpbxSourceText;
    QGroupBox* C = grpbxConvertedText;
    QPushButton* H = spdbtnReplaceWithHiragana;
    QPushButton* K = spdbtnReplaceWithKatakana;
    const int clientWidth = ClientArea->width();
    const int clientHeight = ClientArea->height();

    const int sourceHeight = (clientHeight - S->y() - H->height() - 24) / 2;
    S->resize(S->width(), sourceHeight);
    C->setGeometry(C->x(), S->y() + S->height() + H->height() + 16, C->width(), S->height());
    H->move(H->x(), S->y() + S->height() + 8);
    const int w = (clientWidth - S->x() - 8) / 2;
    H->move(S->x() + w - 8 - H->width(), H->y());
    K->move(S->x() + w + 8, H->y());
}

bool TFMain::eventFilter(QObject* watched, QEvent* event) {
    // A pane takes dropped text itself; a dropped file is loaded instead of pasted as its name.
    if ((watched == richSourceText->viewport() || watched == richConvertedText->viewport()) &&
        HandleFileDrop(event))
        return true;
    if (event->type() == QEvent::Resize) {
        if (watched == ClientArea) {
            ApplyAnchors();
            moratutor::ui::RunGuarded([this] { FormResize(); });
        } else if (watched == grpbxSourceText || watched == grpbxConvertedText) {
            // Panes fill their group boxes on all four sides.
            auto* box = static_cast<QWidget*>(watched);
            QTextEdit* pane = watched == grpbxSourceText ? richSourceText : richConvertedText;
            pane->setGeometry(8, 16, box->width() - 16, box->height() - 24);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    ScheduleUpdateActions();
}

QRect TFMain::PlaceOnScreen(const QSize& frame, const QRect& available) {
    // Centred; where the window is larger than the free area, as large as that and at its
    // top-left corner, so that the title bar is never off the screen.
    const QSize size = frame.boundedTo(available.size());
    const QPoint centred = available.topLeft() + QPoint((available.width() - size.width()) / 2,
                                                       (available.height() - size.height()) / 2);
    return {centred, size};
}

void TFMain::CentreOnScreen() {
    QScreen* screen = this->screen();
    if (!screen) return;
    // The frame is known only once a window manager has framed the shown window; until
    // then it is the client area alone.
    const QRect frame = frameGeometry();
    const QRect place = PlaceOnScreen(frame.size(), screen->availableGeometry());
    if (place.size() != frame.size()) {
        // A screen smaller than the window (a large scale factor): the controls scroll.
        if (!qobject_cast<QScrollArea*>(centralWidget())) {
            auto* scroll = new QScrollArea;
            scroll->setObjectName(QStringLiteral("ClientScroll"));
            scroll->setFrameShape(QFrame::NoFrame);
            scroll->setWidgetResizable(true);
            scroll->setWidget(takeCentralWidget());
            setCentralWidget(scroll);
        }
        resize(size() - (frame.size() - place.size()));
    }
    move(place.topLeft());
}

void TFMain::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    // The window manager's frame moves the window by its title bar once it is shown:
    // centre it again, once, now that the frame counts.
    if (!CentredWithFrame && isVisible() && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) &&
        frameGeometry() != geometry()) {
        CentredWithFrame = true;
        CentreOnScreen();
    }
}

void TFMain::closeEvent(QCloseEvent* event) {
    // Closing in the middle of a run would tear the window down under the run's feet:
    // the close waits until the run has ended.
    if (Running) {
        CloseRequestedDuringRun = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void TFMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!HandleFileDrop(event)) QMainWindow::dragEnterEvent(event);
}

void TFMain::dragMoveEvent(QDragMoveEvent* event) {
    if (!HandleFileDrop(event)) QMainWindow::dragMoveEvent(event);
}

void TFMain::dropEvent(QDropEvent* event) {
    if (!HandleFileDrop(event)) QMainWindow::dropEvent(event);
}

}  // namespace moratutor::ui
