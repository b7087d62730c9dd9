// What the panes tell screen readers and magnifiers: inside a huge paragraph each character's
// place is where the pane draws it, scrolled or not, and the point there finds it again;
// elsewhere the answers are those Qt gives for a QTextEdit of its own.
#include <QAbstractTextDocumentLayout>
#include <QAccessible>
#include <QAccessibleTextInterface>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include <memory>
#include <typeinfo>

#include "PaneDocument.h"
#include "PaneLayout.h"
#include "UiTests.h"

using moratutor::ui::PaneLayout;

class PaneAccessibilityTest : public QObject {
    Q_OBJECT

    QWidget window;
    QTextEdit* pane = nullptr;

    QAccessibleTextInterface* TextOf(QTextEdit* edit) {
        QAccessibleInterface* found = QAccessible::queryAccessibleInterface(edit);
        return found ? found->textInterface() : nullptr;
    }
    PaneLayout* Layout() { return dynamic_cast<PaneLayout*>(pane->document()->documentLayout()); }
    // The caret's rectangle of the pane's layout, on the screen.
    QRectF OnScreen(const QRectF& caret) {
        const QPoint scrolled(pane->horizontalScrollBar()->value(), pane->verticalScrollBar()->value());
        return caret.translated(pane->viewport()->mapToGlobal(QPoint()) - scrolled);
    }

private slots:
    void init() {
        pane = new QTextEdit(&window);
        pane->setGeometry(0, 0, 570, 200);
        moratutor::ui::GuardPane(*pane);
        window.resize(600, 440);
        window.show();
        pane->show();  // made after the window was first shown
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    void cleanup() { qDeleteAll(window.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)); }

    void hugeParagraphsCharactersStandWhereTheyAreDrawn_data() {
        QTest::addColumn<int>("offset");
        QTest::addColumn<bool>("scrolled");
        QTest::addColumn<bool>("wraps");
        for (const int offset : {0, 1, 28, 500'000, 500'001, 1'099'990})
            for (const bool scrolled : {false, true})
                QTest::addRow("%d%s", offset, scrolled ? ", in view" : "") << offset << scrolled << true;
        // One line of a million characters, scrolled across.
        QTest::addRow("500000, one line") << 500'000 << true << false;
        QTest::addRow("1099990, one line") << 1'099'990 << true << false;
    }
    void hugeParagraphsCharactersStandWhereTheyAreDrawn() {
        QFETCH(int, offset);
        QFETCH(bool, scrolled);
        QFETCH(bool, wraps);
        if (!wraps) pane->setLineWrapMode(QTextEdit::NoWrap);
        QString huge;  // 1.1 million characters in one paragraph
        for (int i = 0; huge.size() < 1'100'000; ++i)
            huge += i % 7 ? QStringLiteral("мороз и солнце день чудесный ") : QStringLiteral("ещё ты дремлешь, друг прелестный! ");
        auto document = std::make_unique<QTextDocument>();
        document->setPlainText(huge);
        moratutor::ui::InstallDocument(*pane, std::move(document));
        QTest::qWait(50);  // shown, as the reader finds it
        QAccessibleTextInterface* text = TextOf(pane);
        QVERIFY(text && Layout());
        if (scrolled) {
            const QRectF caret = Layout()->CaretRect(offset);
            pane->verticalScrollBar()->setValue(static_cast<int>(caret.top()) - 37);
            pane->horizontalScrollBar()->setValue(static_cast<int>(caret.left()) - 120);
            QTest::qWait(20);
        }
        const QRectF caret = OnScreen(Layout()->CaretRect(offset));
        const QRect box = text->characterRect(offset);
        QVERIFY2(qAbs(box.left() - caret.left()) <= 1 && qAbs(box.top() - caret.top()) <= 1,
                 qPrintable(QStringLiteral("%1,%2 against %3,%4").arg(box.left()).arg(box.top()).arg(caret.left()).arg(caret.top())));
        QVERIFY(box.width() > 0 && box.height() >= caret.height() - 1);
        QCOMPARE(text->offsetAtPoint(box.center()), offset);
        QCOMPARE(text->offsetAtPoint(box.topLeft() + QPoint(1, 1)), offset);
        // Its line, word and paragraph, found without Qt's lines of the paragraph.
        int start = -1, end = -1;
        const QString line = text->textAtOffset(offset, QAccessible::LineBoundary, &start, &end);
        QCOMPARE(std::make_pair(start, end), Layout()->HugeLineAt(offset));
        QCOMPARE(line, huge.mid(start, end - start));
        const QString word = text->textAtOffset(offset, QAccessible::WordBoundary, &start, &end);
        QVERIFY(start <= offset && offset < end && word == huge.mid(start, end - start));
        QVERIFY(word.trimmed() == word || word.trimmed().isEmpty());  // a word, or the gap between two
        text->textAtOffset(offset, QAccessible::ParagraphBoundary, &start, &end);
        QCOMPARE(std::make_pair(start, end), std::make_pair(0, int(huge.size())));
        QCOMPARE(pane->document()->firstBlock().layout()->lineCount(), 0);
        // Brought into view when asked, far from where the view is.
        const int far = offset < 600'000 ? offset + 300'000 : offset - 300'000;
        text->scrollToSubstring(far, far + 4);
        QVERIFY(QRect(pane->viewport()->mapToGlobal(QPoint()), pane->viewport()->size()).contains(text->characterRect(far).center()));
        QCOMPARE(text->offsetAtPoint(text->characterRect(far).center()), far);
    }

    void ordinaryParagraphsAnswerAsQtDoes() {
        QString prose;
        for (int i = 0; i < 60; ++i)
            prose += QStringLiteral("Мороз и солнце; день чудесный! Ещё ты дремлешь, друг прелестный. ").repeated(1 + i % 4) + u'\n';
        pane->setPlainText(prose);
        QTextEdit twin(&window);  // Qt's own layout and Qt's own answers
        twin.setGeometry(pane->geometry());
        twin.setDocument(pane->document()->clone(&twin));
        twin.show();
        QTest::qWait(20);
        QAccessibleTextInterface *ours = TextOf(pane), *qts = TextOf(&twin);
        QVERIFY(ours && qts && typeid(*ours) != typeid(*qts) && Layout());
        for (const int scroll : {0, 413}) {
            pane->verticalScrollBar()->setValue(scroll);
            twin.verticalScrollBar()->setValue(scroll);
            QTest::qWait(20);
            QCOMPARE(ours->characterCount(), qts->characterCount());
            for (int offset : {0, 1, 66, 67, 200, 1'000, 2'500, ours->characterCount() - 1}) {
                const QString where = QStringLiteral("offset %1, scrolled %2").arg(offset).arg(scroll);
                QVERIFY2(ours->characterRect(offset) == qts->characterRect(offset), qPrintable(where));
                const QPoint point = qts->characterRect(offset).center();
                QVERIFY2(ours->offsetAtPoint(point) == qts->offsetAtPoint(point), qPrintable(where));
                for (const auto type : {QAccessible::CharBoundary, QAccessible::WordBoundary, QAccessible::SentenceBoundary,
                                        QAccessible::LineBoundary, QAccessible::ParagraphBoundary, QAccessible::NoBoundary}) {
                    int s1 = 0, e1 = 0, s2 = 0, e2 = 0;
                    const QString in = QStringLiteral("%1, boundary %2").arg(where).arg(type);
                    QVERIFY2(ours->textAtOffset(offset, type, &s1, &e1) == qts->textAtOffset(offset, type, &s2, &e2) && s1 == s2 && e1 == e2, qPrintable(in));
                    QVERIFY2(ours->textAfterOffset(offset, type, &s1, &e1) == qts->textAfterOffset(offset, type, &s2, &e2) && s1 == s2 && e1 == e2, qPrintable(in));
                    if (offset > 0)  // Qt's answer before the start is whatever its cursor was left at
                        QVERIFY2(ours->textBeforeOffset(offset, type, &s1, &e1) == qts->textBeforeOffset(offset, type, &s2, &e2) && s1 == s2 && e1 == e2, qPrintable(in));
                }
            }
        }
        QCOMPARE(ours->offsetAtPoint(pane->viewport()->mapToGlobal(QPoint(560, 5))), qts->offsetAtPoint(twin.viewport()->mapToGlobal(QPoint(560, 5))));
    }

    void descriptionIsThePanes() {
        // The answer key at the caret reaches screen readers through the pane's description.
        pane->setAccessibleDescription(QStringLiteral("«КО» — группа «Ка, Ки, Ку, Кэ, Ко»"));
        QAccessibleInterface* found = QAccessible::queryAccessibleInterface(pane);
        QCOMPARE(found->text(QAccessible::Description), pane->accessibleDescription());
        QCOMPARE(found->role(), QAccessible::EditableText);
        QVERIFY(found->state().editable && found->state().multiLine && found->editableTextInterface());
    }
};

int RunPaneAccessibilityTest(int argc, char** argv) {
    PaneAccessibilityTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PaneAccessibilityTest.moc"
