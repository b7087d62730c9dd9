// A formatted source through the real main window: the converted pane keeps the formats,
// the source pane stays as it was, the answer key and highlight work on the result, and
// the panes' lines end only where Russian lines may.
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include <memory>

#include "moratutor/books/BookStructure.h"
#include "moratutor/books/BookWriters.h"
#include "moratutor/books/DocumentLoader.h"

#include "Controls.h"
#include "MessageBoxes.h"
#include "PaneDocument.h"
#include "UMain.h"
#include "UiTests.h"

using namespace moratutor::ui;  // the windows under test

using moratutor::test::CharacterBoxes;
using moratutor::test::Control;

namespace {

// The character format of the character at `position`.
QTextCharFormat FormatAt(const QTextDocument& document, int position) {
    QTextCursor cursor(const_cast<QTextDocument*>(&document));
    cursor.setPosition(position + 1);
    return cursor.charFormat();
}

// A line may end after a space (or an ideographic one), or after a hyphen or dash before
// a letter, or at its paragraph's end: the rule as a Russian reader has it.
bool RussianLineEnd(const QString& text, int end) {
    if (end >= text.size()) return true;
    const QChar before = text[end - 1];
    if (before == u' ' || before == u'\u3000') return true;
    return (before == u'-' || before == u'—') && text[end].isLetter();
}

}  // namespace

class FormattedConversionTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<TFMain> w;
    QTextEdit* source = nullptr;
    QTextEdit* converted = nullptr;

    void Convert(std::initializer_list<int> groups) {
        for (int n : groups) CharacterBoxes(*w)[static_cast<std::size_t>(n - 1)]->setChecked(true);
        QCoreApplication::processEvents();
        Control<QAction>(*w, "actReplaceWithHiragana")->trigger();
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase() {
        moratutor::ui::SetMessageSink([](QMessageBox::Icon, const QString&, const QString&) {});
    }
    void init() {
        QVERIFY(dir.isValid());
        TFMain::SetPreferencesPathOverride(dir.filePath(QStringLiteral("prefs.ini")));
        w = std::make_unique<TFMain>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        source = Control<QTextEdit>(*w, "richSourceTextAnsi");
        converted = Control<QTextEdit>(*w, "richConvertedTextUnicode");
    }
    void cleanup() {
        w.reset();
        TFMain::SetPreferencesPathOverride(QString());
    }
    void cleanupTestCase() { moratutor::ui::SetMessageSink({}); }

    void formatsComeThroughTheRun() {
        source->setHtml(QStringLiteral("<h1 align=center>Кот</h1><p>и <b>кака</b>о<sup>ко</sup> <i>ку</i>ст</p>"));
        const QString sourceBefore = source->document()->toHtml();
        Convert({2});
        QCOMPARE(source->document()->toHtml(), sourceBefore);
        const QTextDocument& result = *converted->document();
        QCOMPARE(result.toPlainText(), QStringLiteral("こт\nи かかоこ くст"));
        const QTextBlock heading = result.begin();
        QCOMPARE(heading.blockFormat().headingLevel(), 1);
        QCOMPARE(heading.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        const int p = heading.next().position();
        QCOMPARE(FormatAt(result, p + 2).fontWeight(), int(QFont::Bold));      // か
        QCOMPARE(FormatAt(result, p + 3).fontWeight(), int(QFont::Bold));      // か
        QCOMPARE(FormatAt(result, p + 4).fontWeight(), int(QFont::Normal));    // о
        QCOMPARE(FormatAt(result, p + 5).verticalAlignment(), QTextCharFormat::AlignSuperScript);  // こ
        QVERIFY(FormatAt(result, p + 7).fontItalic());                          // く
        QVERIFY(!FormatAt(result, p + 8).fontItalic());                         // с
        // The key's highlight covers the kana of the formatted text: こ, かか, こ and く.
        QAction* highlight = Control<QAction>(*w, "actHighlightReplacements");
        if (!highlight->isChecked()) highlight->trigger();
        QTRY_COMPARE(converted->extraSelections().size(), 4);
    }

    // A book's chapters and notes are formats of its paragraphs and runs: the converted pane
    // keeps them, and so the books saved from the window do.
    void chaptersAndNotesComeThroughTheRun_data() {
        QTest::addColumn<QByteArray>("book");
        QTest::newRow("fb2") << QByteArray(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
            "xmlns:l=\"http://www.w3.org/1999/xlink\"><body><section><title><p>Глава кошек</p></title>"
            "<p>Кака<a l:href=\"#n1\" type=\"note\">1</a> <emphasis>ока</emphasis></p></section></body>"
            "<body name=\"notes\"><section id=\"n1\"><title><p>1</p></title><p>Сноска о кошке</p></section></body></FictionBook>");
        QTest::newRow("pandoc html") << QByteArray(
            "<html><body><h1>Глава кошек</h1><p>Кака<a href=\"#fn1\" class=\"footnote-ref\" role=\"doc-noteref\">"
            "<sup>1</sup></a> <em>ока</em></p><section class=\"footnotes\" role=\"doc-endnotes\"><ol><li id=\"fn1\">"
            "<p>Сноска о кошке<a href=\"#fnref1\" role=\"doc-backlink\">↩︎</a></p></li></ol></section></body></html>");
    }
    void chaptersAndNotesComeThroughTheRun() {
        QFETCH(QByteArray, book);
        moratutor::books::LoadedDocument loaded;
        QCOMPARE(moratutor::books::LoadDocument(std::string_view(book.constData(), std::size_t(book.size())),
                                                *source->document(), &loaded),
                 moratutor::books::BookReadStatus::Ok);
        Convert({2});
        const QTextDocument& result = *converted->document();
        QCOMPARE(result.toPlainText(), QStringLiteral("Глава こшек\nかか1 оか\nПримечания\n1 Сносか о こшке"));
        QCOMPARE(result.begin().blockFormat().headingLevel(), 1);
        const QTextBlock text = result.begin().next();
        QVERIFY(FormatAt(result, text.position() + 2).isAnchor());   // 1
        const QString href = FormatAt(result, text.position() + 2).anchorHref();
        QVERIFY(!FormatAt(result, text.position() + 1).isAnchor());  // か
        QVERIFY(FormatAt(result, text.position() + 4).fontItalic());  // о
        QVERIFY(text.next().blockFormat().boolProperty(moratutor::books::kNotesHeading));
        const QTextBlock note = text.next().next();
        QCOMPARE(u'#' + note.blockFormat().stringProperty(moratutor::books::kNoteId), href);
        QCOMPARE(note.blockFormat().stringProperty(moratutor::books::kNoteLabel), QStringLiteral("1"));
        const QString fb2 = QString::fromStdString(moratutor::books::WriteFb2(result, QStringLiteral("Кошки")));
        QVERIFY2(fb2.contains(QStringLiteral("type=\"note\">1</a>")) && fb2.contains(QStringLiteral("<body name=\"notes\">")),
                 qPrintable(fb2));
    }

    void plainSourceStaysPlain() {
        source->setPlainText(QStringLiteral("кот"));
        Convert({2});
        QCOMPARE(converted->toPlainText(), QStringLiteral("こт"));
        const QTextBlock block = converted->document()->begin();
        QCOMPARE(block.blockFormat().propertyCount(), 0);
        for (auto it = block.begin(); !it.atEnd(); ++it) QCOMPARE(it.fragment().charFormat().propertyCount(), 0);
    }

    void paneLinesKeepWordsWhole_data() {
        QTest::addColumn<int>("width");
        for (int width : {180, 230, 310, 420}) QTest::addRow("%d", width) << width;
    }
    void paneLinesKeepWordsWhole() {
        QFETCH(int, width);
        QStringList words;
        for (int i = 0; i < 60; ++i) words << QStringLiteral("кукушка") << QStringLiteral("пол-ковша") << QStringLiteral("какао");
        source->setPlainText(words.join(u' '));
        Convert({2});
        converted->setFixedWidth(width);
        converted->setFixedHeight(2000);
        QTest::qWait(50);
        converted->viewport()->repaint();
        const QTextBlock block = converted->document()->begin();
        const QString text = block.text();
        QVERIFY(text.contains(QStringLiteral("くくшか")));
        QTextLayout* layout = block.layout();
        QVERIFY(layout->lineCount() > 3);
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const int end = line.textStart() + line.textLength();
            QVERIFY2(RussianLineEnd(text, end), qPrintable(text.mid(end - 4, 8)));
        }
    }
};

int RunFormattedConversionTest(int argc, char** argv) {
    FormattedConversionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FormattedConversionTest.moc"
