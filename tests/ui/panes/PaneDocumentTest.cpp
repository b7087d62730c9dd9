// Documents built aside and put into a pane: the same text and formatting, a fresh undo
// history, the window held still while they are built, and no hang for a very tall text.
#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <QCursor>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "PaneDocument.h"
#include "UiTests.h"

using namespace moratutor::ui;  // the windows under test

using moratutor::ui::BuildDocumentAside;
using moratutor::ui::InstallDocument;

class PaneDocumentTest : public QObject {
    Q_OBJECT

    QWidget window;
    QTextEdit* pane = nullptr;
    QLabel* label = nullptr;
    QProgressBar* bar = nullptr;

    moratutor::ui::WaitDisplay Wait() { return {&window, label, bar}; }

private slots:
    void init() {
        pane = new QTextEdit(&window);
        pane->setGeometry(0, 0, 570, 200);
        moratutor::ui::GuardPane(*pane);
        label = new QLabel(QStringLiteral("как было"), &window);
        bar = new QProgressBar(&window);
        bar->setRange(0, 7);
        bar->setValue(7);
        window.resize(600, 260);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    void cleanup() { qDeleteAll(window.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)); }

    // The pane's extra selections point into the document they were made for: kept over a
    // new document, they would be read after that one is freed.
    void installingDropsTheOldDocumentsExtraSelections() {
        for (int round = 0; round < 2; ++round) {
            InstallDocument(*pane, BuildDocumentAside(*pane, Wait(), [](QTextDocument& d) { d.setPlainText(QStringLiteral("ко ка")); }));
            QTextEdit::ExtraSelection selection;
            selection.cursor = QTextCursor(pane->document());
            selection.cursor.setPosition(1, QTextCursor::KeepAnchor);
            pane->setExtraSelections({selection});
        }
        InstallDocument(*pane, BuildDocumentAside(*pane, Wait(), [](QTextDocument& d) { d.setPlainText(QStringLiteral("новый")); }));
        QVERIFY(pane->extraSelections().isEmpty());
        pane->setExtraSelections({});  // read the old ones' places: freed memory, before the fix
        pane->viewport()->repaint();
    }

    void textAndFormattingComeThroughWithAFreshHistory_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("raw");
        QTest::newRow("lines") << QStringLiteral("<p>раз</p><p>два<br/>три</p><p></p>")
                               << QStringLiteral("раз\u2029два\u2028три\u2029");
        QTest::newRow("bold") << QStringLiteral("<p>а<b>жи</b>\u00a0в</p>") << QStringLiteral("ажи\u00a0в");
    }
    void textAndFormattingComeThroughWithAFreshHistory() {
        QFETCH(QString, html);
        QFETCH(QString, raw);
        pane->setPlainText(QStringLiteral("прежний текст"));
        pane->insertPlainText(QStringLiteral("правка"));
        QVERIFY(pane->document()->isUndoAvailable());
        QTextDocument expected;
        expected.setHtml(html);
        InstallDocument(*pane, BuildDocumentAside(*pane, Wait(), [&](QTextDocument& d) { d.setHtml(html); }));
        QCOMPARE(pane->document()->toRawText(), raw);
        QCOMPARE(pane->document()->toHtml(), expected.toHtml());
        QCOMPARE(pane->document()->defaultFont(), pane->font());
        QVERIFY(!pane->document()->isUndoAvailable());
        QCOMPARE(pane->textCursor().position(), 0);
        QVERIFY(!pane->textCursor().hasSelection());
        // Edits after it are undone as in any pane.
        QTest::keyClicks(pane, QStringLiteral("y"));
        QVERIFY(pane->document()->isUndoAvailable());
    }

    void failureLeavesThePaneAsItWas() {
        pane->setPlainText(QStringLiteral("остаётся"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 BuildDocumentAside(*pane, Wait(), [](QTextDocument&) -> void {
                                     throw std::runtime_error("unreadable");
                                 }));
        QCOMPARE(pane->toPlainText(), QStringLiteral("остаётся"));
        QCOMPARE(label->text(), QStringLiteral("как было"));
    }

    void longBuildHoldsInputAndShowsItIsWorking() {
        QString labelMeanwhile;
        int barMaximumMeanwhile = -1;
        QTimer::singleShot(100, pane, [this] { QTest::keyClicks(pane, QStringLiteral("xyz")); });
        QTimer::singleShot(700, pane, [&] {
            labelMeanwhile = label->text();
            barMaximumMeanwhile = bar->maximum();
        });
        // As in the program, from inside its event loop.
        std::unique_ptr<QTextDocument> document;
        QEventLoop loop;
        QTimer::singleShot(0, pane, [&] {
            document = BuildDocumentAside(*pane, Wait(), [](QTextDocument& d) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1000));
                d.setPlainText(QStringLiteral("книга"));
            });
            loop.quit();
        });
        loop.exec();
        QVERIFY(document);
        QCOMPARE(labelMeanwhile, QStringLiteral("Загрузка…"));
        QCOMPARE(barMaximumMeanwhile, 0);
        QVERIFY(pane->toPlainText().isEmpty());  // the keys pressed meanwhile went nowhere
        QCOMPARE(label->text(), QStringLiteral("как было"));
        QCOMPARE(bar->maximum(), 7);
        QCOMPARE(bar->value(), 7);
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void pasteByKeyShowsTheBusyCursorAndKeepsTheText() {
        const QString text = QStringLiteral("Мороз и солнце;\nдень чудесный!\r\n\u2028ещё\u00a0ты");
        QGuiApplication::clipboard()->setText(text);
        pane->setPlainText(QStringLiteral("[]"));
        QTextCursor at(pane->document());
        at.setPosition(1);
        pane->setTextCursor(at);
        bool busyWhileInserting = false;
        connect(pane->document(), &QTextDocument::contentsChanged, pane, [&] {
            busyWhileInserting = QGuiApplication::overrideCursor() &&
                                 QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
        });
        QTest::keyClick(pane, Qt::Key_V, Qt::ControlModifier);
        QVERIFY(busyWhileInserting);
        QTest::qWait(20);
        QVERIFY(!QGuiApplication::overrideCursor());
        QTextDocument expected;
        expected.setPlainText(QStringLiteral("[") + text + QStringLiteral("]"));
        QCOMPARE(pane->document()->toRawText(), expected.toRawText());
        pane->undo();
        QCOMPARE(pane->toPlainText(), QStringLiteral("[]"));
    }

    // A large paste goes in with the layout set aside: the same text, formatting and caret
    // as the pane's own paste, one undo step back to the text before it, and a layout again.
    void largePasteAsTheOrdinaryOne_data() {
        QTest::addColumn<bool>("html");
        QTest::newRow("plain text") << false;
        QTest::newRow("formatted") << true;
    }
    void largePasteAsTheOrdinaryOne() {
        QFETCH(bool, html);
        QString body;
        for (int i = 0; i < 4000; ++i) body += QStringLiteral("<p>Мороз и <b>солнце</b>; день %1</p>").arg(i);
        auto* data = new QMimeData;
        QTextDocument source;
        source.setHtml(body);
        data->setText(source.toPlainText());
        if (html) data->setHtml(body);
        QGuiApplication::clipboard()->setMimeData(data);

        auto* ordinary = new QTextEdit(&window);
        ordinary->setGeometry(pane->geometry());
        for (QTextEdit* p : {pane, ordinary}) {
            p->show();
            p->setPlainText(QStringLiteral("[]"));
            QTextCursor at(p->document());
            at.setPosition(1);
            p->setTextCursor(at);
        }
        moratutor::ui::PasteIntoPane(*pane);
        ordinary->paste();
        QVERIFY(pane->document()->characterCount() > 100'000);
        QCOMPARE(pane->document()->toHtml(), ordinary->document()->toHtml());
        QCOMPARE(pane->textCursor().position(), ordinary->textCursor().position());
        const QRectF caret = pane->document()->documentLayout()->blockBoundingRect(pane->textCursor().block());
        QVERIFY(caret.height() > 0);
        QCOMPARE(caret, ordinary->document()->documentLayout()->blockBoundingRect(ordinary->textCursor().block()));
        pane->undo();
        QCOMPARE(pane->toPlainText(), QStringLiteral("[]"));
    }

    // Pasted HTML names a style sheet that would make the text bold, /dev/zero, which would
    // never end, and a file as an image: the pane reads none of them, nor does a document
    // built aside for it.
    void pastedPageReadsNothingItNames() {
        QTemporaryDir folder;
        QFile css(folder.filePath(QStringLiteral("bold.css")));
        QVERIFY(css.open(QIODevice::WriteOnly));
        css.write("p { font-weight: bold }");
        css.close();
        const QString url = QUrl::fromLocalFile(css.fileName()).toString();
        auto* data = new QMimeData;
        data->setHtml(QStringLiteral("<html><head><style>@import url(/dev/zero); @import url(%1);</style>"
                                     "<link rel=\"stylesheet\" href=\"%1\"></head><body><p>а<img src=\"%1\"></p></body></html>")
                          .arg(url));
        QGuiApplication::clipboard()->setMimeData(data);
        moratutor::ui::PasteIntoPane(*pane);
        QVERIFY(pane->toPlainText().startsWith(u'а'));
        QCOMPARE(QTextCursor(pane->document()).charFormat().fontWeight(), QFont::Normal);
        const auto aside = BuildDocumentAside(*pane, Wait(), [](QTextDocument&) {});
        for (QTextDocument* document : {pane->document(), aside.get()}) {
            QCOMPARE(document->resource(QTextDocument::StyleSheetResource, QUrl(url)).userType(), QMetaType::QImage);
            QCOMPARE(document->resource(QTextDocument::ImageResource, QUrl(url)).userType(), QMetaType::QImage);
        }
    }

    void tallTextDoesNotStopTheWindow() {
        // Taller than 2^23 pixels once laid out: Qt's background layout never got past it.
        QStringList lines;
        for (int i = 0; i < 600000; ++i) lines += QStringLiteral("строка номер %1").arg(i);
        const QString text = lines.join(u'\n');
        std::atomic<bool> done{false};
        std::thread watchdog([&done] {
            for (int i = 0; i < 1200 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (!done) {
                std::fputs("FAIL: the event loop stopped inside the text layout\n", stderr);
                std::_Exit(1);
            }
        });
        InstallDocument(*pane, BuildDocumentAside(*pane, Wait(), [&](QTextDocument& d) { d.setPlainText(text); }));
        // Long enough for the background layout to have reached that height.
        for (int i = 0; i < 160; ++i) QTest::qWait(50);
        pane->resize(400, 200);
        for (int i = 0; i < 40; ++i) QTest::qWait(50);
        done = true;
        watchdog.join();
        QCOMPARE(pane->document()->blockCount(), 600000);
        QVERIFY(pane->document()->documentLayout()->documentSize().height() > (1 << 23));
    }
};

int RunPaneDocumentTest(int argc, char** argv) {
    PaneDocumentTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PaneDocumentTest.moc"
