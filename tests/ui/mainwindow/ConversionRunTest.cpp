// Conversion runs in the real main window on the offscreen platform: the refusal, the
// result and its report, the locked window and its progress while a run goes on, and the
// error box for what fails in a run or anywhere else.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "MainWindowFixture.h"
#include "MessageBoxes.h"
#include "UMain.h"
#include "Controls.h"

#include "UiTests.h"

using namespace moratutor::ui;  // the windows under test
using namespace moratutor;

using moratutor::test::CharacterBoxes;
using moratutor::test::Control;
using moratutor::test::Idle;
using moratutor::test::RunGoingOn;
using moratutor::test::Tick;

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

const QString kReportPrefix = QStringLiteral("Преобразование текста завершено. Произведено замен: ");
const QString kRefusal = QStringLiteral("Перед преобразованием выберите хотя бы одну группу слогов для замены.");

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

class ConversionRunTest : public moratutor::test::MainWindowFixture {
    Q_OBJECT

private slots:
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
};

int RunConversionRunTest(int argc, char** argv) {
    ConversionRunTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ConversionRunTest.moc"
