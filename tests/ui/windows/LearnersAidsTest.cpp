// The answer key in a converted pane and the kana chart, each on its own.
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextDocument>
#include <QScrollBar>
#include <QTextEdit>
#include <QToolTip>
#include <QtTest>

#include "AnswerKeyPane.h"
#include "MarkingColours.h"
#include "UKanaChart.h"
#include "moratutor/ConversionKey.h"
#include "moratutor/SyllableTable.h"

using namespace moratutor::ui;  // the windows under test

namespace {

moratutor::OptionSet Groups(std::initializer_list<int> groups, bool spaces = false) {
    moratutor::OptionSet options;
    for (int g : groups) options.Characters.at(static_cast<std::size_t>(g - 1)) = true;
    options.ReplaceSpaces = spaces;
    return options;
}

// Converts `source` and puts it into `pane` as the window does: a fresh document, then the key.
QString Convert(QTextEdit& pane, AnswerKeyPane& keys, const QString& source, const moratutor::OptionSet& options,
                moratutor::KanaMode mode = moratutor::kmHiragana) {
    std::u16string text(reinterpret_cast<const char16_t*>(source.utf16()), static_cast<std::size_t>(source.size()));
    moratutor::StepEnvironment env;
    env.CurrentKanaMode = mode;
    moratutor::AnswerKey key;
    moratutor::ReplaceWithKanaUnicode(env, options, text, key);
    auto* document = new QTextDocument(&pane);
    document->setPlainText(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
    pane.setDocument(document);
    keys.SetKey(std::move(key), text);
    return document->toPlainText();
}

QPoint CentreOf(QTextEdit& pane, int position) {
    QTextCursor a(pane.document()), b(pane.document());
    a.setPosition(position);
    b.setPosition(position + 1);
    const QRect left = pane.cursorRect(a), right = pane.cursorRect(b);
    return QPoint((left.x() + right.x()) / 2, left.center().y());
}

// Palettes of the desktops a learner may use: light, dark, and ones whose own text would
// not read on the marking.
QPalette MakePalette(QColor window, QColor windowText, QColor base, QColor text) {
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, windowText);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::PlaceholderText, text);
    return palette;
}

}  // namespace

class LearnersAidsTest : public QObject {
    Q_OBJECT

    QTextEdit pane;
    AnswerKeyPane* keys = nullptr;

private slots:
    void paneKeepsTheEnginesKey_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("hiragana") << int(moratutor::kmHiragana);
        QTest::newRow("katakana") << int(moratutor::kmKatakana);
        QTest::newRow("random") << int(moratutor::kmRandomKana);
    }
    void paneKeepsTheEnginesKey() {
        // The pane keeps the key in a smaller form: what it gives back is the engine's, entry
        // for entry (cases of the source, scripts, the particle, widened spaces).
        QFETCH(int, mode);
        const QString source = QStringLiteral("Ка КА кА ка, Сёко и СЁКО о Мицу: ни на мэ\r\nЁж ёж");
        std::u16string text(reinterpret_cast<const char16_t*>(source.utf16()), static_cast<std::size_t>(source.size()));
        moratutor::StepEnvironment env;
        env.CurrentKanaMode = static_cast<moratutor::KanaMode>(mode);
        moratutor::AnswerKey expected;
        moratutor::ReplaceWithKanaUnicode(env, Groups({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, true), text, expected);
        QVERIFY(expected.size() > 20);
        const AnswerKeyPane::CompactKey compact = AnswerKeyPane::Compact(expected);
        QTextEdit other;
        AnswerKeyPane keys(&other);
        keys.SetKey(compact, u"");  // no CR LF before any entry: offsets as they are
        const moratutor::AnswerKey kept = keys.Key();
        QCOMPARE(kept.size(), expected.size());
        for (std::size_t i = 0; i < kept.size(); ++i) {
            QCOMPARE(kept[i].Offset, expected[i].Offset);
            QCOMPARE(kept[i].Length, expected[i].Length);
            QCOMPARE(kept[i].Row, expected[i].Row);
            QCOMPARE(kept[i].Script, expected[i].Script);
            QVERIFY(kept[i].Source() == expected[i].Source());
        }
    }

    void initTestCase() {
        QFont font = pane.font();
        font.setPointSize(10);
        pane.setFont(font);
        pane.resize(500, 200);
        keys = new AnswerKeyPane(&pane);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
    }

    void toolTipShowsSourceAndGroup() {
        const QString text = Convert(pane, *keys, QStringLiteral("Кот и КОшка"), Groups({2, 4}, true));
        QCOMPARE(text, QStringLiteral("こт　и　こшか"));

        // Not a kana: the Cyrillic that stayed.
        QHelpEvent plain(QEvent::ToolTip, CentreOf(pane, 1), pane.viewport()->mapToGlobal(CentreOf(pane, 1)));
        QCoreApplication::sendEvent(pane.viewport(), &plain);
        QTRY_VERIFY(!QToolTip::isVisible());
        QCOMPARE(keys->ToolTipAt(1), QString());
        QCOMPARE(keys->ToolTipAt(0), QStringLiteral("«Ко» — группа «Ка, Ки, Ку, Кэ, Ко»"));

        const int ko = static_cast<int>(text.lastIndexOf(QChar(u'こ')));
        QCOMPARE(keys->CharacterAt(CentreOf(pane, ko)), ko);
        QHelpEvent onKana(QEvent::ToolTip, CentreOf(pane, ko), pane.viewport()->mapToGlobal(CentreOf(pane, ko)));
        QCoreApplication::sendEvent(pane.viewport(), &onKana);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("«КО» — группа «Ка, Ки, Ку, Кэ, Ко»"));
        QToolTip::hideText();

        QCOMPARE(keys->ToolTipAt(2), QStringLiteral("Широкий пробел заменил обычный пробел («Замена пробелов»)"));
    }

    void keyFollowsEdits() {
        Convert(pane, *keys, QStringLiteral("кя ка ко"), Groups({2, 11}));
        QCOMPARE(pane.toPlainText(), QStringLiteral("きゃ か こ"));
        QTextCursor cursor(pane.document());

        cursor.insertText(QStringLiteral("ab"));  // typed text has no key, the rest moves
        QCOMPARE(keys->ToolTipAt(0), QString());
        QCOMPARE(keys->ToolTipAt(2), QStringLiteral("«кя» — группа «Ёон (…я, …ю, …ё)»"));
        QCOMPARE(keys->ToolTipAt(5), QStringLiteral("«ка» — группа «Ка, Ки, Ку, Кэ, Ко»"));

        cursor.setPosition(3);  // between き and ゃ: that kana is split and loses its key
        cursor.insertText(QStringLiteral("x"));
        QCOMPARE(keys->ToolTipAt(2), QString());
        QCOMPARE(keys->ToolTipAt(6), QStringLiteral("«ка» — группа «Ка, Ки, Ку, Кэ, Ко»"));

        cursor.setPosition(6);  // か deleted; こ stays keyed at its new place
        cursor.deleteChar();
        QCOMPARE(pane.toPlainText(), QStringLiteral("abきxゃ  こ"));
        QCOMPARE(keys->ToolTipAt(6), QString());
        QCOMPARE(keys->ToolTipAt(7), QStringLiteral("«ко» — группа «Ка, Ки, Ку, Кэ, Ко»"));

        cursor.setPosition(7);  // a kana typed over by the same length is the user's now
        cursor.setPosition(8, QTextCursor::KeepAnchor);
        cursor.insertText(QStringLiteral("ko").left(1));
        QCOMPARE(keys->ToolTipAt(7), QString());
        QVERIFY(keys->Key().empty());
    }

    // Positions whose character has a key, as a string of '+' and '-'.
    QString Keyed() const {
        QString marks;
        for (int i = 0; i < pane.document()->characterCount() - 1; ++i) marks += keys->ToolTipAt(i).isEmpty() ? u'-' : u'+';
        return marks;
    }

    // Edits by key at a selection from `anchor` to `position`: `typed`, then Backspace and
    // Delete as often as given.
    void Edit(int anchor, int position, const QString& typed, int backspaces, int deletes) {
        QTextCursor cursor(pane.document());
        cursor.setPosition(anchor);
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        pane.setTextCursor(cursor);
        if (!typed.isEmpty()) QTest::keyClicks(&pane, typed);
        for (int i = 0; i < backspaces; ++i) QTest::keyClick(&pane, Qt::Key_Backspace);
        for (int i = 0; i < deletes; ++i) QTest::keyClick(&pane, Qt::Key_Delete);
    }

    // Undo brings the kana back with their key, redo takes it again, as often as asked.
    void undoAndRedoBringTheKeyWithTheText_data() {
        QTest::addColumn<int>("anchor");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("backspaces");
        QTest::addColumn<int>("deletes");
        // "か こ く": kana at 0, 2 and 4.
        QTest::newRow("one kana deleted") << 2 << 2 << QString() << 0 << 1;
        QTest::newRow("all of it by Backspace") << 5 << 5 << QString() << 5 << 0;
        QTest::newRow("typed over a selection") << 1 << 4 << QStringLiteral("ab") << 0 << 0;
        QTest::newRow("typed into a kana") << 3 << 3 << QStringLiteral("xy") << 3 << 0;
        QTest::newRow("all selected and deleted") << 0 << 5 << QString() << 0 << 1;
        QTest::newRow("several steps") << 4 << 5 << QStringLiteral("z") << 4 << 1;
    }
    void undoAndRedoBringTheKeyWithTheText() {
        QFETCH(int, anchor);
        QFETCH(int, position);
        QFETCH(QString, typed);
        QFETCH(int, backspaces);
        QFETCH(int, deletes);
        Convert(pane, *keys, QStringLiteral("ка ко ку"), Groups({2}));
        QCOMPARE(Keyed(), QStringLiteral("+-+-+"));
        Edit(anchor, position, typed, backspaces, deletes);
        const QString edited = pane.toPlainText(), editedKeys = Keyed();
        QTextDocument* document = pane.document();
        for (int round = 0; round < 2; ++round) {
            while (document->isUndoAvailable()) document->undo();
            QCOMPARE(pane.toPlainText(), QStringLiteral("か こ く"));
            QCOMPARE(Keyed(), QStringLiteral("+-+-+"));
            QCOMPARE(keys->ToolTipAt(2), QStringLiteral("«ко» — группа «Ка, Ки, Ку, Кэ, Ко»"));
            while (document->isRedoAvailable()) document->redo();
            QCOMPARE(pane.toPlainText(), edited);
            QCOMPARE(Keyed(), editedKeys);
        }
    }

    // A new edit after an undo drops what could have been redone; undo still finds its kana.
    void undoAfterAnEditAfterAnUndo() {
        Convert(pane, *keys, QStringLiteral("ка ко ку"), Groups({2}));
        Edit(0, 0, QString(), 0, 1);  // か deleted
        pane.document()->undo();
        QCOMPARE(Keyed(), QStringLiteral("+-+-+"));
        Edit(4, 4, QString(), 0, 1);  // く deleted
        QVERIFY(!pane.document()->isRedoAvailable());
        QCOMPARE(Keyed(), QStringLiteral("+-+-"));
        pane.document()->undo();
        QCOMPARE(pane.toPlainText(), QStringLiteral("か こ く"));
        QCOMPARE(Keyed(), QStringLiteral("+-+-+"));
    }

    // Typing or deleting beside a kana leaves that kana its key.
    void editsBesideAKanaKeepItsKey_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("keyed");
        QTest::newRow("typed right after") << 3 << QStringLiteral("x") << 0 << QStringLiteral("+-+x-+");
        QTest::newRow("typed right before") << 2 << QStringLiteral("x") << 0 << QStringLiteral("+-x+-+");
        QTest::newRow("Delete right after") << 3 << QString() << int(Qt::Key_Delete) << QStringLiteral("+-++");
        QTest::newRow("Backspace right before") << 2 << QString() << int(Qt::Key_Backspace) << QStringLiteral("++-+");
    }
    void editsBesideAKanaKeepItsKey() {
        QFETCH(int, position);
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QString, keyed);
        Convert(pane, *keys, QStringLiteral("ка ко ку"), Groups({2}));
        Edit(position, position, typed, key == Qt::Key_Backspace ? 1 : 0, key == Qt::Key_Delete ? 1 : 0);
        QCOMPARE(Keyed(), QString(keyed).replace(u'x', u'-'));
    }

    void formattingKeepsTheKey() {
        Convert(pane, *keys, QStringLiteral("ка ко"), Groups({2}));
        QTextCursor cursor(pane.document());
        cursor.select(QTextCursor::Document);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        cursor.mergeCharFormat(bold);
        QCOMPARE(keys->Key().size(), std::size_t{2});
        QCOMPARE(keys->ToolTipAt(2), QStringLiteral("«ко» — группа «Ка, Ки, Ку, Кэ, Ко»"));
    }

    // A CR LF is one paragraph end in the document: the key still meets its kana.
    void crLfInTheTextKeepsTheKeyOnItsKana() {
        Convert(pane, *keys, QStringLiteral("ка\r\nко\r\n\r\nку"), Groups({2}));
        QCOMPARE(pane.toPlainText(), QStringLiteral("か\nこ\n\nく"));
        QCOMPARE(keys->ToolTipAt(2), QStringLiteral("«ко» — группа «Ка, Ки, Ку, Кэ, Ко»"));
        QCOMPARE(keys->ToolTipAt(5), QStringLiteral("«ку» — группа «Ка, Ки, Ку, Кэ, Ко»"));
        QCOMPARE(keys->ToolTipAt(3), QString());
    }

    void newDocumentHasNoKey() {
        Convert(pane, *keys, QStringLiteral("ка"), Groups({2}));
        QVERIFY(!keys->ToolTipAt(0).isEmpty());
        QTextDocument* previous = pane.document();
        pane.setDocument(new QTextDocument(QStringLiteral("か"), &pane));  // e.g. a file loaded
        QCOMPARE(keys->ToolTipAt(0), QString());
        delete previous;  // as the window frees the documents it made
        QVERIFY(keys->Key().empty());
    }

    void highlightStaysOutOfTheDocument() {
        Convert(pane, *keys, QStringLiteral("Кот и кошка"), Groups({1, 2}));
        const QString before = pane.document()->toHtml();
        keys->SetHighlight(true);
        const QList<QTextEdit::ExtraSelection> shown = pane.extraSelections();
        QCOMPARE(pane.toPlainText(), QStringLiteral("こт い こшか"));
        QCOMPARE(shown.size(), 4);
        QCOMPARE(shown[0].cursor.selectedText(), QStringLiteral("こ"));
        QCOMPARE(shown[1].cursor.selectedText(), QStringLiteral("い"));
        QCOMPARE(shown[3].cursor.selectedText(), QStringLiteral("か"));
        QCOMPARE(pane.document()->toHtml(), before);
        keys->SetHighlight(false);
        QVERIFY(pane.extraSelections().isEmpty());
        QCOMPARE(pane.document()->toHtml(), before);
    }

    // A long text gets selections for what is on screen, not for all its kana.
    void highlightOfALongTextCoversTheVisiblePart() {
        QString source;
        for (int i = 0; i < 20000; ++i) source += QStringLiteral("кока кола\n");
        Convert(pane, *keys, source, Groups({1, 2}));
        QCOMPARE(keys->Key().size(), std::size_t{20000 * 4});
        // While the long text is still being laid out, the first kana is found where it is.
        QCOMPARE(keys->CharacterAt(CentreOf(pane, 1)), 1);
        QCOMPARE(keys->ToolTipAt(keys->CharacterAt(CentreOf(pane, 1))), QStringLiteral("«ка» — группа «Ка, Ки, Ку, Кэ, Ко»"));
        keys->SetHighlight(true);
        const int first = pane.extraSelections().size();
        QVERIFY(first > 0 && first < 200);
        // Laid out to the end, as the pane does in the background, then scrolled there.
        pane.document()->documentLayout()->blockBoundingRect(pane.document()->lastBlock());
        QCoreApplication::processEvents();
        pane.verticalScrollBar()->setValue(pane.verticalScrollBar()->maximum());
        QVERIFY(pane.extraSelections().size() > 0 && pane.extraSelections().size() < 200);
        QVERIFY(pane.extraSelections().last().cursor.position() > pane.document()->characterCount() - 20);
        keys->SetHighlight(false);
    }

    // Highlighting a fresh long text must not lay out all of it at once: the pane does that
    // in steps, so the program stays responsive.
    void highlightLeavesTheLayoutToThePane() {
        QString source;
        for (int i = 0; i < 20000; ++i) source += QStringLiteral("кока кола\n");
        keys->SetHighlight(true);
        Convert(pane, *keys, source, Groups({1, 2}));
        QVERIFY(!pane.extraSelections().isEmpty());
        const QTextBlock middle = pane.document()->findBlockByNumber(pane.document()->blockCount() / 2 + 1);
        QCOMPARE(middle.layout()->lineCount(), 0);
        keys->SetHighlight(false);
    }

    void contrastRatiosAreWcags_data() {
        QTest::addColumn<QColor>("a");
        QTest::addColumn<QColor>("b");
        QTest::addColumn<double>("ratio");
        QTest::newRow("black on white") << QColor(Qt::black) << QColor(Qt::white) << 21.0;
        QTest::newRow("same") << QColor(0x80, 0x40, 0x20) << QColor(0x80, 0x40, 0x20) << 1.0;
        QTest::newRow("grey 777 on white") << QColor(0x77, 0x77, 0x77) << QColor(Qt::white) << 4.478;
        QTest::newRow("either way round") << QColor(Qt::white) << QColor(0x76, 0x76, 0x76) << 4.542;
    }
    void contrastRatiosAreWcags() {
        QFETCH(QColor, a);
        QFETCH(QColor, b);
        QFETCH(double, ratio);
        QVERIFY2(qAbs(moratutor::ui::ContrastRatio(a, b) - ratio) < 0.005, qPrintable(QString::number(moratutor::ui::ContrastRatio(a, b))));
    }

    void markingsReadInLightAndDarkPalettes_data() {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << MakePalette(QColor(0xEF, 0xEF, 0xEF), Qt::black, Qt::white, Qt::black);
        QTest::newRow("dark") << MakePalette(QColor(0x35, 0x35, 0x35), QColor(0xE0, 0xE0, 0xE0), QColor(0x1E, 0x1E, 0x1E),
                                             QColor(0xE0, 0xE0, 0xE0));
        QTest::newRow("dark, white text") << MakePalette(Qt::black, Qt::white, Qt::black, Qt::white);
        QTest::newRow("dark, grey text") << MakePalette(QColor(0x30, 0x30, 0x30), QColor(0x90, 0x90, 0x90),
                                                        QColor(0x20, 0x20, 0x20), QColor(0x90, 0x90, 0x90));
        QTest::newRow("light, grey text") << MakePalette(Qt::white, QColor(0x70, 0x70, 0x70), Qt::white, QColor(0x70, 0x70, 0x70));
        QTest::newRow("high contrast") << MakePalette(Qt::black, Qt::yellow, Qt::black, Qt::yellow);
    }
    void markingsReadInLightAndDarkPalettes() {
        QFETCH(QPalette, palette);
        for (const moratutor::ui::Marking& marking : {moratutor::ui::MarkingOn(palette), moratutor::ui::PlainOn(palette)}) {
            QVERIFY(moratutor::ui::ContrastRatio(marking.text, marking.background) >= 4.5);
            QVERIFY(moratutor::ui::ContrastRatio(marking.muted, marking.background) >= 4.5);
        }
        // The marking stands out from the plain background.
        QVERIFY(moratutor::ui::MarkingOn(palette).background != palette.color(QPalette::Base));

        // The highlighted kana of a pane in that palette.
        pane.setPalette(palette);
        Convert(pane, *keys, QStringLiteral("Кот и кошка"), Groups({1, 2}));
        keys->SetHighlight(true);
        const QList<QTextEdit::ExtraSelection> shown = pane.extraSelections();
        QVERIFY(!shown.isEmpty());
        for (const QTextEdit::ExtraSelection& selection : shown) {
            // The text in the pane's colour unless the selection gives its own.
            const QColor text = selection.format.hasProperty(QTextFormat::ForegroundBrush) ? selection.format.foreground().color()
                                                                                          : palette.color(QPalette::Text);
            QVERIFY(moratutor::ui::ContrastRatio(text, selection.format.background().color()) >= 4.5);
        }
        keys->SetHighlight(false);
        pane.setPalette(QPalette());

        // Every text of the chart's cells, ticked or not, counted or not.
        TFKanaChart chart;
        chart.setPalette(palette);
        chart.SetOptions(Groups({2}));
        Convert(pane, *keys, QStringLiteral("ка"), Groups({2}));
        chart.SetCounts(keys->Key());
        for (const int row : {46, 47, 1}) {
            QWidget* cell = chart.Cell(row);
            const QColor background = cell->palette().color(QPalette::Window);
            for (QLabel* label : cell->findChildren<QLabel*>()) {
                const double ratio = moratutor::ui::ContrastRatio(label->palette().color(label->foregroundRole()), background);
                QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("%1 «%2»: %3").arg(row).arg(label->text()).arg(ratio)));
            }
        }
    }

    void chartFollowsTheTicks() {
        TFKanaChart chart;
        QVERIFY(chart.Cell(121) == nullptr);  // a widened space is no syllable
        for (int row = 1; row <= 120; ++row) QVERIFY2(chart.Cell(row), qPrintable(QString::number(row)));
        chart.SetOptions(Groups({2}));
        for (int row : {46, 47, 48, 49, 50}) QVERIFY(chart.CellHighlighted(row));
        for (int row : {1, 51, 54, 55, 115}) QVERIFY(!chart.CellHighlighted(row));
        chart.SetOptions(Groups({2, 10, 11}));
        for (int row : {1, 6, 46, 51}) QVERIFY(chart.CellHighlighted(row));
        QVERIFY(!chart.CellHighlighted(9));  // needs "Замена «Э» и «Е»"

        // A line in the order of its caption: Ка, Ки, Ку, Кэ, Ко.
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        for (int row = 46; row < 50; ++row) QVERIFY(chart.Cell(row)->x() < chart.Cell(row + 1)->x());
        // Kana at least twice the panes' 10 points.
        for (QLabel* label : chart.Cell(46)->findChildren<QLabel*>())
            if (label->text() == QStringLiteral("か")) QVERIFY(label->font().pointSize() >= 20);
    }

    void chartCountsTheLastRun() {
        TFKanaChart chart;
        QTextEdit other;
        AnswerKeyPane otherKeys(&other);
        Convert(other, otherKeys, QStringLiteral("ка КА кэ ке а"), Groups({1, 2}), moratutor::kmHiragana);
        moratutor::AnswerKey key = otherKeys.Key();
        Convert(other, otherKeys, QStringLiteral("ка"), Groups({2}), moratutor::kmKatakana);
        const moratutor::AnswerKey second = otherKeys.Key();
        key.insert(key.end(), second.begin(), second.end());
        chart.SetCounts(key);
        QCOMPARE(chart.HiraganaCount(46), 2);
        QCOMPARE(chart.KatakanaCount(46), 1);
        QCOMPARE(chart.HiraganaCount(49), 1);
        QCOMPARE(chart.HiraganaCount(54), 0);  // E off: ке stays
        QCOMPARE(chart.HiraganaCount(115), 1);
        // か, け, あ, カ: four different kana in five replacements.
        QVERIFY2(chart.Summary().contains(QStringLiteral("замен — 5, разных знаков каны — 4")), qPrintable(chart.Summary()));
    }

    void chartSummarySaysWidenedSpacesHaveNoCells() {
        // With "Замена пробелов" on, the spaces between kana are widened: replacements that
        // no cell counts.
        TFKanaChart chart;
        Convert(pane, *keys, QStringLiteral("ка ка ко"), Groups({2}, true));
        const moratutor::AnswerKey key = keys->Key();
        chart.SetCounts(key);
        int cells = 0;
        for (int row = 1; row <= 120; ++row) cells += chart.HiraganaCount(row) + chart.KatakanaCount(row);
        QCOMPARE(cells, 3);
        const int spaces = static_cast<int>(key.size()) - cells;
        QVERIFY(spaces > 0);
        QVERIFY2(chart.Summary().contains(QStringLiteral("замен — %1 (из них широких пробелов — %2; в ячейках они не считаются)")
                                              .arg(key.size())
                                              .arg(spaces)),
                 qPrintable(chart.Summary()));
        // Without widened spaces the summary says nothing of them.
        Convert(pane, *keys, QStringLiteral("ка ка"), Groups({2}));
        chart.SetCounts(keys->Key());
        QVERIFY(!chart.Summary().contains(QStringLiteral("пробел")));
    }

    void chartKeepsItsPlaceForTheSession() {
        TFKanaChart chart;
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        chart.move(123, 77);
        const QPoint where = chart.pos();
        chart.close();
        chart.show();
        QCOMPARE(chart.pos(), where);
    }
};

int RunLearnersAidsTest(int argc, char** argv) {
    LearnersAidsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "LearnersAidsTest.moc"
