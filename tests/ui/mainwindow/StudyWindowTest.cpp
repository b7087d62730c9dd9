// The learner's study through the real main window: look-ups counted from tool tips and the
// key, kept across a restart, a damaged counts file left alone, the reset; the voice through
// a fake speaker (the keys, the tool tip's kana, the chart's clicks, the greyed state); the
// chart's shading and suggestion from given counts.
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolTip>

#include <memory>
#include <vector>

#include "Controls.h"
#include "LearnersAidsFixture.h"
#include "KanaCountsFile.h"
#include "MessageBoxes.h"
#include "Speaker.h"
#include "UKanaChart.h"
#include "UMain.h"
#include "UiTests.h"

using namespace moratutor::ui;  // the windows under test

using moratutor::kmHiragana;
using moratutor::kmKatakana;
using moratutor::speech::Utterance;
using moratutor::study::KanaCounts;
using moratutor::test::CharacterBoxes;
using moratutor::test::Control;

namespace {

// Listens instead of speaking; `unavailable` makes it a desktop without a voice.
struct FakeSpeaker : moratutor::speech::Speaker {
    std::vector<Utterance>* said;
    QString unavailable;
    FakeSpeaker(std::vector<Utterance>* log, QString reason) : said(log), unavailable(std::move(reason)) {}
    QString Unavailable() const override { return unavailable; }
    void Say(const Utterance& utterance) override {
        if (unavailable.isEmpty()) said->push_back(utterance);
    }
};

QPoint CentreOf(QTextEdit* pane, int position) {
    QTextCursor a(pane->document()), b(pane->document());
    a.setPosition(position);
    b.setPosition(position + 1);
    const QRect left = pane->cursorRect(a), right = pane->cursorRect(b);
    return QPoint((left.x() + right.x()) / 2, left.center().y());
}

// Rests the mouse on the character at `position` until its tool tip shows; the tip stays up.
void RestOn(QTextEdit* pane, int position) {
    const QPoint at = CentreOf(pane, position);
    QHelpEvent help(QEvent::ToolTip, at, pane->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(pane->viewport(), &help);
    QCoreApplication::processEvents();
}

void HideToolTip() {
    QToolTip::hideText();
    (void)QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000);
}

moratutor::OptionSet Groups(std::initializer_list<int> groups) {
    moratutor::OptionSet options;
    for (const int g : groups) options.Characters[static_cast<std::size_t>(g - 1)] = true;
    return options;
}

}  // namespace

class StudyWindowTest : public moratutor::test::LearnersAidsFixture {
    Q_OBJECT

    std::vector<Utterance> said;
    QString voiceMissing;  // the fake speaker's reason, empty: it speaks
    std::vector<QString> questions;

    QString CountsFile() const { return dir.filePath(QStringLiteral("prefs.kana")); }

    moratutor::study::Tally Counted(int row, moratutor::KanaMode script) {
        moratutor::study::KanaCountsFile file(CountsFile());
        return file.Load().Of(row, script);
    }

    QByteArray CountsOnDisk() const {
        QFile file(CountsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        moratutor::ui::SetMessageSink([](QMessageBox::Icon, const QString&, const QString&) {});
        moratutor::speech::SetSpeakerMaker([this] { return std::make_unique<FakeSpeaker>(&said, voiceMissing); });
        TFMain::SetResetQuestionOverride([this](const QString& question) {
            questions.push_back(question);
            return true;
        });
    }

    void init() {
        TFMain::SetPreferencesPathOverride(PreferencesFile());
        QFile::remove(PreferencesFile());
        QFile::remove(CountsFile());
        said.clear();
        questions.clear();
        voiceMissing.clear();
        NewWindow();
    }

    void cleanup() {
        HideToolTip();
        w.reset();
        TFMain::SetPreferencesPathOverride(QString());
    }

    void cleanupTestCase() {
        moratutor::ui::SetMessageSink({});
        moratutor::speech::SetSpeakerMaker({});
        TFMain::SetResetQuestionOverride({});
    }

    void countsAfterToolTipsAndAcrossARestart() {
        Run(QStringLiteral("ко ка ку"), {2});
        QCOMPARE(converted->toPlainText(), QStringLiteral("こ か く"));
        RestOn(converted, 0);
        RestOn(converted, 0);  // the same tool tip still up: one look-up
        HideToolTip();
        RestOn(converted, 0);
        HideToolTip();
        RestOn(converted, 2);
        HideToolTip();
        QTextCursor caret(converted->document());
        caret.setPosition(4);
        converted->setTextCursor(caret);
        Control<QAction>(*w, "actKeyAtCaret")->trigger();  // F3 at the caret: く
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("«ку» — группа «Ка, Ки, Ку, Кэ, Ко»"));
        w.reset();  // closing saves; what was on view and not looked up counts as seen
        QCOMPARE(Counted(50, kmHiragana), (moratutor::study::Tally{2, 0}));
        QCOMPARE(Counted(46, kmHiragana), (moratutor::study::Tally{1, 0}));
        QCOMPARE(Counted(48, kmHiragana), (moratutor::study::Tally{1, 0}));

        NewWindow();  // the counts come back and go on
        Run(QStringLiteral("ко ка"), {});
        RestOn(converted, 0);
        HideToolTip();
        Run(QStringLiteral("ку"), {});  // the last result's page was read: か seen, こ looked up
        w.reset();
        QCOMPARE(Counted(50, kmHiragana), (moratutor::study::Tally{3, 0}));
        QCOMPARE(Counted(46, kmHiragana), (moratutor::study::Tally{1, 1}));
        QCOMPARE(Counted(48, kmHiragana), (moratutor::study::Tally{1, 1}));
    }

    // Pages scrolled past count as seen, each kana once; a jump reads nothing it skipped.
    void kanaReadPastCountAsSeen() {
        QStringList lines;
        for (int i = 0; i < 300; ++i) lines << QStringLiteral("ко");
        Run(lines.join(QLatin1Char('\n')), {2});
        QScrollBar* bar = converted->verticalScrollBar();
        QVERIFY(bar->maximum() > 10 * bar->pageStep());
        const auto seen = [this] {
            Control<QAction>(*w, "actKanaChart")->trigger();  // opening shows the counts so far
            const QString tip = chart->KanaLabel(50, kmHiragana)->toolTip();
            const qsizetype at = tip.lastIndexOf(QStringLiteral("— "));
            return at < 0 ? 0 : tip.mid(at + 2).toInt();
        };
        QCOMPARE(seen(), 0);
        bar->setValue(bar->pageStep());
        const int firstPage = seen();
        QVERIFY(firstPage > 0);
        bar->setValue(0);  // back up and down again: read already
        bar->setValue(bar->pageStep());
        QCOMPARE(seen(), firstPage);
        bar->setValue(bar->maximum());  // the second page left, the rest skipped
        const int twoPages = seen();
        QVERIFY(twoPages > firstPage);
        QVERIFY(twoPages <= 3 * firstPage);
        w.reset();  // the last page counts on closing
        const std::uint32_t all = Counted(50, kmHiragana).Seen;
        QVERIFY(all > static_cast<std::uint32_t>(twoPages));
        QVERIFY(all < 300);
    }

    void damagedCountsFileIsLeftAloneUntilTheReset() {
        w.reset();
        const QByteArray damaged("Moratutor kana counts 1\nこ many 3\n");
        QFile file(CountsFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(damaged);
        file.close();
        NewWindow();  // the program starts all the same
        QVERIFY(chart->StudySummary().contains(QStringLiteral("повреждён")));
        Run(QStringLiteral("ко"), {2});
        RestOn(converted, 0);
        HideToolTip();
        QCOMPARE(chart->StudySummary().contains(QStringLiteral("повреждён")), true);
        w.reset();
        QCOMPARE(CountsOnDisk(), damaged);

        NewWindow();
        chart->findChild<QPushButton*>(QStringLiteral("btnResetCounts"))->click();
        QCOMPARE(questions.size(), std::size_t{1});
        QVERIFY(questions[0].contains(QStringLiteral("Повреждённый файл")));
        QCOMPARE(CountsOnDisk(), QByteArray("Moratutor kana counts 1\n"));
        QVERIFY(!chart->StudySummary().contains(QStringLiteral("повреждён")));
    }

    void keysSayTheKanaAtTheCaretOrUnderTheToolTip() {
        Run(QStringLiteral("ко ря"), {2, 8, 11});
        QCOMPARE(converted->toPlainText(), QStringLiteral("こ りゃ"));
        QVERIFY(Control<QAction>(*w, "actSayKana")->isEnabled());
        QTextCursor caret(converted->document());
        caret.setPosition(0);
        converted->setTextCursor(caret);
        Control<QAction>(*w, "actSayKana")->trigger();
        Control<QAction>(*w, "actSaySyllable")->trigger();
        RestOn(converted, 3);  // the tool tip's kana wins over the caret's, by the real key
        QVERIFY(QToolTip::isVisible());
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(converted, Qt::Key_F4);
        HideToolTip();
        caret.setPosition(1);  // after こ, before the space: the kana before the caret
        converted->setTextCursor(caret);
        Control<QAction>(*w, "actSaySyllable")->trigger();
        const std::vector<Utterance> expected{{QStringLiteral("こ"), "ja"},
                                              {QStringLiteral("ко"), "ru"},
                                              {QStringLiteral("りゃ"), "ja"},
                                              {QStringLiteral("ко"), "ru"}};
        QCOMPARE(said, expected);

        chart->show();
        QTest::mouseClick(chart->KanaLabel(105, kmKatakana), Qt::LeftButton);
        QTest::mouseClick(chart->Cell(105)->findChildren<QLabel*>().front(), Qt::LeftButton);
        QCOMPARE(said.size(), std::size_t{6});
        QCOMPARE(said[4], (Utterance{QStringLiteral("リャ"), "ja"}));
        QCOMPARE(said[5], (Utterance{QStringLiteral("ря"), "ru"}));  // the syllable as the table has it
    }

    void greyedWithoutAVoice() {
        w.reset();
        voiceMissing = QStringLiteral("Нет голоса: установите пакет espeak-ng.");
        NewWindow();
        for (const char* name : {"actSayKana", "actSaySyllable"}) {
            QAction* say = Control<QAction>(*w, name);
            QVERIFY(!say->isEnabled());
            QCOMPARE(say->toolTip(), voiceMissing);
        }
        QVERIFY(!chart->SpeechNote()->isEnabled());
        QCOMPARE(chart->SpeechNote()->toolTip(), voiceMissing);
        chart->show();
        QTest::mouseClick(chart->KanaLabel(50, kmHiragana), Qt::LeftButton);
        QVERIFY(said.empty());
    }

    void chartShadesAndSuggestsFromGivenCounts() {
        KanaCounts counts;
        for (int row = 115; row <= 119; ++row)
            for (int i = 0; i < 10; ++i) counts.CountSeen(row, kmHiragana);
        for (int i = 0; i < 6; ++i) counts.CountLookUp(115, kmKatakana);
        for (int i = 0; i < 4; ++i) counts.CountSeen(115, kmKatakana);
        chart->ShowStudy(counts, Groups({1}));
        const QColor known = chart->KanaShade(116, kmHiragana), practise = chart->KanaShade(115, kmKatakana);
        QVERIFY(known.isValid() && practise.isValid());
        QVERIFY(known.green() > known.red());
        QVERIFY(practise.red() > practise.green());
        QVERIFY(!chart->KanaShade(50, kmHiragana).isValid());  // never met
        QVERIFY(chart->MarkedToPractise(115, kmKatakana));
        QVERIFY(!chart->MarkedToPractise(116, kmHiragana));
        QVERIFY(chart->StudySummary().contains(QStringLiteral("повторить — 1")));
        QVERIFY(!chart->StudySummary().contains(QStringLiteral("пора отметить")));

        for (int i = 0; i < 60; ++i) counts.CountSeen(115, kmKatakana);  // 64 of 70 without a look-up
        chart->ShowStudy(counts, Groups({1}));
        QVERIFY(!chart->MarkedToPractise(115, kmKatakana));
        QVERIFY(chart->StudySummary().contains(QStringLiteral("пора отметить «Ка, Ки, Ку, Кэ, Ко»")));
    }
};

int RunStudyWindowTest(int argc, char** argv) {
    StudyWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "StudyWindowTest.moc"
