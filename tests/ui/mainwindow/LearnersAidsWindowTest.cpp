// The learner's aids through the real main window: the answer key after a run and after
// edits, the highlight and its preference, the kana chart, its key and its tool-bar button.
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QHelpEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolBar>
#include <QToolTip>

#include <memory>

#include "Controls.h"
#include "LearnersAidsFixture.h"
#include "IniFile.h"
#include "MessageBoxes.h"
#include "UKanaChart.h"
#include "UMain.h"
#include "UiTests.h"

using namespace moratutor::ui;  // the windows under test

using moratutor::test::CharacterBoxes;
using moratutor::test::Control;

namespace {

// The centre of the character at `position`, in the pane's viewport.
QPoint CentreOf(QTextEdit* pane, int position) {
    QTextCursor a(pane->document()), b(pane->document());
    a.setPosition(position);
    b.setPosition(position + 1);
    const QRect left = pane->cursorRect(a), right = pane->cursorRect(b);
    return QPoint((left.x() + right.x()) / 2, left.center().y());
}

// What resting the mouse on that character shows: empty when no tool tip comes up.
QString ToolTipOver(QTextEdit* pane, int position) {
    QToolTip::hideText();
    (void)QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000);
    const QPoint at = CentreOf(pane, position);
    QHelpEvent help(QEvent::ToolTip, at, pane->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(pane->viewport(), &help);
    QCoreApplication::processEvents();
    const QString shown = QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    return shown;
}

}  // namespace

class LearnersAidsWindowTest : public moratutor::test::LearnersAidsFixture {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        moratutor::ui::SetMessageSink([](QMessageBox::Icon, const QString&, const QString&) {});
    }

    void init() {
        TFMain::SetPreferencesPathOverride(PreferencesFile());
        QFile::remove(PreferencesFile());
        NewWindow();
    }

    void cleanup() {
        w.reset();
        TFMain::SetPreferencesPathOverride(QString());
    }

    void cleanupTestCase() { moratutor::ui::SetMessageSink({}); }

    void toolTipOverAKanaAfterARun() {
        Run(QStringLiteral("Кот и КОшка"), {2});
        QCOMPARE(converted->toPlainText(), QStringLiteral("こт и こшか"));
        QCOMPARE(ToolTipOver(converted, 0), QStringLiteral("«Ко» — группа «Ка, Ки, Ку, Кэ, Ко»"));
        QCOMPARE(ToolTipOver(converted, 5), QStringLiteral("«КО» — группа «Ка, Ки, Ку, Кэ, Ко»"));
        QCOMPARE(ToolTipOver(converted, 1), QString());  // the Cyrillic that stayed
    }

    void keyAtTheCaretReachesScreenReaders() {
        // F3 shows the tool tip of the kana at the caret; the pane's accessible description
        // says the same as the caret moves.
        Run(QStringLiteral("Кот и КОшка"), {2});
        converted->setFocus();
        QTextCursor cursor(converted->document());
        cursor.setPosition(5);
        converted->setTextCursor(cursor);
        QCOMPARE(converted->accessibleDescription(), QStringLiteral("«КО» — группа «Ка, Ки, Ку, Кэ, Ко»"));
        QAccessibleInterface* told = QAccessible::queryAccessibleInterface(converted);  // the panes' own interface
        QCOMPARE(told->text(QAccessible::Description), QStringLiteral("«КО» — группа «Ка, Ки, Ку, Кэ, Ко»"));
        QCOMPARE(told->textInterface()->cursorPosition(), 5);
        QToolTip::hideText();
        QTest::keyClick(w.get(), Qt::Key_F3);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("«КО» — группа «Ка, Ки, Ку, Кэ, Ко»"));
        cursor.setPosition(2);  // between т and the space: no kana either side
        converted->setTextCursor(cursor);
        QCOMPARE(converted->accessibleDescription(), QString());
        QTest::keyClick(w.get(), Qt::Key_F3);
        QTRY_COMPARE(QToolTip::text(), QStringLiteral("У курсора нет слога, заменённого программой"));
        QToolTip::hideText();
        QCOMPARE(Control<QAction>(*w, "actKeyAtCaret")->text(), QStringLiteral("Подсказка к слогу у курсора"));
    }

    void keyFollowsTypingInTheWindow() {
        Run(QStringLiteral("ко ка"), {2});
        QCOMPARE(converted->toPlainText(), QStringLiteral("こ か"));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        converted->setFocus(Qt::OtherFocusReason);
        converted->setTextCursor(QTextCursor(converted->document()));  // caret at the start
        QTest::keyClicks(converted, QStringLiteral("ab"));
        QCOMPARE(converted->toPlainText(), QStringLiteral("abこ か"));
        QCOMPARE(ToolTipOver(converted, 0), QString());  // typed text has no key
        QCOMPARE(ToolTipOver(converted, 2), QStringLiteral("«ко» — группа «Ка, Ки, Ку, Кэ, Ко»"));
        // Deleting こ leaves か its key at its new place.
        QTest::keyClick(converted, Qt::Key_Delete);
        QCOMPARE(converted->toPlainText(), QStringLiteral("ab か"));
        QCOMPARE(ToolTipOver(converted, 3), QStringLiteral("«ка» — группа «Ка, Ки, Ку, Кэ, Ко»"));
    }

    // Ctrl+Z and the menu's undo bring back a deleted kana with its key and highlight.
    void undoBringsBackTheKeyAndHighlight() {
        Control<QAction>(*w, "actHighlightReplacements")->trigger();
        Run(QStringLiteral("ко ка"), {2});
        QCOMPARE(converted->extraSelections().size(), 2);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        converted->setFocus(Qt::OtherFocusReason);
        converted->setTextCursor(QTextCursor(converted->document()));
        QTest::keyClick(converted, Qt::Key_Delete);
        QCOMPARE(converted->toPlainText(), QStringLiteral(" か"));
        QCOMPARE(converted->extraSelections().size(), 1);
        QTest::keyClick(converted, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(converted->toPlainText(), QStringLiteral("こ か"));
        QCOMPARE(converted->extraSelections().size(), 2);
        QCOMPARE(ToolTipOver(converted, 0), QStringLiteral("«ко» — группа «Ка, Ки, Ку, Кэ, Ко»"));
        converted->redo();
        QCOMPARE(converted->extraSelections().size(), 1);
        QTRY_VERIFY(Control<QAction>(*w, "EditUndo")->isEnabled());
        Control<QAction>(*w, "EditUndo")->trigger();
        QCOMPARE(converted->toPlainText(), QStringLiteral("こ か"));
        QCOMPARE(converted->extraSelections().size(), 2);
    }

    void highlightToggledAndRemembered() {
        QAction* highlight = Control<QAction>(*w, "actHighlightReplacements");
        QVERIFY(highlight->isCheckable());
        QVERIFY(!highlight->isChecked());  // off without a preferences file
        Run(QStringLiteral("Кот и кошка"), {1, 2});
        QVERIFY(converted->extraSelections().isEmpty());
        highlight->trigger();
        QVERIFY(highlight->isChecked());
        QCOMPARE(converted->extraSelections().size(), 4);
        // The text itself stays plain: saving writes no highlight.
        QVERIFY(!converted->document()->toHtml().contains(QStringLiteral("background")));

        w->close();
        w.reset();
        QCOMPARE(moratutor::IniFile(PreferencesFile()).ReadString(QStringLiteral("Main"),
                                                                  QStringLiteral("HighlightReplacements"), {}),
                 QStringLiteral("1"));
        NewWindow();
        QVERIFY(Control<QAction>(*w, "actHighlightReplacements")->isChecked());
        Run(QStringLiteral("ка"), {2});
        QCOMPARE(converted->extraSelections().size(), 1);
        Control<QAction>(*w, "actHighlightReplacements")->trigger();
        QVERIFY(converted->extraSelections().isEmpty());
        w.reset();
        QCOMPARE(moratutor::IniFile(PreferencesFile()).ReadString(QStringLiteral("Main"),
                                                                  QStringLiteral("HighlightReplacements"), {}),
                 QStringLiteral("0"));
    }

    // The highlight of one run must not outlive its document: a second run with the
    // highlight on replaced the document under it and crashed.
    void highlightThroughRepeatedRuns() {
        Control<QAction>(*w, "actHighlightReplacements")->trigger();
        const QString source = QStringLiteral("Мама купила молоко и сметану.");
        Run(source, {2, 3, 4, 5, 9, 10, 11});
        QCOMPARE(converted->extraSelections().size(), 3);
        for (int run = 0; run < 3; ++run) {
            Control<QAction>(*w, "actReplaceWithHiragana")->trigger();
            QCoreApplication::processEvents();
            QCOMPARE(converted->extraSelections().size(), 3);
            for (const QTextEdit::ExtraSelection& selection : converted->extraSelections())
                QCOMPARE(selection.cursor.document(), converted->document());
        }
        QCOMPARE(ToolTipOver(converted, 5), QStringLiteral("«ку» — группа «Ка, Ки, Ку, Кэ, Ко»"));
    }

    void chartFollowsTheTicksFromStartUp() {
        w.reset();
        QFile file(PreferencesFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Characters]\n3=1\n");
        file.close();
        NewWindow();
        QVERIFY(!chart->isVisible());  // made hidden, waiting for its command
        QVERIFY(chart->CellHighlighted(55));  // са, ticked in the preferences
        QVERIFY(!chart->CellHighlighted(46));
        Control<QCheckBox>(*w, "chkbxCharacters2")->setChecked(true);
        QVERIFY(chart->CellHighlighted(46));
        Control<QCheckBox>(*w, "chkbxReplaceE")->setChecked(true);
        QVERIFY(chart->CellHighlighted(54));  // ке comes in with "Замена «Э» и «Е»"
        Control<QAction>(*w, "actDeselectAllCharacters")->trigger();
        QVERIFY(!chart->CellHighlighted(46));
        QVERIFY(!chart->CellHighlighted(55));
    }

    void chartCountsTheLastRun() {
        Run(QStringLiteral("ка ка ко"), {2});
        QCOMPARE(chart->HiraganaCount(46), 2);
        QCOMPARE(chart->KatakanaCount(46), 0);
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(QStringLiteral("ко"));
        Control<QAction>(*w, "actReplaceWithKatakana")->trigger();
        QCOMPARE(chart->HiraganaCount(46), 0);  // the last run only
        QCOMPARE(chart->KatakanaCount(50), 1);
    }

    void f2AndTheButtonOpenOneChart() {
        QVERIFY(!chart->isVisible());
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w.get(), Qt::Key_F2);
        QTRY_VERIFY(chart->isVisible());
        chart->close();
        QVERIFY(!chart->isVisible());
        auto* toolBar = Control<QToolBar>(*w, "ToolBar");
        QTest::mouseClick(toolBar->widgetForAction(Control<QAction>(*w, "actKanaChart")), Qt::LeftButton);
        QTRY_VERIFY(chart->isVisible());
        Control<QAction>(*w, "actKanaChart")->trigger();
        QCOMPARE(w->findChildren<TFKanaChart*>().size(), 1);  // one at a time
    }

    // The chart's first place: beside the window where the screen has room, never off it.
    void chartOpensBesideTheWindow_data() {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QSize>("chart");
        QTest::addColumn<QPoint>("place");
        const QSize chart(536, 700);
        QTest::newRow("room on the right") << QRect(0, 30, 700, 550) << chart << QPoint(700, 30);
        QTest::newRow("room on the left only") << QRect(700, 30, 560, 550) << chart << QPoint(164, 30);
        QTest::newRow("room on neither side") << QRect(260, 130, 760, 560) << chart << QPoint(744, 100);
        QTest::newRow("chart wider than the screen") << QRect(0, 0, 760, 550) << QSize(1400, 900) << QPoint(0, 0);
    }

    void chartOpensBesideTheWindow() {
        QFETCH(QRect, window);
        QFETCH(QSize, chart);
        QFETCH(QPoint, place);
        QCOMPARE(TFMain::KanaChartPlace(window, chart, QRect(0, 0, 1280, 800)), place);
    }

    // Where neither side has room but the screen has, the window moves aside for the chart.
    void windowMovesAsideForTheChart_data() {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<int>("screenWidth");
        QTest::addColumn<QPoint>("place");
        QTest::newRow("centred on 1280") << QRect(259, 230, 762, 570) << 1280 << QPoint(5, 230);
        QTest::newRow("room on the right") << QRect(0, 30, 762, 570) << 1280 << QPoint(0, 30);
        QTest::newRow("room on the left") << QRect(518, 30, 762, 570) << 1280 << QPoint(518, 30);
        QTest::newRow("exactly room for both") << QRect(259, 0, 772, 570) << 1280 << QPoint(0, 0);
        QTest::newRow("no room for both: least covered") << QRect(259, 0, 773, 570) << 1280 << QPoint(0, 0);
        QTest::newRow("1024 wide") << QRect(131, 99, 762, 570) << 1024 << QPoint(0, 99);
    }
    void windowMovesAsideForTheChart() {
        QFETCH(QRect, window);
        QFETCH(int, screenWidth);
        QFETCH(QPoint, place);
        const QSize chart(508, 700);
        const QRect screen(0, 0, screenWidth, 1024);
        QCOMPARE(TFMain::WindowPlaceBesideChart(window, chart, screen), place);
        // And the chart then opens beside it where the screen has room for both.
        const QRect moved(place, window.size());
        if (moved.width() + chart.width() <= screen.width())
            QVERIFY(!moved.intersects(QRect(TFMain::KanaChartPlace(moved, chart, screen), chart)));
    }

    // A window never starts off its screen: larger than the free area, it is fitted to it.
    void windowStartsOnTheScreen_data() {
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("place");
        QTest::newRow("fits") << QSize(762, 570) << QRect(0, 0, 1280, 1024) << QRect(259, 227, 762, 570);
        QTest::newRow("scale 2 on 1280x1024") << QSize(762, 570) << QRect(0, 0, 640, 512) << QRect(0, 0, 640, 512);
        QTest::newRow("too tall only") << QSize(600, 570) << QRect(0, 24, 1024, 500) << QRect(212, 24, 600, 500);
        QTest::newRow("panel on the left") << QSize(762, 570) << QRect(60, 0, 700, 1000) << QRect(60, 215, 700, 570);
        QTest::newRow("exactly the screen") << QSize(640, 512) << QRect(0, 0, 640, 512) << QRect(0, 0, 640, 512);
    }
    void windowStartsOnTheScreen() {
        QFETCH(QSize, frame);
        QFETCH(QRect, available);
        QFETCH(QRect, place);
        QCOMPARE(TFMain::PlaceOnScreen(frame, available), place);
    }

    void chartStaysAboveItsWindowAndTakesKeys() {
        QVERIFY(chart->windowFlags() & Qt::Tool);  // above its window, which owns it
        QCOMPARE(chart->parentWidget(), w.get());
        Control<QAction>(*w, "actKanaChart")->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(chart));
        chart->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(chart));
        auto* bar = chart->findChild<QScrollArea*>()->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QTest::keyClick(chart, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(bar->value(), bar->maximum());
        QTest::keyClick(chart, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(bar->value(), 0);
        QTest::keyClick(chart, Qt::Key_Escape);
        QTRY_VERIFY(!chart->isVisible());
    }

    // Every button stands whole on the tool bar, however many the table gives it.
    void toolBarShowsEveryButtonWhole() {
        auto* toolBar = Control<QToolBar>(*w, "ToolBar");
        int width = 0;
        for (QAction* action : toolBar->actions()) {
            QWidget* widget = toolBar->widgetForAction(action);
            QVERIFY(widget && widget->isVisible());
            QVERIFY2(toolBar->rect().contains(widget->geometry()), qPrintable(action->objectName()));
            width += widget->width();
        }
        QCOMPARE(toolBar->width(), width);
    }
};

int RunLearnersAidsWindowTest(int argc, char** argv) {
    LearnersAidsWindowTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "LearnersAidsWindowTest.moc"
