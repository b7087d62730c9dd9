// The panes' own layout, which makes lines only for what is shown: once a paragraph is
// measured it stands where Qt's layout puts it, edits keep the two in step, the caret and
// the mouse find the same characters, and the view keeps what it shows.
#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
#include <QLabel>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

#include <memory>

#include "PaneDocument.h"
#include "PaneLayout.h"
#include "UiTests.h"
#include "moratutor/rtf/RtfReader.h"

using namespace moratutor::ui;  // the windows under test

using moratutor::ui::PaneLayout;

namespace {

QString Words(QRandomGenerator& random, int count) {
    static const QStringList words{QStringLiteral("мороз"), QStringLiteral("и"), QStringLiteral("солнце;"),
                                   QStringLiteral("день"), QStringLiteral("чудесный!"), QStringLiteral("ещё"),
                                   QStringLiteral("ты"), QStringLiteral("дремлешь,"), QStringLiteral("друг"),
                                   QStringLiteral("прелестный")};
    QStringList picked;
    for (int i = 0; i < count; ++i) picked << words[random.bounded(words.size())];
    return picked.join(u' ');
}

// Paragraphs of very different lengths: estimated heights are wrong for most of them.
QString Prose(int paragraphs) {
    QRandomGenerator random(7);
    QStringList text;
    for (int i = 0; i < paragraphs; ++i) text << Words(random, 1 + random.bounded(i % 5 == 0 ? 120 : 12));
    return text.join(u'\n');
}

}  // namespace

class PaneLayoutTest : public QObject {
    Q_OBJECT

    QWidget window;
    QTextEdit* pane = nullptr;

    // Every paragraph where Qt's own layout puts it in a pane of the same size.
    void CompareWithQtLayout() {
        QTextEdit reference(&window);
        reference.setGeometry(pane->geometry());
        reference.setLineWrapMode(pane->lineWrapMode());
        reference.setDocument(pane->document()->clone(&reference));
        reference.show();
        QAbstractTextDocumentLayout* ours = pane->document()->documentLayout();
        QVERIFY(dynamic_cast<PaneLayout*>(ours));
        QAbstractTextDocumentLayout* qt = reference.document()->documentLayout();
        QCOMPARE(reference.document()->blockCount(), pane->document()->blockCount());
        for (QTextBlock a = pane->document()->begin(), b = reference.document()->begin(); a.isValid(); a = a.next(), b = b.next()) {
            const QRectF mine = ours->blockBoundingRect(a), theirs = qt->blockBoundingRect(b);
            if (qAbs(mine.top() - theirs.top()) > 0.5 || qAbs(mine.height() - theirs.height()) > 0.5)
                QFAIL(qPrintable(QStringLiteral("paragraph %1: %2+%3 against %4+%5")
                                     .arg(a.blockNumber())
                                     .arg(mine.top())
                                     .arg(mine.height())
                                     .arg(theirs.top())
                                     .arg(theirs.height())));
        }
        QVERIFY(qAbs(ours->documentSize().height() - qt->documentSize().height()) <= 0.5);
    }

    // Every line of every paragraph (its text, where it starts and how wide it is) where Qt's
    // own layout puts it in a twin pane, and the same characters under the mouse.
    void CompareLinesWithQtLayout() {
        QTextEdit reference(&window);
        reference.setGeometry(pane->geometry());
        reference.setLineWrapMode(pane->lineWrapMode());
        reference.setDocument(pane->document()->clone(&reference));
        reference.show();
        QAbstractTextDocumentLayout* ours = pane->document()->documentLayout();
        QVERIFY(dynamic_cast<PaneLayout*>(ours));
        QAbstractTextDocumentLayout* qt = reference.document()->documentLayout();
        for (QTextBlock a = pane->document()->begin(), b = reference.document()->begin(); a.isValid(); a = a.next(), b = b.next()) {
            ours->blockBoundingRect(a);
            qt->blockBoundingRect(b);
            const QTextLayout *mine = a.layout(), *theirs = b.layout();
            const QString where = QStringLiteral("paragraph %1").arg(a.blockNumber());
            QVERIFY2(mine->lineCount() == theirs->lineCount(), qPrintable(where));
            for (int i = 0; i < mine->lineCount(); ++i) {
                const QTextLine x = mine->lineAt(i), y = theirs->lineAt(i);
                const QRectF m = x.naturalTextRect().translated(mine->position());
                const QRectF t = y.naturalTextRect().translated(theirs->position());
                const QString line = QStringLiteral("%1, line %2: %3+%4 at %5,%6 w %7 against %8+%9 at %10,%11 w %12")
                                         .arg(where).arg(i).arg(x.textStart()).arg(x.textLength()).arg(m.x()).arg(m.y())
                                         .arg(m.width()).arg(y.textStart()).arg(y.textLength()).arg(t.x()).arg(t.y())
                                         .arg(t.width());
                QVERIFY2(x.textStart() == y.textStart() && x.textLength() == y.textLength(), qPrintable(line));
                QVERIFY2(qAbs(m.x() - t.x()) <= 0.5 && qAbs(m.y() - t.y()) <= 0.5 && qAbs(m.width() - t.width()) <= 0.5,
                         qPrintable(line));
                // Across the line and beyond its ends, exact and near hits alike.
                for (qreal at = t.left() - 15; at < t.right() + 15; at += 6) {
                    const QPointF point(at, t.center().y());
                    for (const auto accuracy : {Qt::ExactHit, Qt::FuzzyHit})
                        QVERIFY2(ours->hitTest(point, accuracy) == qt->hitTest(point, accuracy),
                                 qPrintable(QStringLiteral("%1, x %2").arg(line).arg(at)));
                }
            }
        }
    }

    // Whether the pane draws with its own layout or, for what that does not draw, with Qt's.
    bool OwnLayout() const { return dynamic_cast<PaneLayout*>(pane->document()->documentLayout()) != nullptr; }

private slots:
    void init() {
        pane = new QTextEdit(&window);
        pane->setGeometry(0, 0, 570, 200);
        moratutor::ui::GuardPane(*pane);
        window.resize(600, 220);
        window.show();
        pane->show();  // made after the window was first shown
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    void cleanup() { qDeleteAll(window.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)); }

    void measuredParagraphsStandWhereQtPutsThem_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<bool>("wrap");
        QTest::newRow("short lines") << Prose(400).toHtmlEscaped().replace(u'\n', QStringLiteral("<br>")) << true;
        QTest::newRow("long paragraphs") << QStringLiteral("<p>%1</p>").arg(Prose(300).replace(u'\n', QStringLiteral("</p><p>")))
                                         << true;
        QTest::newRow("no wrap") << QStringLiteral("<p>%1</p>").arg(Prose(100).replace(u'\n', QStringLiteral("</p><p>")))
                                 << false;
        QTest::newRow("formats") << QStringLiteral(
                                        "<h1>Глава</h1><p style='margin-top:20px;margin-bottom:5px'>раз <b>два</b></p>"
                                        "<p align=center style='font-size:24pt'>три</p><p style='text-indent:30px'>%1</p>"
                                        "<blockquote>%1</blockquote><p style='margin-left:40px'>%1</p><p></p>")
                                        .arg(Prose(3))
                                 << true;
    }
    void measuredParagraphsStandWhereQtPutsThem() {
        QFETCH(QString, html);
        QFETCH(bool, wrap);
        pane->setLineWrapMode(wrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
        pane->setHtml(html);
        CompareWithQtLayout();
    }

    void everyLineIsWhereQtPutsIt_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<bool>("wrap");
        const QString prose = Prose(4).replace(u'\n', u' ');
        const QString aligned = QStringLiteral("<p align=center>%1</p><p align=right>%1</p><p align=center>середина</p>"
                                               "<p align=right>край</p><p align=justify>%1</p>")
                                    .arg(prose);
        const QString rtl = QStringLiteral("<p dir=rtl>שלום עולם, זה טקסט ארוך מעט יותר כדי שיישבר לכמה שורות בחלון הצר "
                                           "הזה, עם מילים רבות מאוד ועוד קצת</p><p>мир и שלום вместе</p>"
                                           "<p dir=rtl align=left>مرحبا بالعالم</p><p dir=rtl style='text-indent:30px'>"
                                           "שלום עולם, זה טקסט ארוך מעט יותר כדי שיישבר לכמה שורות בחלון</p>");
        const QString indented = QStringLiteral("<p style='text-indent:40px'>%1</p><p style='text-indent:-20px;"
                                                "margin-left:30px'>%1</p><p style='margin-right:60px' align=right>%1</p>")
                                     .arg(prose);
        QTest::newRow("centred and right") << aligned << true;
        QTest::newRow("right to left") << rtl << true;
        QTest::newRow("first line indent") << indented << true;
        QTest::newRow("no wrap, aligned") << aligned << false;
        QTest::newRow("no wrap, right to left") << rtl << false;
        QTest::newRow("no wrap, indent") << indented << false;
        QTest::newRow("prose") << QStringLiteral("<p>%1</p>").arg(Prose(60).replace(u'\n', QStringLiteral("</p><p>"))) << true;
    }
    void everyLineIsWhereQtPutsIt() {
        QFETCH(QString, html);
        QFETCH(bool, wrap);
        pane->setLineWrapMode(wrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
        pane->setHtml(html);
        QTest::qWait(10);
        CompareLinesWithQtLayout();
    }

    void rtfSamplesAreDrawnAsQtDraws_data() {
        QTest::addColumn<QString>("path");
        const QDir samples(QStringLiteral(MORATUTOR_RTF_INTEROP));
        for (const QString& name : samples.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name))
            QTest::newRow(qPrintable(name)) << samples.filePath(name);
    }
    void rtfSamplesAreDrawnAsQtDraws() {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        auto document = std::make_unique<QTextDocument>();
        moratutor::rtf::ReadRtf(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), *document);
        const bool flat = PaneLayout::Suits(*document);
        moratutor::ui::InstallDocument(*pane, std::move(document));
        QTest::qWait(10);
        // Tables and lists are Qt's to draw; everything else the pane's own layout draws as Qt would.
        QCOMPARE(OwnLayout(), flat);
        if (flat) CompareLinesWithQtLayout();
    }

    void pastedRichTextGoesToQtLayout_data() {
        QTest::addColumn<QString>("html");
        QTest::newRow("table") << QStringLiteral("<table border=1><tr><td>а</td><td>б</td></tr></table>");
        QTest::newRow("list") << QStringLiteral("<ul><li>один</li><li>два</li></ul>");
        QTest::newRow("numbered list") << QStringLiteral("<ol><li>один</li></ol>");
        QTest::newRow("image among text") << QStringLiteral("до <img src=':/nothing.png' width=20 height=20> после");
        QTest::newRow("lone image") << QStringLiteral("<img src=':/nothing.png' width=20 height=20>");
        QTest::newRow("rule") << QStringLiteral("<hr>");
        QTest::newRow("rule among text") << QStringLiteral("<p>до</p><hr><p>после</p>");
    }
    void pastedRichTextGoesToQtLayout() {
        QFETCH(QString, html);
        pane->setPlainText(Prose(20));
        pane->moveCursor(QTextCursor::End);
        QVERIFY(OwnLayout());
        pane->insertHtml(html);
        QTRY_VERIFY(!OwnLayout());
    }

    void plainPasteKeepsTheOwnLayout() {
        pane->setPlainText(Prose(20));
        pane->moveCursor(QTextCursor::End);
        pane->insertHtml(QStringLiteral("<p align=center><b>жирный</b> и <i>курсив</i></p>"));
        QTest::keyClicks(pane, QStringLiteral("z"));
        QTest::qWait(20);
        QVERIFY(OwnLayout());
    }

    void editsKeepTheLayoutInStep() {
        pane->setPlainText(Prose(400));
        QTest::qWait(20);
        QTextCursor cursor(pane->document());
        const auto at = [&](int block, int offset = 0) {
            cursor.setPosition(pane->document()->findBlockByNumber(block).position() + offset);
        };
        at(5, 3);
        cursor.insertText(Prose(40));  // new paragraphs in the middle of one
        at(100);
        cursor.insertBlock();
        at(200);
        cursor.setPosition(pane->document()->findBlockByNumber(230).position() + 2, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        // Asked for lines in the middle of an edit, before the document reports it.
        cursor.beginEditBlock();
        cursor.insertText(QStringLiteral("а\nб\nв"));
        cursor.movePosition(QTextCursor::Down);
        cursor.insertText(QStringLiteral("г"));
        cursor.endEditBlock();
        pane->document()->undo();
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QStringLiteral("\n") + Prose(30));
        CompareWithQtLayout();
    }

    void caretAndMouseFindTheSameCharacter() {
        pane->setPlainText(Prose(300));
        const int length = pane->document()->characterCount() - 1;
        for (int position = 0; position < length; position += 331) {
            QTextCursor cursor(pane->document());
            cursor.setPosition(position);
            const QRect caret = pane->cursorRect(cursor);
            QCOMPARE(pane->cursorForPosition(QPoint(caret.left(), caret.center().y())).position(), position);
        }
    }

    void caretStaysInViewAcrossTheText() {
        pane->setPlainText(Prose(2000));
        for (const auto move : {QTextCursor::End, QTextCursor::Start, QTextCursor::End}) {
            pane->moveCursor(move);
            QTest::qWait(30);
            QVERIFY(pane->viewport()->rect().contains(pane->cursorRect()));
        }
        for (int i = 0; i < 5; ++i) QTest::keyClick(pane, Qt::Key_PageUp);
        QTest::qWait(30);
        QVERIFY(pane->viewport()->rect().contains(pane->cursorRect()));
    }

    void viewKeepsWhatItShows() {
        // Far into a text none of which is measured: the paragraphs above the view turn out
        // taller or shorter than estimated, and the view moves with them.
        pane->setPlainText(Prose(3000));
        QScrollBar* bar = pane->verticalScrollBar();
        const int asked = bar->maximum() / 2;
        bar->setValue(asked);
        const int shown = pane->cursorForPosition(QPoint(5, 5)).position();
        QTest::qWait(50);
        QCOMPARE(pane->cursorForPosition(QPoint(5, 5)).position(), shown);
        QVERIFY(bar->value() != asked);  // it did move
    }

    // A paragraph of 1.1 million characters, shown in pieces once the pane has painted.
    PaneLayout* InstallHugeParagraph() {
        QString huge;
        huge.reserve(1'200'000);
        for (int i = 0; huge.size() < 1'100'000; ++i)
            huge += i % 7 ? QStringLiteral("мороз и солнце день чудесный ") : QStringLiteral("ещё ты дремлешь, друг прелестный! ");
        auto document = std::make_unique<QTextDocument>();
        document->setPlainText(huge);
        moratutor::ui::InstallDocument(*pane, std::move(document));
        const auto layouts = pane->document()->findChildren<QAbstractTextDocumentLayout*>(QString(), Qt::FindDirectChildrenOnly);
        if (layouts.size() != 1) return nullptr;  // Qt's was made on the way in
        return dynamic_cast<PaneLayout*>(layouts.first());
    }

    // The paragraph's lines are those of Qt's layout of the whole paragraph at the same width.
    void CompareWithWholeLayout(PaneLayout& layout) {
        const QString text = pane->document()->firstBlock().text();
        QTextLayout whole(text, pane->document()->defaultFont());
        whole.setTextOption(pane->document()->defaultTextOption());
        const qreal width = pane->document()->pageSize().width() - 2 * pane->document()->documentMargin();
        whole.beginLayout();
        for (QTextLine line = whole.createLine(); line.isValid(); line = whole.createLine()) {
            line.setLeadingIncluded(true);
            line.setLineWidth(width);
        }
        whole.endLayout();
        for (int k = 0; k < whole.lineCount(); k += 997) {
            const QTextLine line = whole.lineAt(k);
            QCOMPARE(layout.HugeLineAt(line.textStart() + 1).first, line.textStart());
        }
        const QTextLine last = whole.lineAt(whole.lineCount() - 1);
        QCOMPARE(layout.HugeLineAt(last.textStart() + 1).first, last.textStart());
        QCOMPARE(pane->document()->firstBlock().layout()->lineCount(), 0);  // never Qt's lines
    }

    void hugeParagraphIsShownInPieces() {
        // Laid out after the paint, in pieces, never whole by Qt, its progress under the groups.
        auto* label = new QLabel(QStringLiteral("как было"), &window);
        auto* bar = new QProgressBar(&window);
        bar->setRange(0, 7);
        moratutor::ui::SetWaitDisplay(*pane, {&window, label, bar});
        bool progressed = false;
        connect(bar, &QProgressBar::valueChanged, this, [&progressed] { progressed = true; });
        PaneLayout* layout = InstallHugeParagraph();
        QVERIFY(layout);
        QTRY_VERIFY(progressed);  // laid out after the first paint, the bar filling meanwhile
        CompareWithWholeLayout(*layout);
        QCOMPARE(label->text(), QStringLiteral("как было"));
        QCOMPARE(bar->maximum(), 7);
        const int length = pane->document()->characterCount() - 1;
        for (int position = 0; position < length; position += 99'991) {
            const QRectF caret = layout->CaretRect(position);
            QCOMPARE(layout->hitTest(QPointF(caret.left(), caret.center().y()), Qt::FuzzyHit), position);
        }
    }

    void hugeParagraphTakesTheKeys() {
        PaneLayout* layout = InstallHugeParagraph();
        QVERIFY(layout);
        layout->CaretRect(0);  // laid out now
        const int length = pane->document()->characterCount() - 1;
        QTextCursor cursor(pane->document());
        cursor.setPosition(500'000);
        pane->setTextCursor(cursor);
        const QRectF before = layout->CaretRect(500'000);
        QTest::keyClick(pane, Qt::Key_Down);
        QCOMPARE(layout->CaretRect(pane->textCursor().position()).top(), before.bottom());
        QTest::keyClick(pane, Qt::Key_Up);
        QCOMPARE(pane->textCursor().position(), 500'000);
        QTest::keyClick(pane, Qt::Key_End);
        QCOMPARE(pane->textCursor().position(), layout->HugeLineAt(500'000).second);
        QTest::keyClick(pane, Qt::Key_Home);
        QCOMPARE(pane->textCursor().position(), layout->HugeLineAt(500'000).first);
        QTest::keyClick(pane, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(pane->textCursor().selectedText().size(), 1);
        QTest::keyClick(pane, Qt::Key_Delete);
        QCOMPARE(pane->document()->characterCount() - 1, length - 1);
        QTest::keyClicks(pane, QStringLiteral("z"));
        QTest::keyClick(pane, Qt::Key_Backspace);
        QCOMPARE(pane->document()->characterCount() - 1, length - 1);
        // By words: Ctrl+Right ends at a word's end, Ctrl+Backspace takes the word before.
        QTest::keyClick(pane, Qt::Key_Right, Qt::ControlModifier);
        const int wordEnd = pane->textCursor().position();
        QVERIFY(!pane->document()->characterAt(wordEnd).isLetter() && pane->document()->characterAt(wordEnd - 1).isLetter());
        QTest::keyClick(pane, Qt::Key_Backspace, Qt::ControlModifier);
        QVERIFY(!pane->document()->characterAt(pane->textCursor().position() - 1).isLetter());
        QVERIFY(pane->viewport()->rect().contains(pane->cursorRect()));
        // A double click selects the word under the mouse.
        int letter = pane->textCursor().position();
        while (!pane->document()->characterAt(letter).isLetter()) ++letter;
        const QRectF caret = layout->CaretRect(letter);
        const QPoint at = QPoint(int(caret.left()) + 2, int(caret.center().y())) -
                          QPoint(pane->horizontalScrollBar()->value(), pane->verticalScrollBar()->value());
        QTest::mouseDClick(pane->viewport(), Qt::LeftButton, {}, at);
        QVERIFY(pane->textCursor().hasSelection());
        QVERIFY(!pane->textCursor().selectedText().contains(u' '));
        pane->moveCursor(QTextCursor::End);
        QTest::keyClicks(pane, QStringLiteral("z"));
        QVERIFY(pane->toPlainText().endsWith(QStringLiteral("z")));
        QTRY_VERIFY(pane->viewport()->rect().contains(pane->cursorRect()));
        QCOMPARE(pane->document()->firstBlock().layout()->lineCount(), 0);
    }

    // Up and Down keep their column through a run of line moves, but not into a new document.
    void lineMovesStartAfreshInANewDocument() {
        PaneLayout* layout = InstallHugeParagraph();
        QVERIFY(layout);
        const int far = layout->HugeLineAt(500'000).first + 40;
        QVERIFY(layout->CaretRect(far).left() > layout->CaretRect(0).left() + 100);
        QTextCursor cursor(pane->document());
        cursor.setPosition(far);
        pane->setTextCursor(cursor);
        QTest::keyClick(pane, Qt::Key_Down);
        layout = InstallHugeParagraph();
        QVERIFY(layout);
        QTest::keyClick(pane, Qt::Key_Down);
        const int second = pane->textCursor().position();  // the second line's start
        QVERIFY(second > 0);
        QCOMPARE(layout->HugeLineAt(second).first, second);
    }

    void hugeParagraphKeepsItsLinesThroughEdits() {
        // An edit lays out again only the pieces about it; the lines stay Qt's.
        PaneLayout* layout = InstallHugeParagraph();
        QVERIFY(layout);
        layout->CaretRect(0);  // laid out now
        QTextCursor cursor(pane->document());
        for (const int at : {10, 32'760, 32'770, 600'000, 1'000'000}) {
            cursor.setPosition(at);
            cursor.insertText(QStringLiteral("вставка посреди текста "));
        }
        cursor.setPosition(32'700);
        cursor.setPosition(70'000, QTextCursor::KeepAnchor);  // across pieces
        cursor.removeSelectedText();
        CompareWithWholeLayout(*layout);
    }

    void hugeParagraphWithoutWrappingIsOneLine() {
        pane->setLineWrapMode(QTextEdit::NoWrap);
        PaneLayout* layout = InstallHugeParagraph();
        QVERIFY(layout);
        const int length = pane->document()->characterCount() - 1;
        const QRectF first = layout->CaretRect(0);
        QCOMPARE(layout->HugeLineAt(500'000), std::make_pair(0, length));
        for (const int position : {40'000, 500'000, length}) {
            const QRectF caret = layout->CaretRect(position);
            QCOMPARE(caret.top(), first.top());
            QVERIFY(caret.left() > layout->CaretRect(position - 1).left());
            QCOMPARE(layout->hitTest(QPointF(caret.left(), caret.center().y()), Qt::FuzzyHit), position);
        }
        QVERIFY(pane->document()->documentLayout()->documentSize().height() < 3 * first.height() + 10);
        // An edit in the middle moves the rest of the line along.
        const qreal end = layout->CaretRect(length).left();
        QTextCursor cursor(pane->document());
        cursor.setPosition(300'000);
        cursor.insertText(QStringLiteral("вставка "));
        QVERIFY(layout->CaretRect(length + 8).left() > end);
        QCOMPARE(layout->CaretRect(length + 8).top(), first.top());
        QCOMPARE(layout->HugeLineAt(10).second, length + 8);
        // The caret stays in view sideways.
        pane->moveCursor(QTextCursor::Start);
        cursor.setPosition(700'000);
        pane->setTextCursor(cursor);
        QTest::keyClick(pane, Qt::Key_Right);
        QTRY_VERIFY(pane->viewport()->rect().contains(pane->cursorRect().topLeft()));
    }

    void hugeParagraphStepsByWholeCharactersOnScreen() {
        // A surrogate pair and a letter with its combining mark are one step each; in
        // right-to-left text Left goes forward in the text.
        QString huge;
        huge.reserve(1'100'000);
        while (huge.size() < 1'050'000) huge += QStringLiteral("й\u0306 \U0001F600 мороз ");
        auto document = std::make_unique<QTextDocument>();
        document->setPlainText(huge);
        moratutor::ui::InstallDocument(*pane, std::move(document));
        auto* layout = dynamic_cast<PaneLayout*>(pane->document()->documentLayout());
        QVERIFY(layout);
        layout->CaretRect(0);
        QTextCursor cursor(pane->document());
        const int start = 700'000 - 700'000 % 12;  // at a "й"
        cursor.setPosition(start);
        pane->setTextCursor(cursor);
        for (const int expected : {2, 3, 5, 6}) {
            QTest::keyClick(pane, Qt::Key_Right);
            QCOMPARE(pane->textCursor().position() - start, expected);
        }
        QTest::keyClick(pane, Qt::Key_Left);
        QTest::keyClick(pane, Qt::Key_Left);
        QCOMPARE(pane->textCursor().position() - start, 3);
        // The input method is told where the caret is, a line high.
        QInputMethodQueryEvent query(Qt::ImCursorRectangle);
        QCoreApplication::sendEvent(pane, &query);
        const QRect asked = query.value(Qt::ImCursorRectangle).toRect();
        const QRectF caret = layout->CaretRect(pane->textCursor().position());
        QCOMPARE(asked.height(), qRound(caret.height()));
        QCOMPARE(asked.left() + pane->horizontalScrollBar()->value() - pane->viewport()->x(), qRound(caret.left()));
        // Text being composed is drawn there, and goes when it is given up.
        pane->setCursorWidth(0);  // the caret blinks: not in the pictures compared
        const int scrolled = pane->verticalScrollBar()->value();
        const QImage before = pane->viewport()->grab().toImage();
        QInputMethodEvent compose(QStringLiteral("かな"), {});
        QCoreApplication::sendEvent(pane, &compose);
        QTest::qWait(20);
        QCOMPARE(pane->document()->characterCount() - 1, huge.size());
        QVERIFY(pane->viewport()->grab().toImage() != before);
        QInputMethodEvent giveUp(QString(), {});
        QCoreApplication::sendEvent(pane, &giveUp);
        QTest::qWait(20);
        pane->verticalScrollBar()->setValue(scrolled);  // the input method's events may scroll
        QCOMPARE(pane->viewport()->grab().toImage(), before);
        QCoreApplication::sendEvent(pane, &compose);
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("か"));
        QCoreApplication::sendEvent(pane, &commit);
        QCOMPARE(pane->document()->characterCount() - 1, huge.size() + 1);
    }

    void screenReadersFindEachParagraphsPlace() {
        // A character's place is read from its paragraph's layout position.
        pane->setPlainText(Prose(50));
        QTest::qWait(20);
        QAbstractTextDocumentLayout* layout = pane->document()->documentLayout();
        for (QTextBlock block = pane->document()->begin(); block.isValid(); block = block.next()) {
            const QRectF box = layout->blockBoundingRect(block);
            if (box.top() > 400) break;
            QCOMPARE(block.layout()->position(), box.topLeft());
        }
    }

    void richPasteGoesToQtLayout() {
        pane->setPlainText(QStringLiteral("до"));
        pane->moveCursor(QTextCursor::End);
        pane->insertHtml(QStringLiteral("<table><tr><td>а</td><td>б</td></tr></table><ul><li>в</li></ul>"));
        QTest::qWait(20);
        QVERIFY(!dynamic_cast<PaneLayout*>(pane->document()->documentLayout()));
        QCOMPARE(pane->document()->rootFrame()->childFrames().size(), 1);
        // A new document is flat again.
        moratutor::ui::InstallDocument(*pane, std::make_unique<QTextDocument>());
        QVERIFY(dynamic_cast<PaneLayout*>(pane->document()->documentLayout()));
    }
};

int RunPaneLayoutTest(int argc, char** argv) {
    PaneLayoutTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PaneLayoutTest.moc"
