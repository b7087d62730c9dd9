// The main window's files beyond plain text and RTF: books read and written, PDF export,
// files refused by their size or because they are not regular files, and files dropped on
// the window.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFont>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string_view>
#include <thread>

#include "moratutor/books/DocumentLoader.h"
#include "MessageBoxes.h"
#include "TextFilesFixture.h"
#include "UMain.h"
#include "Controls.h"
#include "UiTests.h"

using namespace moratutor::ui;  // the windows under test

using moratutor::test::CharacterBoxes;
using moratutor::test::RunGoingOn;
using moratutor::test::ChooseType;
using moratutor::test::Control;
using moratutor::test::FileNameEdit;
using moratutor::test::RawText;
using moratutor::test::ReadFile;
using moratutor::test::TypeAndConfirm;
using moratutor::test::WhenOpen;
using moratutor::test::WriteFile;

namespace {

// A small FictionBook with a title of its own, a heading and emphasis.
const QByteArray kTale =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\"><description><title-info>"
    "<book-title>Сказка</book-title><lang>ru</lang></title-info></description><body><section>"
    "<title><p>Глава первая</p></title><p>Жил-был <strong>ёжик</strong>.</p><p>Конец.</p>"
    "</section></body></FictionBook>";

// How many bytes this process has read from files and pipes since it started.
qint64 BytesReadSoFar() {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("rchar:")) return line.mid(6).trimmed().toLongLong();
    return -1;
}

// A drag entering the target and dropped there, as the desktop delivers it; true when the
// drop was taken.
bool DropOn(QWidget* target, const QMimeData& data) {
    const QPoint pos = target->rect().center();
    QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(pos), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    QCoreApplication::processEvents();
    return drop.isAccepted();
}

// What a file manager offers: the files' addresses and their paths as text.
void OfferFiles(QMimeData& data, const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    data.setText(paths.join(u'\n'));
}

// The title and paragraphs of a file as the program reads it.
QStringList ReadBack(const QByteArray& bytes, QString* title) {
    QTextDocument document;
    moratutor::books::LoadedDocument loaded;
    if (moratutor::books::LoadDocument(std::string_view(bytes.constData(), std::size_t(bytes.size())), document,
                                       &loaded) != moratutor::books::BookReadStatus::Ok)
        return {};
    *title = loaded.Book.Title;
    return document.toPlainText().split(u'\n');
}

}  // namespace

class BooksAndOtherFilesWindowTest : public moratutor::test::TextFilesFixture {
    Q_OBJECT

private slots:
    void endlessOrEnormousPlainTextIsRefused() {
        // Sparse: no disk space used, but one byte more than plain text may have.
        QFile big(Path("big.txt"));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(64 * 1024 * 1024 + 1));
        big.close();
        for (const QString& path : {Path("big.txt")}) {
            boxes.clear();
            Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(QStringLiteral("before"));
            Load([&](QFileDialog* d) {
                FileNameEdit(d)->setText(path);
                static_cast<QDialog*>(d)->done(QDialog::Accepted);
            });
            QCOMPARE(boxes, QStringList{QStringLiteral("Failed to Load Stream.")});
            QVERIFY(Control<QTextEdit>(*w, "richSourceTextAnsi")->document()->isEmpty());
        }
        QFile::remove(Path("big.txt"));
    }

    // A file that is not a regular one is refused before it is opened: opening a named pipe
    // no one writes to would freeze the window for good. Before, a helper unblocks such an
    // open by writing, and the pipe's text is loaded.
    void specialFilesAreRefusedUnopened_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("kind");
        QTest::newRow("pipe by the dialog") << QStringLiteral("pipe") << QStringLiteral("dialog") << QStringLiteral("именованный канал");
        QTest::newRow("pipe on the command line") << QStringLiteral("pipe") << QStringLiteral("command line") << QStringLiteral("именованный канал");
        QTest::newRow("pipe dropped") << QStringLiteral("pipe") << QStringLiteral("drop") << QStringLiteral("именованный канал");
        QTest::newRow("device") << QStringLiteral("/dev/zero") << QStringLiteral("dialog") << QStringLiteral("устройство");
        QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("command line") << QStringLiteral("папка");
        QTest::newRow("link to a pipe") << QStringLiteral("link") << QStringLiteral("dialog") << QStringLiteral("именованный канал");
    }
    void specialFilesAreRefusedUnopened() {
        QFETCH(QString, name);
        QFETCH(QString, how);
        QFETCH(QString, kind);
        const QString pipe = Path("pipe");
        QFile::remove(pipe);
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QDir(dir.path()).mkpath(QStringLiteral("folder"));
        QFile::link(pipe, Path("link"));
        const QString path = name.startsWith(u'/') ? name : Path(name);
        std::atomic<bool> loaded{false};
        std::thread writer([&] {
            // Succeeds only while someone has the pipe open for reading.
            while (!loaded) {
                const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    [[maybe_unused]] const ssize_t n = ::write(fd, "pipe text", 9);
                    ::close(fd);
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
        auto* source = Control<QTextEdit>(*w, "richSourceTextAnsi");
        source->setPlainText(QStringLiteral("before"));
        if (how == QStringLiteral("dialog")) {
            Load([&](QFileDialog* d) {
                FileNameEdit(d)->setText(path);
                static_cast<QDialog*>(d)->done(QDialog::Accepted);
            });
        } else if (how == QStringLiteral("drop")) {
            QMimeData files;
            OfferFiles(files, {path});
            QVERIFY(DropOn(w.get(), files));
        } else {
            moratutor::ui::RunGuarded([&] { w->LoadFile(path); });
        }
        loaded = true;
        writer.join();
        QCOMPARE(boxes, QStringList{QStringLiteral("Не удалось загрузить «%1»: это не обычный файл, а %2.").arg(path, kind)});
        QVERIFY(source->document()->isEmpty());
    }

    // A regular file larger than its type may be is refused by its size: only its first
    // bytes, which tell the type, are read.
    void enormousFilesAreRefusedByTheirSize_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<qint64>("size");
        constexpr qint64 kMiB = 1 << 20;
        QTest::newRow("text a byte over") << QStringLiteral("over.txt") << QByteArray("x") << 64 * kMiB + 1;
        QTest::newRow("RTF a byte over") << QStringLiteral("over.rtf") << QByteArray("{\\rtf1 x") << 256 * kMiB + 1;
        QTest::newRow("over any limit") << QStringLiteral("huge.epub") << QByteArray("PK") << 4096 * kMiB;
    }
    void enormousFilesAreRefusedByTheirSize() {
        QFETCH(QString, name);
        QFETCH(QByteArray, head);
        QFETCH(qint64, size);
        QFile file(Path(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(head) == head.size() && file.resize(size));  // sparse
        file.close();
        const qint64 before = BytesReadSoFar();
        Load([&](QFileDialog* d) {
            FileNameEdit(d)->setText(Path(name));
            static_cast<QDialog*>(d)->done(QDialog::Accepted);
        });
        const qint64 read = BytesReadSoFar() - before;
        QFile::remove(Path(name));
        QCOMPARE(boxes, QStringList{QStringLiteral("Failed to Load Stream.")});
        QVERIFY2(read < (1 << 20), qPrintable(QString::number(read)));
    }

    // A book through the dialog's book type: read as a book, its title kept for saving.
    // A damaged book is shown as far as it could be read, then the user is told; an image
    // named as a book is refused by what it is.
    void damagedBookIsShownThenTold() {
        WriteFile(Path("damaged.fb2"), QByteArray(kTale).replace("Жил-был", "Жил & был"));
        LoadFile(QStringLiteral("damaged.fb2"));
        QCOMPARE(boxes, QStringList{QStringLiteral("Книга повреждена: показан текст, который удалось прочитать.")});
        QVERIFY(Control<QTextEdit>(*w, "richSourceTextAnsi")->toPlainText().endsWith(QStringLiteral("Жил & был ёжик.\nКонец.")));
        boxes.clear();
        WriteFile(Path("image.epub"), QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
        LoadFile(QStringLiteral("image.epub"));
        QCOMPARE(boxes, QStringList{QStringLiteral("Файл не текст и не книга: похоже, это изображение PNG.")});
    }

    void opensABookAndSavesItsTitle() {
        WriteFile(Path("tale.fb2"), kTale);
        Load([&](QFileDialog* d) {
            ChooseType(d, 2);
            TypeAndConfirm(d, dir.path(), QStringLiteral("tale.fb2"));
        });
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join('\n')));
        auto* source = Control<QTextEdit>(*w, "richSourceTextAnsi");
        QVERIFY2(source->toPlainText().endsWith(QStringLiteral("Глава первая\nЖил-был ёжик.\nКонец.")),
                 qPrintable(source->toPlainText()));
        const QTextCursor bold = source->document()->find(QStringLiteral("ёжик"));
        QCOMPARE(bold.charFormat().fontWeight(), int(QFont::Bold));
        QVERIFY(!source->document()->isUndoAvailable());

        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setPlainText(QStringLiteral("ほし"));
        SaveAs(QStringLiteral("tale-kana"), 2);
        QString title;
        QCOMPARE(ReadBack(ReadFile(Path("tale-kana.epub")), &title), QStringList{QStringLiteral("ほし")});
        QCOMPARE(title, QStringLiteral("Сказка"));
    }

    // A book's author and annotation go into the books saved from the window.
    void savesTheLoadedBooksDetails_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("epub") << 2 << QStringLiteral("epub");
        QTest::newRow("fb2") << 3 << QStringLiteral("fb2");
    }
    void savesTheLoadedBooksDetails() {
        QFETCH(int, type);
        QFETCH(QString, suffix);
        QByteArray book = kTale;
        book.replace("<book-title>", "<author><first-name>Анна</first-name><last-name>Лесная</last-name></author><book-title>");
        book.replace("</book-title>", "</book-title><annotation><p>О ёжике.</p></annotation>");
        WriteFile(Path("author.fb2"), book);
        Load([&](QFileDialog* d) {
            ChooseType(d, 2);
            TypeAndConfirm(d, dir.path(), QStringLiteral("author.fb2"));
        });
        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setPlainText(QStringLiteral("ほし"));
        SaveAs(QStringLiteral("author-kana"), type);
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join('\n')));
        const QByteArray bytes = ReadFile(Path(QStringLiteral("author-kana.") + suffix));
        QTextDocument document;
        moratutor::books::LoadedDocument loaded;
        QCOMPARE(moratutor::books::LoadDocument(std::string_view(bytes.constData(), std::size_t(bytes.size())), document, &loaded),
                 moratutor::books::BookReadStatus::Ok);
        QCOMPARE(loaded.Book.Title, QStringLiteral("Сказка"));
        QCOMPARE(loaded.Book.Authors.size(), std::size_t(1));
        QCOMPARE(loaded.Book.Authors[0].DisplayName(), QStringLiteral("Анна Лесная"));
        QCOMPARE(loaded.Book.Annotation, QStringLiteral("О ёжике."));
    }

    void savesBooksThatLoadBack_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("epub") << 2 << QStringLiteral("epub");
        QTest::newRow("fb2") << 3 << QStringLiteral("fb2");
    }
    void savesBooksThatLoadBack() {
        QFETCH(int, type);
        QFETCH(QString, suffix);
        const QStringList paragraphs{QStringLiteral("Ёжик в тумане"), QStringLiteral("ほし いちご カタカナ <&>"),
                                     QStringLiteral("конец")};
        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setPlainText(paragraphs.join(u'\n'));
        const QString name = QStringLiteral("reader-") + suffix;
        QString suffixAfterChange;
        Save([&](QFileDialog* d) {
            ChooseType(d, type);
            suffixAfterChange = d->defaultSuffix();
            TypeAndConfirm(d, dir.path(), name);
        });
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join('\n')));
        QCOMPARE(suffixAfterChange, suffix);
        // With no book loaded the file's name is the title.
        QString title;
        QCOMPARE(ReadBack(ReadFile(Path(name + u'.' + suffix)), &title), paragraphs);
        QCOMPARE(title, name);
        // And the window opens its own book.
        Load([&](QFileDialog* d) {
            ChooseType(d, 2);
            TypeAndConfirm(d, dir.path(), name + u'.' + suffix);
        });
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join('\n')));
        QCOMPARE(Control<QTextEdit>(*w, "richSourceTextAnsi")->toPlainText(), paragraphs.join(u'\n'));
    }

    void exportsPdf() {
        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setPlainText(QStringLiteral("Ёжик в тумане\nほし いちご カタカナ"));
        QStringList types;
        QString suffix;
        WhenOpen<QFileDialog>([&](QFileDialog* d) {
            types = d->nameFilters();
            suffix = d->defaultSuffix();
            TypeAndConfirm(d, dir.path(), QStringLiteral("handout"));
        });
        Control<QAction>(*w, "actExportPdf")->setEnabled(true);
        Control<QAction>(*w, "actExportPdf")->trigger();
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join('\n')));
        QCOMPARE(types, QStringList{QStringLiteral("Документ PDF (*.pdf)")});
        QCOMPARE(suffix, QStringLiteral("pdf"));
        QVERIFY(ReadFile(Path("handout.pdf")).startsWith("%PDF-"));

        // A folder that is not there: told in the save's words, nothing written.
        const QString missing = Path("no-such-folder/x.pdf");
        WhenOpen<QFileDialog>([&](QFileDialog* d) {
            FileNameEdit(d)->setText(missing);
            static_cast<QDialog*>(d)->done(QDialog::Accepted);
        });
        Control<QAction>(*w, "actExportPdf")->trigger();
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes[0].startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(missing)), qPrintable(boxes[0]));

        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) QSKIP("pdftotext is not installed");
        QProcess pdftotext;
        pdftotext.start(QStringLiteral("pdftotext"), {Path("handout.pdf"), QStringLiteral("-")});
        QVERIFY(pdftotext.waitForFinished(60000));
        const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
        QVERIFY2(text.contains(QStringLiteral("Ёжик в тумане")) && text.contains(QStringLiteral("ほし いちご カタカナ")),
                 qPrintable(text));
    }

    // Dropped on the source pane, the converted pane or the window itself, the first local
    // file is loaded; the panes' own drops of text stay as they were.
    void droppedFileLoads_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("source pane") << QStringLiteral("richSourceTextAnsi");
        QTest::newRow("converted pane") << QStringLiteral("richConvertedTextUnicode");
        QTest::newRow("window") << QString();
    }
    void droppedFileLoads() {
        QFETCH(QString, target);
        WriteFile(Path("dropped.fb2"), kTale);
        WriteFile(Path("second.txt"), "второй");
        auto* source = Control<QTextEdit>(*w, "richSourceTextAnsi");
        auto* converted = Control<QTextEdit>(*w, "richConvertedTextUnicode");
        source->setPlainText(QStringLiteral("before"));
        converted->setPlainText(QStringLiteral("converted"));
        Control<QProgressBar>(*w, "ProgressBar")->setValue(4);
        QWidget* on = target.isEmpty() ? static_cast<QWidget*>(w.get())
                                       : Control<QTextEdit>(*w, qPrintable(target))->viewport();
        QMimeData files;
        OfferFiles(files, {Path("dropped.fb2"), Path("second.txt")});
        files.setUrls(QList<QUrl>{QUrl(QStringLiteral("https://example.org/a.txt"))} + files.urls());
        QVERIFY(DropOn(on, files));
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join('\n')));
        QVERIFY2(source->toPlainText().endsWith(QStringLiteral("Жил-был ёжик.\nКонец.")), qPrintable(source->toPlainText()));
        QCOMPARE(RawText(converted), QStringLiteral("converted"));
        QCOMPARE(Control<QProgressBar>(*w, "ProgressBar")->value(), 0);

        // A file that cannot be read: the load's own error.
        QMimeData gone;
        OfferFiles(gone, {Path("gone.epub")});
        QVERIFY(DropOn(on, gone));
        QCOMPARE(boxes, QStringList{QStringLiteral("Cannot open file \"%1\". No such file or directory.").arg(Path("gone.epub"))});
    }

    void droppedTextIsTheSourcePanesOwn() {
        auto* source = Control<QTextEdit>(*w, "richSourceTextAnsi");
        source->setPlainText(QStringLiteral("before"));
        QMimeData text;
        text.setText(QStringLiteral("ёжик"));
        QVERIFY(DropOn(source->viewport(), text));
        QVERIFY2(source->toPlainText().contains(QStringLiteral("ёжик")), qPrintable(source->toPlainText()));
        QVERIFY(source->toPlainText().contains(QStringLiteral("before")));
        QVERIFY(!DropOn(w.get(), text));  // the window itself takes files only
    }

    void noDropDuringARun() {
        WriteFile(Path("late.txt"), "поздно");
        CharacterBoxes(*w)[1]->setChecked(true);
        const QString text = QStringLiteral("ка ").repeated(20);
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(text);
        QCoreApplication::processEvents();
        bool running = false;
        bool taken = true;
        QMimeData files;
        OfferFiles(files, {Path("late.txt")});
        // At the run's first pump of events.
        QTimer::singleShot(0, w.get(), [&] {
            running = RunGoingOn(*w);
            taken = DropOn(w.get(), files);
        });
        Control<QAction>(*w, "actReplaceWithHiragana")->trigger();
        QCoreApplication::processEvents();
        QVERIFY(running);
        QVERIFY(!taken);
        QCOMPARE(Control<QTextEdit>(*w, "richSourceTextAnsi")->toPlainText(), text);
    }
};

int RunBooksAndOtherFilesWindowTest(int argc, char** argv) {
    BooksAndOtherFilesWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "BooksAndOtherFilesWindowTest.moc"
