// Drives the real main window on the offscreen platform: controls, idle rules, layout,
// word wrap, edit actions, conversion runs and the error box.
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "MessageBoxes.h"
#include "UMain.h"
#include "UMainApplication.h"
#include "UMostUsed.h"
#include "Controls.h"

#include "UiTests.h"

using namespace moratutor::ui;  // the windows under test
using namespace moratutor;

using moratutor::test::CharacterBoxes;
using moratutor::test::Control;
using moratutor::test::RunGoingOn;

namespace {

// The label's text at each of its paints.
class PaintedTexts : public QObject {
public:
    explicit PaintedTexts(QLabel* label) : label_(label) { label->installEventFilter(this); }
    QStringList texts;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) texts << label_->text();
        return false;
    }

private:
    QLabel* label_;
};

struct ShownBox {
    QMessageBox::Icon icon;
    QString caption;
    QString text;
};

const QString kReportPrefix = QStringLiteral("Преобразование текста завершено. Произведено замен: ");
const QString kRefusal = QStringLiteral("Перед преобразованием выберите хотя бы одну группу слогов для замены.");

// Ticks groups given as numbers 1..11.
void Tick(TFMain& w, std::initializer_list<int> groups) {
    for (int n : groups) CharacterBoxes(w)[static_cast<std::size_t>(n - 1)]->setChecked(true);
}

void Idle() {
    // The idle rules run from a zero timer; two passes let any follow-up run too.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

QString RawText(const QTextEdit* pane) {
    QString text = pane->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}

// Throws from its event handler, as a faulty handler would.
class ThrowingWidget : public QWidget {
protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw moratutor::ui::Error(QStringLiteral("Файл не найден"));
        return QWidget::event(e);
    }
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<TFMain> w;
    std::vector<ShownBox> boxes;
    std::function<void()> onBox;  // runs while a box would be open

    void Activate() {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }
    void FocusPane(QTextEdit* pane) {
        Activate();
        pane->setFocus(Qt::OtherFocusReason);
        Idle();
        QCOMPARE(QApplication::focusWidget(), pane);
    }
    // Sets the client area to the given size through the window's own size.
    void SetClientSize(int width, int height) {
        w->resize(width, height + w->menuBar()->height());
        Idle();
        QCOMPARE(Control<QWidget>(*w, "ClientArea")->size(), QSize(width, height));
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        TFMain::SetPreferencesPathOverride(dir.filePath(QStringLiteral("prefs.ini")));
        moratutor::ui::SetMessageSink([this](QMessageBox::Icon icon, const QString& caption, const QString& text) {
            boxes.push_back({icon, caption, text});
            if (onBox) onBox();
        });
    }

    void init() {
        QFile::remove(dir.filePath(QStringLiteral("prefs.ini")));
        boxes.clear();
        onBox = nullptr;
        w = std::make_unique<TFMain>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        Idle();
    }

    void cleanup() {
        onBox = nullptr;
        w.reset();
    }

    void createdWithNamesCaptionsAndHints() {
        QCOMPARE(w->windowTitle(), QStringLiteral("Moratutor"));
        QCOMPARE(Control<QAction>(*w, "actHelp")->text(), QStringLiteral("Справка: Moratutor"));
        QCOMPARE(Control<QAction>(*w, "actHelp")->toolTip(), QStringLiteral("Справка: Moratutor"));
        const char* names[] = {"ToolBar", "grpbxCharacters", "grpbxAdvanced", "chkbxSnowball", "chkbxReplaceE",
                               "chkbxReplaceSpaces", "lblProgress", "ProgressBar", "grpbxSourceText",
                               "richSourceTextAnsi", "spdbtnReplaceWithHiragana", "spdbtnReplaceWithKatakana",
                               "grpbxConvertedText", "richConvertedTextUnicode", "chkbxCharacters1",
                               "chkbxCharacters11", "menuFile", "menuEdit", "menuHelp", "PopupMenu", "MainMenu"};
        for (const char* name : names) QVERIFY2(w->findChild<QWidget*>(QString::fromLatin1(name)), name);
        QCOMPARE(Control<QCheckBox>(*w, "chkbxCharacters11")->text(), QStringLiteral("Ёон (…я, …ю, …ё)"));
        QCOMPARE(Control<QPushButton>(*w, "spdbtnReplaceWithHiragana")->text(), QStringLiteral("Заменить слоги на Хирагану"));
        QCOMPARE(Control<QToolBar>(*w, "ToolBar")->geometry(), QRect(8, 2, 254, 22));
        QCOMPARE(Control<QWidget>(*w, "ClientArea")->size(), QSize(760, 522));
        QCOMPARE(Control<QWidget>(*w, "ClientArea")->minimumSize(), QSize(760, 522));
        QCOMPARE(Control<QTextEdit>(*w, "richSourceTextAnsi")->font().pointSize(), 10);
        QCOMPARE(Control<QTextEdit>(*w, "richConvertedTextUnicode")->font().pointSize(), 10);
        for (int i = 0; i <= 15; ++i) QVERIFY2(!TFMain::imgsToLLicons(i).isNull(), qPrintable(QString::number(i)));
        // Start-up state: empty panes, so nothing to convert or save; group 10 waits for its bases.
        QVERIFY(!Control<QAction>(*w, "actReplaceWithHiragana")->isEnabled());
        QVERIFY(!Control<QPushButton>(*w, "spdbtnReplaceWithKatakana")->isEnabled());
        for (const char* output : {"actSaveTextToFile", "actPrint", "actExportPdf"})
            QVERIFY2(!Control<QAction>(*w, output)->isEnabled(), output);
        QVERIFY(!Control<QCheckBox>(*w, "chkbxCharacters10")->isEnabled());
        QVERIFY(boxes.empty());  // no Windows 9x notice on this system
    }

    // The specified captions, hints and images of the actions, from one table.
    void actionsLookAsSpecified() {
        struct Row {
            const char* name;
            const char* caption;
            int image;  // -1: none
        };
        const Row rows[] = {
            {"actLoadTextFromFile", "Загрузить текст из файла…", 0},
            {"actSaveTextToFile", "Сохранить текст в файл…", 1},
            {"actPrint", "Печать…", 14},
            {"actExportPdf", "Экспорт в PDF…", 15},
            {"actSelectAllCharacters", "Выбрать все группы слогов", 2},
            {"actDeselectAllCharacters", "Отменить выбор всех групп слогов", 3},
            {"actReplaceWithHiragana", "Заменить слоги на Хирагану", -1},
            {"actReplaceWithKatakana", "Заменить слоги на Катакану", -1},
            {"actReplaceWithRandomKana", "Заменить слоги, используя всю азбуку Кана", -1},
            {"actQuit", "Выход", 4},
            {"actHelp", "Справка: Moratutor", 5},
            {"actAbout", "О программе", 6},
            {"EditUndo", "Отменить", 8},
            {"EditCut", "Вырезать", 9},
            {"EditCopy", "Копировать", 10},
            {"EditPaste", "Вставить", 11},
            {"EditDelete", "Удалить", 12},
            {"EditSelectAll", "Выделить всё", -1},
            {"actWordWrapChange", "Перенос по словам", -1},
            {"actHighlightReplacements", "Подсвечивать заменённые слоги", -1},
            {"actKeyAtCaret", "Подсказка к слогу у курсора", -1},
            {"actKanaChart", "Таблица каны", 13},
        };
        const auto pixels = [](const QIcon& icon) { return icon.pixmap(16, 16).toImage(); };
        for (const Row& row : rows) {
            QAction* action = Control<QAction>(*w, row.name);
            QCOMPARE(action->text(), QString::fromUtf8(row.caption));
            // Tool bar buttons and menus show the hint; it is the caption, word for word.
            QCOMPARE(action->toolTip(), QString::fromUtf8(row.caption));
            if (row.image < 0) {
                QVERIFY2(action->icon().isNull(), row.name);
            } else {
                QVERIFY2(pixels(action->icon()) == pixels(QIcon(QStringLiteral(":/toolbar/%1.svg").arg(row.image))),
                         row.name);
            }
        }
        QCOMPARE(w->findChildren<QAction*>(QRegularExpression(QStringLiteral("^(act|Edit)"))).size(),
                 qsizetype(std::size(rows)));
    }

    // The specified captions, hints and places of the other controls, from one table.
    void controlsLookAsSpecified() {
        struct Row {
            const char* name;
            const char* caption;
            const char* hint;
            QRect geometry;  // in the parent, at the initial size once the resize rule has run
        };
        const Row rows[] = {
            {"grpbxCharacters", " Замена слогов ", "", {8, 32, 153, 297}},
            {"chkbxCharacters1", "А, И, У, Э, О", "", {16, 24, 121, 17}},
            {"chkbxCharacters2", "Ка, Ки, Ку, Кэ, Ко", "", {16, 48, 121, 17}},
            {"chkbxCharacters3", "Са, Си, Су, Сэ, Со", "", {16, 72, 121, 17}},
            {"chkbxCharacters4", "Та, Ти, Цу, Тэ, То", "", {16, 96, 121, 17}},
            {"chkbxCharacters5", "На, Ни, Ну, Нэ, Но", "", {16, 120, 121, 17}},
            {"chkbxCharacters6", "Ха, Хи, Фу, Хэ, Хо", "", {16, 144, 121, 17}},
            {"chkbxCharacters7", "Ма, Ми, Му, Мэ, Мо", "", {16, 168, 121, 17}},
            {"chkbxCharacters8", "Ра, Ри, Ру, Рэ, Ро", "", {16, 192, 121, 17}},
            {"chkbxCharacters9", "Я, Ю, Ё, Ва, вО, Н", "", {16, 216, 121, 17}},
            {"chkbxCharacters10", "Нигори/Ханнигори", "", {16, 240, 121, 17}},
            {"chkbxCharacters11", "Ёон (…я, …ю, …ё)", "", {16, 264, 121, 17}},
            {"grpbxAdvanced", " Дополнительно ", "", {8, 336, 153, 105}},
            {"chkbxSnowball", "Режим «Snowball»",
             "Включить преобразование текста с постепенным увеличением количества заменённых слогов", {16, 24, 121, 17}},
            {"chkbxReplaceE", "Замена «Э» и «Е»",
             "Заменять не только слоги, оканчивающиеся на «Э», но также и оканчивающиеся на «Е»", {16, 48, 121, 17}},
            {"chkbxReplaceSpaces", "Замена пробелов", "Сделать ширину пробелов равной ширине знаков каны",
             {16, 72, 121, 17}},
            {"grpbxSourceText", " Исходный текст ", "", {168, 32, 584, 220}},
            {"grpbxConvertedText", " Преобразованный текст ", "", {168, 293, 584, 220}},
            {"spdbtnReplaceWithHiragana", "Заменить слоги на Хирагану", "Заменить слоги на Хирагану", {251, 260, 201, 25}},
            {"spdbtnReplaceWithKatakana", "Заменить слоги на Катакану", "Заменить слоги на Катакану", {468, 260, 201, 25}},
            {"lblProgress", "", "", {8, 481, 153, 13}},
            {"ProgressBar", "", "", {8, 497, 153, 17}},
            {"ToolBar", "", "", {8, 2, 254, 22}},
            {"tbtnPrint", "Печать…", "Печать…", {46, 0, 23, 22}},
            {"tbtnExportPdf", "Экспорт в PDF…", "Экспорт в PDF…", {69, 0, 23, 22}},
        };
        for (const Row& row : rows) {
            QWidget* control = Control<QWidget>(*w, row.name);
            QString caption;
            if (auto* box = qobject_cast<QGroupBox*>(control)) caption = box->title();
            else if (auto* button = qobject_cast<QAbstractButton*>(control)) caption = button->text();
            else if (auto* label = qobject_cast<QLabel*>(control)) caption = label->text();
            QCOMPARE(caption, QString::fromUtf8(row.caption));
            QCOMPARE(control->toolTip(), QString::fromUtf8(row.hint));
            QCOMPARE(control->geometry(), row.geometry);
        }
    }

    void menusToolBarAndPopupShareTheActions() {
        const auto contents = [](QWidget* owner) {
            QStringList names;
            for (QAction* a : owner->actions()) names << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
            return names;
        };
        QStringList titles;
        for (QAction* a : w->menuBar()->actions()) titles << a->text();
        QCOMPARE(titles, (QStringList{"Файл", "Правка", "Справка"}));
        QCOMPARE(contents(Control<QMenu>(*w, "menuFile")), (QStringList{"actLoadTextFromFile", "actSaveTextToFile", "actPrint", "actExportPdf", "-", "actQuit"}));
        QCOMPARE(contents(Control<QMenu>(*w, "menuEdit")),
                 (QStringList{"EditUndo", "-", "EditCut", "EditCopy", "EditPaste", "EditDelete", "-",
                              "actSelectAllCharacters", "actDeselectAllCharacters", "-", "actReplaceWithHiragana",
                              "actReplaceWithKatakana", "actReplaceWithRandomKana", "-", "EditSelectAll", "-",
                              "actHighlightReplacements", "actKeyAtCaret"}));
        QCOMPARE(contents(Control<QMenu>(*w, "menuHelp")), (QStringList{"actHelp", "actKanaChart", "-", "actAbout"}));
        QCOMPARE(contents(Control<QMenu>(*w, "PopupMenu")), (QStringList{"EditUndo", "-", "EditCut", "EditCopy", "EditPaste", "EditDelete",
                                                      "-", "EditSelectAll", "-", "actWordWrapChange"}));
        QCOMPARE(contents(Control<QToolBar>(*w, "ToolBar")),
                 (QStringList{"actLoadTextFromFile", "actSaveTextToFile", "actPrint", "actExportPdf", "-", "actSelectAllCharacters",
                              "actDeselectAllCharacters", "-", "actKanaChart", "actHelp", "actAbout", "-", "actQuit"}));
        // Buttons show their action's hint, which is its caption.
        for (QAction* a : Control<QToolBar>(*w, "ToolBar")->actions()) {
            if (a->isSeparator()) continue;
            QCOMPARE(Control<QToolBar>(*w, "ToolBar")->widgetForAction(a)->toolTip(), a->text());
            QCOMPARE(Control<QToolBar>(*w, "ToolBar")->widgetForAction(a)->size(), QSize(23, 22));
        }
        QCOMPARE(Control<QToolBar>(*w, "ToolBar")->widgetForAction(Control<QAction>(*w, "actHelp"))->toolTip(), QStringLiteral("Справка: Moratutor"));
        QCOMPARE(Control<QPushButton>(*w, "spdbtnReplaceWithHiragana")->toolTip(), QStringLiteral("Заменить слоги на Хирагану"));
        QCOMPARE(Control<QPushButton>(*w, "spdbtnReplaceWithKatakana")->toolTip(), QStringLiteral("Заменить слоги на Катакану"));
        // Keys of their own only where the action list gives one; images only where it gives one.
        const QList<QPair<QAction*, QKeySequence>> keys = {
            {Control<QAction>(*w, "actLoadTextFromFile"), QKeySequence(Qt::CTRL | Qt::Key_O)},
            {Control<QAction>(*w, "actSaveTextToFile"), QKeySequence(Qt::CTRL | Qt::Key_S)},
            {Control<QAction>(*w, "actPrint"), QKeySequence(Qt::CTRL | Qt::Key_P)},
            {Control<QAction>(*w, "actQuit"), QKeySequence(Qt::CTRL | Qt::Key_Q)},
            {Control<QAction>(*w, "actHelp"), QKeySequence(Qt::Key_F1)},
            {Control<QAction>(*w, "actKanaChart"), QKeySequence(Qt::Key_F2)},
            {Control<QAction>(*w, "actKeyAtCaret"), QKeySequence(Qt::Key_F3)}};
        for (QAction* a : w->findChildren<QAction*>()) {
            if (a->objectName().isEmpty()) continue;
            QKeySequence expected;
            for (const auto& [action, key] : keys)
                if (action == a) expected = key;
            QCOMPARE(a->shortcut(), expected);
        }
        for (QAction* a : {Control<QAction>(*w, "actReplaceWithHiragana"), Control<QAction>(*w, "actReplaceWithKatakana"), Control<QAction>(*w, "actReplaceWithRandomKana"),
                           Control<QAction>(*w, "EditSelectAll"), Control<QAction>(*w, "actWordWrapChange"),
                           Control<QAction>(*w, "actHighlightReplacements")})
            QVERIFY2(a->icon().isNull(), qPrintable(a->objectName()));
    }

    void tabOrder() {
        Control<QAction>(*w, "actSelectAllCharacters")->trigger();  // groups 10 and 11 take part only while enabled
        FocusPane(Control<QTextEdit>(*w, "richSourceTextAnsi"));
        QStringList order;
        for (int i = 0; i < 16; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
        QStringList expected;
        for (int n = 1; n <= 11; ++n) expected << QStringLiteral("chkbxCharacters%1").arg(n);
        expected << "chkbxSnowball" << "chkbxReplaceE" << "chkbxReplaceSpaces" << "richConvertedTextUnicode"
                 << "richSourceTextAnsi";
        QCOMPARE(order, expected);
    }

    void resizeArithmetic_data() {
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QRect>("source");
        QTest::addColumn<QRect>("converted");
        QTest::addColumn<QPoint>("hiragana");
        QTest::addColumn<QPoint>("katakana");
        QTest::addColumn<QPoint>("label");
        QTest::newRow("initial") << QSize(760, 522) << QRect(168, 32, 584, 220) << QRect(168, 293, 584, 220)
                                 << QPoint(251, 260) << QPoint(468, 260) << QPoint(8, 481);
        QTest::newRow("one taller") << QSize(760, 523) << QRect(168, 32, 584, 221) << QRect(168, 294, 584, 221)
                                    << QPoint(251, 261) << QPoint(468, 261) << QPoint(8, 482);
        QTest::newRow("large") << QSize(1001, 700) << QRect(168, 32, 825, 309) << QRect(168, 382, 825, 309)
                               << QPoint(371, 349) << QPoint(588, 349) << QPoint(8, 659);
    }
    void resizeArithmetic() {
        QFETCH(QSize, client);
        QFETCH(QRect, source);
        QFETCH(QRect, converted);
        QFETCH(QPoint, hiragana);
        QFETCH(QPoint, katakana);
        QFETCH(QPoint, label);
        SetClientSize(client.width(), client.height());
        QCOMPARE(Control<QGroupBox>(*w, "grpbxSourceText")->geometry(), source);
        QCOMPARE(Control<QGroupBox>(*w, "grpbxConvertedText")->geometry(), converted);
        QCOMPARE(Control<QPushButton>(*w, "spdbtnReplaceWithHiragana")->pos(), hiragana);
        QCOMPARE(Control<QPushButton>(*w, "spdbtnReplaceWithKatakana")->pos(), katakana);
        QCOMPARE(Control<QLabel>(*w, "lblProgress")->pos(), label);
        QCOMPARE(Control<QProgressBar>(*w, "ProgressBar")->pos(), label + QPoint(0, 16));
        QCOMPARE(Control<QGroupBox>(*w, "grpbxCharacters")->geometry(), QRect(8, 32, 153, 297));
        // Panes fill their group boxes on all four sides.
        QCOMPARE(Control<QTextEdit>(*w, "richSourceTextAnsi")->geometry(), QRect(8, 16, source.width() - 16, source.height() - 24));
        QCOMPARE(Control<QTextEdit>(*w, "richConvertedTextUnicode")->geometry(), QRect(8, 16, source.width() - 16, source.height() - 24));
    }

    void windowCannotShrinkBelowInitialSize() {
        w->resize(300, 200);
        Idle();
        QCOMPARE(Control<QWidget>(*w, "ClientArea")->size(), QSize(760, 522));
    }

    void groupRules_data() {
        QTest::addColumn<QList<int>>("ticked");
        QTest::addColumn<bool>("voicedEnabled");
        QTest::addColumn<bool>("yoonEnabled");
        QTest::newRow("none") << QList<int>{} << false << false;
        QTest::newRow("1 5 7 8 9") << QList<int>{1, 5, 7, 8, 9} << false << true;
        QTest::newRow("1 9") << QList<int>{1, 9} << false << false;
        QTest::newRow("2") << QList<int>{2} << true << true;
        QTest::newRow("3") << QList<int>{3} << true << true;
        QTest::newRow("4") << QList<int>{4} << true << true;
        QTest::newRow("6") << QList<int>{6} << true << true;
        QTest::newRow("5") << QList<int>{5} << false << true;
        QTest::newRow("7") << QList<int>{7} << false << true;
        QTest::newRow("8") << QList<int>{8} << false << true;
    }
    void groupRules() {
        QFETCH(QList<int>, ticked);
        QFETCH(bool, voicedEnabled);
        QFETCH(bool, yoonEnabled);
        // Both dependent groups ticked first: a rule that disables one must clear it too.
        Control<QCheckBox>(*w, "chkbxCharacters10")->setChecked(true);
        Control<QCheckBox>(*w, "chkbxCharacters11")->setChecked(true);
        for (int n : ticked) Tick(*w, {n});
        Idle();
        QCOMPARE(Control<QCheckBox>(*w, "chkbxCharacters10")->isEnabled(), voicedEnabled);
        QCOMPARE(Control<QCheckBox>(*w, "chkbxCharacters11")->isEnabled(), yoonEnabled);
        QCOMPARE(Control<QCheckBox>(*w, "chkbxCharacters10")->isChecked(), voicedEnabled);
        QCOMPARE(Control<QCheckBox>(*w, "chkbxCharacters11")->isChecked(), yoonEnabled);
    }

    void clearedDependentGroupStaysClearedWhenBaseComesBack() {
        Tick(*w, {2, 10});
        Idle();
        QVERIFY(Control<QCheckBox>(*w, "chkbxCharacters10")->isChecked());
        Control<QCheckBox>(*w, "chkbxCharacters2")->setChecked(false);
        Idle();
        QVERIFY(!Control<QCheckBox>(*w, "chkbxCharacters10")->isEnabled());
        QVERIFY(!Control<QCheckBox>(*w, "chkbxCharacters10")->isChecked());
        Tick(*w, {2});
        Idle();
        QVERIFY(Control<QCheckBox>(*w, "chkbxCharacters10")->isEnabled());
        QVERIFY(!Control<QCheckBox>(*w, "chkbxCharacters10")->isChecked());
    }

    void selectAndDeselectAllGroups() {
        Control<QAction>(*w, "actSelectAllCharacters")->trigger();
        Idle();
        for (QCheckBox* box : CharacterBoxes(*w)) {
            QVERIFY(box->isChecked());
            QVERIFY(box->isEnabled());
        }
        Control<QAction>(*w, "actDeselectAllCharacters")->trigger();
        Idle();
        for (QCheckBox* box : CharacterBoxes(*w)) QVERIFY(!box->isChecked());
        QVERIFY(!Control<QCheckBox>(*w, "chkbxCharacters10")->isEnabled());
        QVERIFY(!Control<QCheckBox>(*w, "chkbxCharacters11")->isEnabled());
    }

    void replaceAndSaveActionsFollowPanes_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("converted");
        QTest::addColumn<bool>("replace");
        QTest::addColumn<bool>("save");
        QTest::newRow("both empty") << QString() << QString() << false << false;
        QTest::newRow("single space") << QStringLiteral(" ") << QString() << true << false;
        QTest::newRow("converted only") << QString() << QStringLiteral("か") << false << true;
        QTest::newRow("both") << QStringLiteral("ка") << QStringLiteral("か") << true << true;
    }
    void replaceAndSaveActionsFollowPanes() {
        QFETCH(QString, source);
        QFETCH(QString, converted);
        QFETCH(bool, replace);
        QFETCH(bool, save);
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(source);
        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setPlainText(converted);
        Idle();
        for (QAction* a : {Control<QAction>(*w, "actReplaceWithHiragana"), Control<QAction>(*w, "actReplaceWithKatakana"), Control<QAction>(*w, "actReplaceWithRandomKana")})
            QCOMPARE(a->isEnabled(), replace);
        QCOMPARE(Control<QPushButton>(*w, "spdbtnReplaceWithHiragana")->isEnabled(), replace);
        QCOMPARE(Control<QPushButton>(*w, "spdbtnReplaceWithKatakana")->isEnabled(), replace);
        // Printing and PDF export need what saving needs: converted text.
        for (const char* output : {"actSaveTextToFile", "actPrint", "actExportPdf"}) {
            QCOMPARE(Control<QAction>(*w, output)->isEnabled(), save);
            QCOMPARE(Control<QToolBar>(*w, "ToolBar")->widgetForAction(Control<QAction>(*w, output))->isEnabled(), save);
        }
    }

    void editActionsFollowFocusedPane() {
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(QStringLiteral("Кот и кит"));
        FocusPane(Control<QTextEdit>(*w, "richSourceTextAnsi"));
        QVERIFY(Control<QAction>(*w, "EditSelectAll")->isEnabled());
        QVERIFY(!Control<QAction>(*w, "EditCopy")->isEnabled());
        QVERIFY(!Control<QAction>(*w, "EditUndo")->isEnabled());  // setting the text is not an edit

        Control<QAction>(*w, "EditSelectAll")->trigger();
        Idle();
        QVERIFY(Control<QAction>(*w, "EditCopy")->isEnabled());
        QVERIFY(Control<QAction>(*w, "EditCut")->isEnabled());
        QVERIFY(Control<QAction>(*w, "EditDelete")->isEnabled());
        Control<QAction>(*w, "EditCopy")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Кот и кит"));
        Idle();
        QVERIFY(Control<QAction>(*w, "EditPaste")->isEnabled());

        Control<QAction>(*w, "EditDelete")->trigger();
        Idle();
        QCOMPARE(Control<QTextEdit>(*w, "richSourceTextAnsi")->toPlainText(), QString());
        QVERIFY(Control<QAction>(*w, "EditUndo")->isEnabled());
        QVERIFY(!Control<QAction>(*w, "EditSelectAll")->isEnabled());
        Control<QAction>(*w, "EditUndo")->trigger();
        QCOMPARE(Control<QTextEdit>(*w, "richSourceTextAnsi")->toPlainText(), QStringLiteral("Кот и кит"));

        // The converted pane is a pane of its own: paste goes there once it has the focus.
        FocusPane(Control<QTextEdit>(*w, "richConvertedTextUnicode"));
        Control<QAction>(*w, "EditPaste")->trigger();
        QCOMPARE(Control<QTextEdit>(*w, "richConvertedTextUnicode")->toPlainText(), QStringLiteral("Кот и кит"));

        // The menu bar reached from the keyboard keeps the pane as the target.
        w->menuBar()->setFocus(Qt::MenuBarFocusReason);
        Idle();
        QVERIFY(Control<QAction>(*w, "EditSelectAll")->isEnabled());

        // A check box taking the focus leaves no pane to act on.
        Control<QCheckBox>(*w, "chkbxSnowball")->setFocus();
        Idle();
        for (QAction* a : {Control<QAction>(*w, "EditUndo"), Control<QAction>(*w, "EditCut"), Control<QAction>(*w, "EditCopy"), Control<QAction>(*w, "EditPaste"), Control<QAction>(*w, "EditDelete"), Control<QAction>(*w, "EditSelectAll")})
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
    }

    void pasteFollowsTheClipboardsFormats_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("nothing") << QString() << false;
        QTest::newRow("text") << QStringLiteral("text/plain") << true;
        QTest::newRow("web page") << QStringLiteral("text/html") << true;
        QTest::newRow("picture") << QStringLiteral("image/png") << false;
    }
    void pasteFollowsTheClipboardsFormats() {
        // Known by the formats alone: the text itself is not fetched to see that there is some.
        QFETCH(QString, format);
        QFETCH(bool, enabled);
        auto* data = new QMimeData;
        if (!format.isEmpty()) data->setData(format, QByteArrayLiteral("<b>x</b>"));
        QGuiApplication::clipboard()->setMimeData(data);
        FocusPane(Control<QTextEdit>(*w, "richSourceTextAnsi"));
        Idle();
        QCOMPARE(Control<QAction>(*w, "EditPaste")->isEnabled(), enabled);
    }

    void wordWrapPerPane() {
        FocusPane(Control<QTextEdit>(*w, "richSourceTextAnsi"));
        QVERIFY(Control<QAction>(*w, "actWordWrapChange")->isChecked());
        Control<QAction>(*w, "actWordWrapChange")->trigger();
        QCOMPARE(Control<QTextEdit>(*w, "richSourceTextAnsi")->lineWrapMode(), QTextEdit::NoWrap);
        QCOMPARE(Control<QTextEdit>(*w, "richConvertedTextUnicode")->lineWrapMode(), QTextEdit::WidgetWidth);
        QVERIFY(!Control<QAction>(*w, "actWordWrapChange")->isChecked());

        // The check mark follows the pane that receives the focus.
        FocusPane(Control<QTextEdit>(*w, "richConvertedTextUnicode"));
        QVERIFY(Control<QAction>(*w, "actWordWrapChange")->isChecked());
        FocusPane(Control<QTextEdit>(*w, "richSourceTextAnsi"));
        QVERIFY(!Control<QAction>(*w, "actWordWrapChange")->isChecked());

        // The item acts on the focused pane only, whichever it is.
        Control<QAction>(*w, "actWordWrapChange")->trigger();
        FocusPane(Control<QTextEdit>(*w, "richConvertedTextUnicode"));
        Control<QAction>(*w, "actWordWrapChange")->trigger();
        QCOMPARE(Control<QTextEdit>(*w, "richConvertedTextUnicode")->lineWrapMode(), QTextEdit::NoWrap);
        QCOMPARE(Control<QTextEdit>(*w, "richSourceTextAnsi")->lineWrapMode(), QTextEdit::WidgetWidth);
        Control<QAction>(*w, "actWordWrapChange")->trigger();
        FocusPane(Control<QTextEdit>(*w, "richSourceTextAnsi"));
        Control<QAction>(*w, "actWordWrapChange")->trigger();

        // With neither pane focused the item changes nothing, its check mark included.
        Control<QCheckBox>(*w, "chkbxReplaceE")->setFocus();
        Idle();
        Control<QAction>(*w, "actWordWrapChange")->trigger();
        QVERIFY(!Control<QAction>(*w, "actWordWrapChange")->isChecked());
        QCOMPARE(Control<QTextEdit>(*w, "richSourceTextAnsi")->lineWrapMode(), QTextEdit::NoWrap);
        QCOMPARE(Control<QTextEdit>(*w, "richConvertedTextUnicode")->lineWrapMode(), QTextEdit::WidgetWidth);
    }

    void refusalWhenNoGroupTicked() {
        Control<QCheckBox>(*w, "chkbxSnowball")->setChecked(true);
        Control<QCheckBox>(*w, "chkbxReplaceE")->setChecked(true);
        Control<QCheckBox>(*w, "chkbxReplaceSpaces")->setChecked(true);
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(QStringLiteral("Кака"));
        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setPlainText(QStringLiteral("earlier"));
        Idle();
        Control<QAction>(*w, "actReplaceWithHiragana")->trigger();
        QCOMPARE(boxes.size(), std::size_t(1));
        QCOMPARE(boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(boxes[0].caption, QStringLiteral("Moratutor"));
        QCOMPARE(boxes[0].text, kRefusal);
        QCOMPARE(Control<QTextEdit>(*w, "richConvertedTextUnicode")->toPlainText(), QStringLiteral("earlier"));
        QCOMPARE(Control<QProgressBar>(*w, "ProgressBar")->value(), 0);
        QVERIFY(Control<QCheckBox>(*w, "chkbxSnowball")->isEnabled());
    }

    void runConvertsAndReports_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<int>>("groups");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("steps");
        QTest::newRow("hiragana") << 0 << QList<int>{2} << QStringLiteral("Кака") << QStringLiteral("かか") << 2 << 5;
        QTest::newRow("katakana") << 1 << QList<int>{2} << QStringLiteral("Кака") << QStringLiteral("カカ") << 2 << 5;
        QTest::newRow("nothing found") << 0 << QList<int>{2} << QStringLiteral("Мир") << QStringLiteral("Мир") << 0 << 5;
        // Characters outside code page 1251 and no-break spaces pass through as they are.
        QTest::newRow("unicode kept")
            << 0 << QList<int>{2} << QStringLiteral("ка\u00A0日本 é 😀\nка\u2028ко")
            << QStringLiteral("か\u00A0日本 é 😀\nか\u2028こ") << 3 << 5;
        // Only a dependent group (the idle rule has not yet cleared it): no steps, the text
        // copied unchanged, and the bar still ends full.
        QTest::newRow("group 10 alone") << 0 << QList<int>{10} << QStringLiteral("Кака") << QStringLiteral("Кака") << 0
                                        << 0;
        QTest::newRow("group 11 alone") << 0 << QList<int>{11} << QStringLiteral("Кака") << QStringLiteral("Кака") << 0
                                        << 0;
        QTest::newRow("all groups") << 1 << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11} << QStringLiteral("ко")
                                    << QStringLiteral("コ") << 1 << 107;
    }
    void runConvertsAndReports() {
        QFETCH(int, mode);
        QFETCH(QList<int>, groups);
        QFETCH(QString, source);
        QFETCH(QString, expected);
        QFETCH(int, count);
        QFETCH(int, steps);
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(source);
        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setHtml(QStringLiteral("<b>old bold</b>"));
        Idle();
        // Ticked right before the command, as a quick user would, so the idle rule has had no turn.
        for (int n : groups) Tick(*w, {n});
        Control<QLabel>(*w, "lblProgress")->setText(QStringLiteral("stale"));
        const char* const actions[] = {"actReplaceWithHiragana", "actReplaceWithKatakana", "actReplaceWithRandomKana"};
        Control<QAction>(*w, actions[mode])->trigger();

        QCOMPARE(boxes.size(), std::size_t(1));
        QCOMPARE(boxes[0].icon, QMessageBox::Information);
        QCOMPARE(boxes[0].caption, QStringLiteral("Moratutor"));
        QCOMPARE(boxes[0].text, kReportPrefix + QString::number(count) + u'.');
        QCOMPARE(RawText(Control<QTextEdit>(*w, "richConvertedTextUnicode")), expected);
        QCOMPARE(RawText(Control<QTextEdit>(*w, "richSourceTextAnsi")), source);  // never changed by a run
        // No formatting of the earlier content survives; caret at the start, nothing selected.
        QTextCursor first(Control<QTextEdit>(*w, "richConvertedTextUnicode")->document());
        first.movePosition(QTextCursor::NextCharacter);
        QVERIFY(!first.charFormat().font().bold());
        QCOMPARE(Control<QTextEdit>(*w, "richConvertedTextUnicode")->textCursor().position(), 0);
        QVERIFY(!Control<QTextEdit>(*w, "richConvertedTextUnicode")->textCursor().hasSelection());
        QCOMPARE(Control<QLabel>(*w, "lblProgress")->text(), QString());
        // Full after every run; never the 0..0 range, which Qt draws as a busy bar.
        QCOMPARE(Control<QProgressBar>(*w, "ProgressBar")->minimum(), 0);
        QCOMPARE(Control<QProgressBar>(*w, "ProgressBar")->maximum(), std::max(steps, 1));
        QCOMPARE(Control<QProgressBar>(*w, "ProgressBar")->value(), Control<QProgressBar>(*w, "ProgressBar")->maximum());
        QVERIFY(Control<QTextEdit>(*w, "richConvertedTextUnicode")->isEnabled());
        QVERIFY(Control<QMenu>(*w, "menuFile")->isEnabled());
        QCOMPARE(QApplication::focusWidget(), Control<QTextEdit>(*w, "richConvertedTextUnicode"));
    }

    void runsKeepWordWrapAndFreeOldResults() {
        Tick(*w, {2});
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(QStringLiteral("ка"));
        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setLineWrapMode(QTextEdit::NoWrap);
        Idle();
        Control<QAction>(*w, "actReplaceWithHiragana")->trigger();
        QPointer<QTextDocument> first = Control<QTextEdit>(*w, "richConvertedTextUnicode")->document();
        Control<QAction>(*w, "actReplaceWithKatakana")->trigger();
        QVERIFY(first.isNull());
        QCOMPARE(Control<QTextEdit>(*w, "richConvertedTextUnicode")->toPlainText(), QStringLiteral("カ"));
        QCOMPARE(Control<QTextEdit>(*w, "richConvertedTextUnicode")->lineWrapMode(), QTextEdit::NoWrap);
        QCOMPARE(Control<QTextEdit>(*w, "richSourceTextAnsi")->lineWrapMode(), QTextEdit::WidgetWidth);
        QCOMPARE(Control<QTextEdit>(*w, "richConvertedTextUnicode")->document()->defaultFont().pointSize(), 10);
        // The new content is editable and undoable like any other.
        FocusPane(Control<QTextEdit>(*w, "richConvertedTextUnicode"));
        QTest::keyClicks(Control<QTextEdit>(*w, "richConvertedTextUnicode"), QStringLiteral("x"));
        QCOMPARE(Control<QTextEdit>(*w, "richConvertedTextUnicode")->toPlainText(), QStringLiteral("xカ"));
        Idle();
        QVERIFY(Control<QAction>(*w, "EditUndo")->isEnabled());
        QVERIFY(Control<QAction>(*w, "actSaveTextToFile")->isEnabled());
    }

    void randomKanaMixesScripts() {
        Tick(*w, {2});
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(QString(200, u'к').replace(QStringLiteral("к"), QStringLiteral("ка")));
        Idle();
        Control<QAction>(*w, "actReplaceWithRandomKana")->trigger();
        const QString result = Control<QTextEdit>(*w, "richConvertedTextUnicode")->toPlainText();
        QCOMPARE(result.size(), 200);
        QVERIFY(result.contains(u'か'));
        QVERIFY(result.contains(u'カ'));
        QCOMPARE(boxes.back().text, kReportPrefix + QStringLiteral("200."));
    }

    void controlsDisabledDuringRunAndKeysDoNothing() {
        Tick(*w, {2, 3});
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(QStringLiteral("Кака сакура"));
        Idle();
        Activate();

        QSignalSpy load(Control<QAction>(*w, "actLoadTextFromFile"), &QAction::triggered);
        QSignalSpy save(Control<QAction>(*w, "actSaveTextToFile"), &QAction::triggered);
        QSignalSpy quit(Control<QAction>(*w, "actQuit"), &QAction::triggered);
        QSignalSpy help(Control<QAction>(*w, "actHelp"), &QAction::triggered);
        std::vector<QWidget*> lockable = {Control<QMenu>(*w, "menuFile"), Control<QMenu>(*w, "menuEdit"), Control<QMenu>(*w, "menuHelp"), Control<QToolBar>(*w, "ToolBar"), Control<QCheckBox>(*w, "chkbxSnowball"),
                                          Control<QCheckBox>(*w, "chkbxReplaceE"), Control<QCheckBox>(*w, "chkbxReplaceSpaces"), Control<QTextEdit>(*w, "richSourceTextAnsi"),
                                          Control<QTextEdit>(*w, "richConvertedTextUnicode"), Control<QPushButton>(*w, "spdbtnReplaceWithHiragana"),
                                          Control<QPushButton>(*w, "spdbtnReplaceWithKatakana")};
        for (QCheckBox* box : CharacterBoxes(*w)) lockable.push_back(box);

        int probes = 0;
        const auto probe = [&] {
            ++probes;
            QVERIFY(RunGoingOn(*w));
            for (QWidget* widget : lockable) QVERIFY2(!widget->isEnabled(), qPrintable(widget->objectName()));
            // The actions themselves stay as they were.
            QVERIFY(Control<QAction>(*w, "actReplaceWithHiragana")->isEnabled());
            QTest::keyClick(w.get(), Qt::Key_O, Qt::ControlModifier);
            QTest::keyClick(w.get(), Qt::Key_S, Qt::ControlModifier);
            QTest::keyClick(w.get(), Qt::Key_Q, Qt::ControlModifier);
            QTest::keyClick(w.get(), Qt::Key_F1);
        };
        // Fires at the first pump of the run (after DisableAllControls) and again inside the report box.
        QTimer::singleShot(0, w.get(), probe);
        onBox = probe;
        Control<QPushButton>(*w, "spdbtnReplaceWithHiragana")->click();
        QCOMPARE(probes, 2);
        QCOMPARE(boxes.size(), std::size_t(1));
        QVERIFY(boxes[0].text.startsWith(kReportPrefix));
        QCOMPARE(load.count() + save.count() + quit.count() + help.count(), 0);
        QVERIFY(w->isVisible());

        // After the run the keys work again.
        onBox = nullptr;
        Idle();
        Activate();
        QVERIFY(Control<QAction>(*w, "actSaveTextToFile")->isEnabled());
        QTest::keyClick(w.get(), Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(quit.count(), 1);
        QVERIFY(!w->isVisible());
    }

    void dependentGroupsSettleAfterRun() {
        Tick(*w, {1});
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(QStringLiteral("аи"));
        Idle();
        Control<QAction>(*w, "actReplaceWithKatakana")->trigger();
        Idle();
        QVERIFY(!Control<QCheckBox>(*w, "chkbxCharacters10")->isEnabled());
        QVERIFY(!Control<QCheckBox>(*w, "chkbxCharacters11")->isEnabled());
        QCOMPARE(Control<QTextEdit>(*w, "richConvertedTextUnicode")->toPlainText(), QStringLiteral("アイ"));
    }

    void progressShownDuringRun() {
        Tick(*w, {2});
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(QStringLiteral("ка ка ка ка"));
        Idle();
        QStringList seen;
        QTimer::singleShot(0, w.get(), [&] { seen << Control<QLabel>(*w, "lblProgress")->text(); });
        onBox = [&] { seen << Control<QLabel>(*w, "lblProgress")->text() << QString::number(Control<QProgressBar>(*w, "ProgressBar")->value()); };
        Control<QAction>(*w, "actReplaceWithHiragana")->trigger();
        // At the first pump nothing is searched yet; in the box the label is empty and the bar full.
        QCOMPARE(seen, (QStringList{QString(), QString(), QStringLiteral("5")}));
        QCOMPARE(Control<QProgressBar>(*w, "ProgressBar")->maximum(), 5);
    }

    // While a run goes on the window keeps handling events, and the label names the step.
    void windowAliveAndLabelledDuringRun() {
        Tick(*w, {2, 3});
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(QStringLiteral("ка са ").repeated(50));
        Idle();
        auto* bar = Control<QProgressBar>(*w, "ProgressBar");
        QStringList texts;
        int midRunSamples = 0;
        QTimer sampler;
        sampler.setInterval(0);
        connect(&sampler, &QTimer::timeout, this, [&] {
            if (!RunGoingOn(*w)) return;
            texts << Control<QLabel>(*w, "lblProgress")->text();
            if (bar->value() > 0 && bar->value() < bar->maximum()) ++midRunSamples;
        });
        sampler.start();
        Control<QAction>(*w, "actReplaceWithHiragana")->trigger();
        sampler.stop();
        QVERIFY(midRunSamples > 0);
        texts.removeAll(QString());
        texts.removeAll(QStringLiteral("Загрузка…"));
        QVERIFY2(!texts.isEmpty(), "the label stayed empty all run");
    }

    // The label's repaints are thinned within a step, yet at every pump the label on the
    // screen shows its current text, and every syllable's text is painted.
    void progressLabelPaintedEveryStep() {
        Tick(*w, {2, 3});
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(QStringLiteral("ка са ").repeated(3000));
        Idle();
        auto* label = Control<QLabel>(*w, "lblProgress");
        PaintedTexts painted(label);
        int pumps = 0;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this, [&] {
            if (RunGoingOn(*w) && Control<QProgressBar>(*w, "ProgressBar")->value() > 0 && ++pumps)
                QCOMPARE(painted.texts.value(painted.texts.size() - 1), label->text());
        });
        sampler.start(0);
        Control<QAction>(*w, "actReplaceWithHiragana")->trigger();
        QVERIFY(pumps > 0);
        QVERIFY(!painted.texts.filter(QStringLiteral("«КА»")).isEmpty());
        QVERIFY(!painted.texts.filter(QStringLiteral("«СА»")).isEmpty());
    }

    // Each option box reaches the engine as its own option. Snowball replaces the early
    // syllables of a text only now and then, so of 200 it leaves some (all 200 would take
    // a chance of 10^-100).
    void optionBoxesReachTheEngine_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("allReplaced");
        QTest::addColumn<QString>("firstResult");
        QTest::newRow("Snowball") << "chkbxSnowball" << QStringLiteral("ка ").repeated(200) << false << QString();
        QTest::newRow("ReplaceE") << "chkbxReplaceE" << QStringLiteral("ка ").repeated(200) << true << QString();
        QTest::newRow("ReplaceE, ке") << "chkbxReplaceE" << QStringLiteral("ке") << true << QStringLiteral("け");
        QTest::newRow("ReplaceSpaces") << "chkbxReplaceSpaces" << QStringLiteral("ка ").repeated(200) << true
                                       << QString();
    }
    void optionBoxesReachTheEngine() {
        QFETCH(QString, box);
        QFETCH(QString, source);
        QFETCH(bool, allReplaced);
        QFETCH(QString, firstResult);
        Tick(*w, {2});
        Control<QCheckBox>(*w, qPrintable(box))->setChecked(true);
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(source);
        Idle();
        Control<QAction>(*w, "actReplaceWithHiragana")->trigger();
        const QString result = Control<QTextEdit>(*w, "richConvertedTextUnicode")->toPlainText();
        QCOMPARE(!result.contains(u'к'), allReplaced);
        if (!firstResult.isEmpty()) QCOMPARE(result, firstResult);
    }

    void closeDuringRunWaitsForItsEnd() {
        Tick(*w, {2});
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(QStringLiteral("ка"));
        Idle();
        onBox = [&] {
            QVERIFY(!w->close());
            QVERIFY(w->isVisible());
        };
        Control<QAction>(*w, "actReplaceWithHiragana")->trigger();
        QCOMPARE(boxes.size(), std::size_t(1));
        QVERIFY(!w->isVisible());
        QCOMPARE(Control<QTextEdit>(*w, "richConvertedTextUnicode")->toPlainText(), QStringLiteral("か"));
    }

    void errorInsideRunStillUnlocksWindow() {
        Tick(*w, {2});
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(QStringLiteral("ка"));
        Idle();
        // The report step fails (as running out of memory would): the error box shows the
        // message and the window is unlocked all the same.
        onBox = [this] {
            if (boxes.size() == 1) throw moratutor::ui::Error(QStringLiteral("Недостаточно памяти"));
        };
        Control<QAction>(*w, "actReplaceWithHiragana")->trigger();
        QCOMPARE(boxes.size(), std::size_t(2));
        QCOMPARE(boxes[1].icon, QMessageBox::Critical);
        QCOMPARE(boxes[1].text, QStringLiteral("Недостаточно памяти."));
        QVERIFY(!RunGoingOn(*w));
        for (QWidget* widget : std::initializer_list<QWidget*>{Control<QMenu>(*w, "menuFile"), Control<QToolBar>(*w, "ToolBar"), Control<QCheckBox>(*w, "chkbxSnowball"),
                                                               Control<QTextEdit>(*w, "richSourceTextAnsi"), Control<QPushButton>(*w, "spdbtnReplaceWithHiragana")})
            QVERIFY(widget->isEnabled());
        QCOMPARE(QApplication::focusWidget(), Control<QTextEdit>(*w, "richConvertedTextUnicode"));
    }

    void errorBoxTextRule_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << QStringLiteral("Файл не найден") << QStringLiteral("Файл не найден.");
        QTest::newRow("digit") << QStringLiteral("Код 5") << QStringLiteral("Код 5.");
        QTest::newRow("full stop") << QStringLiteral("Готово.") << QStringLiteral("Готово.");
        QTest::newRow("bang") << QStringLiteral("Стоп!") << QStringLiteral("Стоп!");
        QTest::newRow("paren") << QStringLiteral("(x)") << QStringLiteral("(x)");
        QTest::newRow("comma") << QStringLiteral("a,") << QStringLiteral("a,");
        QTest::newRow("hyphen") << QStringLiteral("a-") << QStringLiteral("a-");
        QTest::newRow("slash") << QStringLiteral("a/") << QStringLiteral("a/.");
        QTest::newRow("empty") << QString() << QString();
    }
    void errorBoxTextRule() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(moratutor::ui::ErrorBoxText(message), shown);
    }

    void errorEscapingAHandlerIsShownAndProgramGoesOn() {
        ThrowingWidget widget;
        QEvent event(QEvent::User);
        QCOMPARE(QCoreApplication::sendEvent(&widget, &event), false);
        QCOMPARE(boxes.size(), std::size_t(1));
        QCOMPARE(boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(boxes[0].caption, QStringLiteral("Moratutor"));
        QCOMPARE(boxes[0].text, QStringLiteral("Файл не найден."));
        // The window still works.
        Tick(*w, {2});
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(QStringLiteral("ка"));
        Idle();
        Control<QAction>(*w, "actReplaceWithHiragana")->trigger();
        QCOMPARE(Control<QTextEdit>(*w, "richConvertedTextUnicode")->toPlainText(), QStringLiteral("か"));
    }

    void destroyingTheWindowSaves() {
        const QString prefs = dir.filePath(QStringLiteral("prefs.ini"));
        Control<QCheckBox>(*w, "chkbxCharacters1")->setChecked(true);
        w->close();
        QVERIFY(!QFile::exists(prefs));  // closing alone writes nothing; the window goes on
        w.reset();
        QVERIFY(QFile::exists(prefs));
        QVERIFY(boxes.empty());
    }

    void loginAndSystemTexts() {
        const QString user = GetLoginUserName();
        QVERIFY(!user.isEmpty());
        QVERIFY(!user.contains(u'/'));
        const QString os = GetOSVersionText();
        QVERIFY2(os.startsWith(QStringLiteral("Linux ")), qPrintable(os));
    }
};

int RunMainWindowTest(int argc, char** argv) {
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainWindowTest.moc"
