// Drives the real main window on the offscreen platform: controls, idle rules, layout,
// word wrap, edit actions and the window's end. Conversion runs have a class of their own.
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
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextEdit>
#include <QToolBar>

#include <iterator>

#include "MainWindowFixture.h"
#include "UMain.h"
#include "UMostUsed.h"
#include "Controls.h"

#include "UiTests.h"

using namespace moratutor::ui;  // the windows under test
using namespace moratutor;

using moratutor::test::CharacterBoxes;
using moratutor::test::Control;
using moratutor::test::Idle;
using moratutor::test::Tick;

class MainWindowTest : public moratutor::test::MainWindowFixture {
    Q_OBJECT

    // Sets the client area to the given size through the window's own size.
    void SetClientSize(int width, int height) {
        w->resize(width, height + w->menuBar()->height());
        Idle();
        QCOMPARE(Control<QWidget>(*w, "ClientArea")->size(), QSize(width, height));
    }

private slots:
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
            {"actSayKana", "Произнести знак каны", -1},
            {"actSaySyllable", "Произнести русский слог", -1},
        };
        const auto pixels = [](const QIcon& icon) { return icon.pixmap(16, 16).toImage(); };
        for (const Row& row : rows) {
            QAction* action = Control<QAction>(*w, row.name);
            QCOMPARE(action->text(), QString::fromUtf8(row.caption));
            // Tool bar buttons and menus show the hint; it is the caption, word for word, but
            // for a speaking item greyed for want of a voice, whose hint names the package.
            if (!action->isEnabled() && action->objectName().startsWith(QStringLiteral("actSay")))
                QVERIFY(action->toolTip().contains(QStringLiteral("espeak-ng")));
            else
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
                              "actHighlightReplacements", "-", "actKeyAtCaret", "actSayKana", "actSaySyllable"}));
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
            {Control<QAction>(*w, "actKeyAtCaret"), QKeySequence(Qt::Key_F3)},
            {Control<QAction>(*w, "actSayKana"), QKeySequence(Qt::Key_F4)},
            {Control<QAction>(*w, "actSaySyllable"), QKeySequence(Qt::SHIFT | Qt::Key_F4)}};
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
