// The load and save actions of the main window with text and RTF files, their dialogs
// driven as a user would: names, types, encodings, and the errors of reading and writing.
// Books, special files and files dropped on the window have a class of their own.
#include <QAbstractButton>
#include <QAction>
#include <QCompleter>
#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include "FileSizeLimit.h"
#include "RussianFileDetails.h"
#include "SaveName.h"
#include "TextFilesFixture.h"
#include "UMain.h"
#include "Controls.h"
#include "UiTests.h"

using namespace moratutor::ui;  // the windows under test

using moratutor::test::ChooseType;
using moratutor::test::Control;
using moratutor::test::FileNameEdit;
using moratutor::test::RawText;
using moratutor::test::ReadFile;
using moratutor::test::TypeAndConfirm;
using moratutor::test::WhenOpen;
using moratutor::test::WriteFile;

namespace {

const QString kTxtType = QStringLiteral("Текстовый файл UTF-8 (*.txt)");
const QString kRtfType = QStringLiteral("Файл RTF (*.rtf)");
const QStringList kSaveTypes{kTxtType, kRtfType, QStringLiteral("Электронная книга EPUB (*.epub)"),
                             QStringLiteral("Электронная книга FB2 (*.fb2)")};
const QStringList kOpenTypes{QStringLiteral("Текстовые файлы (*.txt)"), QStringLiteral("Файлы RTF (*.rtf)"),
                             QStringLiteral("Электронные книги (*.fb2 *.fb2.zip *.epub)"),
                             QStringLiteral("Веб-страницы (*.htm *.html)"), QStringLiteral("Все файлы (*)")};

using moratutor::test::FileSizeLimit;

}  // namespace

class TextFilesWindowTest : public moratutor::test::TextFilesFixture {
    Q_OBJECT

private slots:
    void savesUtf8WithDefaultExtension() {
        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setPlainText(QString::fromUtf16(u"a\nяあ\U0001F600"));
        QString typeAtOpening;
        QString suffixAtOpening;
        Save([&](QFileDialog* d) {
            typeAtOpening = d->selectedNameFilter();
            suffixAtOpening = d->defaultSuffix();
            TypeAndConfirm(d, dir.path(), QStringLiteral("plain"));
        });
        QCOMPARE(typeAtOpening, kTxtType);
        QCOMPARE(suffixAtOpening, QStringLiteral("txt"));
        QCOMPARE(Control<QFileDialog>(*w, "SaveDialog")->nameFilters(), kSaveTypes);
        QVERIFY(boxes.isEmpty());
        QCOMPARE(ReadFile(Path("plain.txt")),
                 QByteArray("\xEF\xBB\xBF" "a\r\n\xD1\x8F\xE3\x81\x82\xF0\x9F\x98\x80\r\n"));
        QVERIFY(FileNameEdit(Control<QFileDialog>(*w, "SaveDialog"))->text().isEmpty());
    }

    void typeChangeSetsExtensionAndFormat() {
        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setPlainText(QString::fromUtf16(u"かな Я"));
        QString suffixAfterChange;
        Save([&](QFileDialog* d) {
            ChooseType(d, 1);
            suffixAfterChange = d->defaultSuffix();
            TypeAndConfirm(d, dir.path(), QStringLiteral("rich"));
        });
        QCOMPARE(suffixAfterChange, QStringLiteral("rtf"));
        const QByteArray rtf = ReadFile(Path("rich.rtf"));
        QVERIFY(rtf.startsWith("{\\rtf1"));
        QVERIFY(rtf.contains("\\u12363 ?\\u12394 ? \\u1071 ?"));

        // The next opening is where the file went, with its type, and no name.
        QString typeAtOpening;
        QString suffixAtOpening;
        QString nameAtOpening = QStringLiteral("unset");
        QString folderAtOpening;
        Save([&](QFileDialog* d) {
            typeAtOpening = d->selectedNameFilter();
            suffixAtOpening = d->defaultSuffix();
            nameAtOpening = FileNameEdit(d)->text();
            folderAtOpening = d->directory().absolutePath();
            d->reject();
        });
        QCOMPARE(typeAtOpening, kRtfType);
        QCOMPARE(suffixAtOpening, QStringLiteral("rtf"));
        QCOMPARE(nameAtOpening, QString());
        QCOMPARE(folderAtOpening, QDir(dir.path()).absolutePath());
    }

    void saveOpensWhereTheTextWasLoaded() {
        // A cancelled save changes nothing; a load elsewhere moves the next save there.
        QDir(dir.path()).mkpath(QStringLiteral("books"));
        const QString book = QDir(dir.path()).filePath(QStringLiteral("books/tale.txt"));
        QFile file(book);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("kot");
        file.close();
        w->LoadFile(book);
        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setPlainText(QStringLiteral("こ"));
        QString folderAtOpening, typeAtOpening;
        Save([&](QFileDialog* d) {
            folderAtOpening = d->directory().absolutePath();
            typeAtOpening = d->selectedNameFilter();
            d->reject();
        });
        QCOMPARE(folderAtOpening, QFileInfo(book).absolutePath());
        QCOMPARE(typeAtOpening, kTxtType);  // nothing saved yet: the first type
    }

    void formatFollowsTypeNotExtension() {
        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setPlainText(QStringLiteral("x"));
        SaveAs(QStringLiteral("x.rtf"), 0);
        QCOMPARE(ReadFile(Path("x.rtf")), QByteArray("\xEF\xBB\xBFx\r\n"));
        SaveAs(QStringLiteral("y.txt"), 1);
        QVERIFY(ReadFile(Path("y.txt")).startsWith("{\\rtf1"));
        QVERIFY(!QFile::exists(Path("y.txt.rtf")));
        QVERIFY(!QFile::exists(Path("x.rtf.txt")));
    }

    void cancelChangesNothing() {
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(QStringLiteral("source"));
        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setPlainText(QStringLiteral("converted"));
        Control<QProgressBar>(*w, "ProgressBar")->setValue(5);
        Save([&](QFileDialog* d) {
            FileNameEdit(d)->setText(Path("cancelled.txt"));
            d->reject();
        });
        Load([&](QFileDialog* d) { d->reject(); });
        QVERIFY(!QFile::exists(Path("cancelled.txt")));
        QCOMPARE(RawText(Control<QTextEdit>(*w, "richSourceTextAnsi")), QStringLiteral("source"));
        QCOMPARE(RawText(Control<QTextEdit>(*w, "richConvertedTextUnicode")), QStringLiteral("converted"));
        QCOMPARE(Control<QProgressBar>(*w, "ProgressBar")->value(), 5);
        QVERIFY(boxes.isEmpty());
    }

    // Every text of Qt's own dialogs is Russian, whatever the desktop's language.
    void fileDialogsSpeakRussian_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("texts");
        const QStringList common{QStringLiteral("Перейти к:"), QStringLiteral("&Имя файла:"),
                                 QStringLiteral("Типы файлов:"), QStringLiteral("Отмена")};
        QTest::newRow("open") << "actLoadTextFromFile" << (QStringList(common) << QStringLiteral("Открыть")
                                                                                 << QStringLiteral("&Открыть"));
        QTest::newRow("save") << "actSaveTextToFile" << (QStringList(common) << QStringLiteral("Сохранить как")
                                                                               << QStringLiteral("&Сохранить"));
    }
    void fileDialogsSpeakRussian() {
        QFETCH(QString, action);
        QFETCH(QStringList, texts);
        QStringList shown;
        WhenOpen<QFileDialog>([&](QFileDialog* d) {
            shown << d->windowTitle();
            for (auto* label : d->findChildren<QLabel*>()) shown << label->text();
            for (auto* button : d->findChildren<QAbstractButton*>()) shown << button->text() << button->toolTip();
            d->reject();
        });
        Control<QAction>(*w, action.toLatin1().constData())->setEnabled(true);
        Control<QAction>(*w, action.toLatin1().constData())->trigger();
        for (const QString& text : texts) QVERIFY2(shown.contains(text), qPrintable(text + QStringLiteral(" in ") + shown.join(u'|')));
        for (const QString& text : shown) QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("[A-Za-z]{3}"))), qPrintable(text));
    }

    void fileSizesInRussian_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("none") << qint64(0) << "0 байт";
        QTest::newRow("under a kilobyte") << qint64(1023) << "1023 байт";
        QTest::newRow("a kilobyte") << qint64(1024) << "1,0 КБ";
        QTest::newRow("kilobytes") << qint64(26000) << "25,4 КБ";
        QTest::newRow("megabytes") << qint64(3 * 1024 * 1024 + 100 * 1024) << "3,1 МБ";
        QTest::newRow("terabytes") << qint64(2) * 1024 * 1024 * 1024 * 1024 << "2,0 ТБ";
    }
    void fileSizesInRussian() {
        QFETCH(qint64, bytes);
        QTEST(moratutor::ui::RussianFileDetails::SizeText(bytes), "shown");
    }

    // After a desktop's own dialog: the chosen type's extension unless the name has one of
    // the types' extensions already.
    void nameForChosenType_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<bool>("extended");
        QTest::newRow("bare, text") << "/d/x" << 0 << "/d/x.txt" << true;
        QTest::newRow("bare, RTF") << "/d/x" << 1 << "/d/x.rtf" << true;
        QTest::newRow("other type's extension kept") << "/d/x.rtf" << 0 << "/d/x.rtf" << false;
        QTest::newRow("own extension kept") << "/d/x.txt" << 0 << "/d/x.txt" << false;
        QTest::newRow("capitals count") << "/d/X.RTF" << 1 << "/d/X.RTF" << false;
        QTest::newRow("unknown extension") << "/d/x.doc" << 1 << "/d/x.doc.rtf" << true;
        QTest::newRow("dot in folder") << "/d.txt/x" << 0 << "/d.txt/x.txt" << true;
        QTest::newRow("extension as word") << "/d/xtxt" << 0 << "/d/xtxt.txt" << true;
    }
    void nameForChosenType() {
        QFETCH(QString, typed);
        QFETCH(int, type);
        const QStringList types{kTxtType, kRtfType};
        const moratutor::ui::SaveName name = moratutor::ui::NameForChosenType(typed, types.at(type), types);
        QTEST(name.path, "saved");
        QTEST(name.extended, "extended");
    }

    void replacingAFileAsksFirst() {
        WriteFile(Path("old.txt"), "old");
        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setPlainText(QStringLiteral("new"));
        bool asked = false;
        bool stayedOpen = false;
        QString question;
        QStringList answers;
        Save([&](QFileDialog* d) {
            WhenOpen<QMessageBox>([&](QMessageBox* box) {
                asked = true;
                question = box->text();
                for (QAbstractButton* button : box->buttons()) answers << button->text();
                box->button(QMessageBox::No)->click();
            });
            TypeAndConfirm(d, dir.path(), QStringLiteral("old.txt"), true);
            stayedOpen = d->isVisible();
            d->reject();
        });
        QVERIFY(asked);
        QVERIFY(stayedOpen);
        // Qt's question in Russian, whatever the desktop's language.
        QCOMPARE(question, QStringLiteral("old.txt уже существует.\nЗаменить его?"));
        answers.sort();
        QCOMPARE(answers, QStringList({QStringLiteral("&Да"), QStringLiteral("&Нет")}));
        QCOMPARE(ReadFile(Path("old.txt")), QByteArray("old"));

        Save([&](QFileDialog* d) {
            WhenOpen<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
            TypeAndConfirm(d, dir.path(), QStringLiteral("old.txt"));
        });
        QCOMPARE(ReadFile(Path("old.txt")), QByteArray("\xEF\xBB\xBFnew\r\n"));
    }

    void loadsPlainTextOfEveryKind_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        const QString text = QString::fromUtf16(u"Привет\r\nмир");
        QByteArray utf16le("\xFF\xFE", 2);
        QByteArray utf16be("\xFE\xFF", 2);
        for (const QChar c : text) {
            const char lo = static_cast<char>(c.unicode() & 0xFF);
            const char hi = static_cast<char>(c.unicode() >> 8);
            utf16le.append(lo).append(hi);
            utf16be.append(hi).append(lo);
        }
        QTest::newRow("utf8-bom") << QByteArray("\xEF\xBB\xBF") + text.toUtf8() << "a.txt";
        QTest::newRow("utf16le-bom") << utf16le << "b.txt";
        QTest::newRow("utf16be-bom") << utf16be << "c.txt";
        QTest::newRow("utf8") << text.toUtf8() << "d.txt";
        QTest::newRow("windows-1251") << QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2\r\n\xEC\xE8\xF0") << "e.txt";
        QTest::newRow("plain text in an .rtf name") << text.toUtf8() << "f.rtf";
    }

    void loadsPlainTextOfEveryKind() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        WriteFile(Path(name), bytes);
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(QStringLiteral("earlier text, to be replaced"));
        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setPlainText(QStringLiteral("converted"));
        Control<QProgressBar>(*w, "ProgressBar")->setValue(7);
        QString typeAtOpening;
        Load([&](QFileDialog* d) {
            typeAtOpening = d->selectedNameFilter();
            TypeAndConfirm(d, dir.path(), name);
        });
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join('\n')));
        QCOMPARE(typeAtOpening, QStringLiteral("Текстовые файлы (*.txt)"));
        QCOMPARE(Control<QTextEdit>(*w, "richSourceTextAnsi")->toPlainText(), QString::fromUtf16(u"Привет\nмир"));
        QCOMPARE(RawText(Control<QTextEdit>(*w, "richConvertedTextUnicode")), QStringLiteral("converted"));
        QCOMPARE(Control<QProgressBar>(*w, "ProgressBar")->value(), 0);
        QVERIFY(FileNameEdit(Control<QFileDialog>(*w, "OpenDialog"))->text().isEmpty());
        QCOMPARE(Control<QFileDialog>(*w, "OpenDialog")->nameFilters(), kOpenTypes);
    }

    void loadsRtfByContent() {
        WriteFile(Path("styled.txt"), "{\\rtf1\\ansi\\ansicpg1251 plain {\\b \\'e6\\'e8\\'f0}\\par\\qc \\u12354?}");
        LoadFile(QStringLiteral("styled.txt"));
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join('\n')));
        QCOMPARE(RawText(Control<QTextEdit>(*w, "richSourceTextAnsi")), QString::fromUtf16(u"plain жир\u2029あ"));
        const QTextCursor bold = Control<QTextEdit>(*w, "richSourceTextAnsi")->document()->find(QString::fromUtf16(u"жир"));
        QVERIFY(!bold.isNull());
        QCOMPARE(bold.charFormat().fontWeight(), int(QFont::Bold));
        QCOMPARE(Control<QTextEdit>(*w, "richSourceTextAnsi")->document()->lastBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask,
                 Qt::AlignHCenter);
        // A load is not an edit to undo.
        QVERIFY(!Control<QTextEdit>(*w, "richSourceTextAnsi")->document()->isUndoAvailable());
    }

    void ownSavedFilesLoadBack() {
        const QString text = QString::fromUtf16(u"Я\u3000かな\U0001F600\nконец");
        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setPlainText(text);
        // Names that begin no other file's name, so the dialog's completion stays out of the way.
        SaveAs(QStringLiteral("own-plain.txt"), 0);
        LoadFile(QStringLiteral("own-plain.txt"));
        // Every saved line ends with CR LF, the last one too.
        QCOMPARE(Control<QTextEdit>(*w, "richSourceTextAnsi")->toPlainText(), text + u'\n');
        SaveAs(QStringLiteral("own-rich"), 1);
        LoadFile(QStringLiteral("own-rich.rtf"));
        QCOMPARE(Control<QTextEdit>(*w, "richSourceTextAnsi")->toPlainText(), text);
        QVERIFY(boxes.isEmpty());
    }

    void completionListClosesWithTheDialog() {
        WriteFile(Path("completion-sample.txt"), "done");
        QCompleter* completer = nullptr;
        bool listShown = false;
        Load([&](QFileDialog* d) {
            d->setDirectory(dir.path());
            QLineEdit* edit = FileNameEdit(d);
            completer = edit->completer();
            // The folder is read in the background: type again until the list has it.
            for (int attempt = 0; attempt < 50 && !completer->popup()->isVisible(); ++attempt) {
                edit->clear();
                QTest::keyClicks(edit, QStringLiteral("completion-sam"));
                QTest::qWait(100);
            }
            listShown = completer->popup()->isVisible();
            edit->setText(QStringLiteral("completion-sample.txt"));
            QTest::keyClick(completer->popup(), Qt::Key_Return);
            if (d->isVisible()) d->reject();
        });
        QVERIFY(listShown);
        QCOMPARE(RawText(Control<QTextEdit>(*w, "richSourceTextAnsi")), QStringLiteral("done"));
        QVERIFY(!completer->popup()->isVisible());
    }

    void loadErrors() {
        // A file that vanishes between choosing and reading.
        WriteFile(Path("gone.txt"), "x");
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(QStringLiteral("before"));
        Control<QProgressBar>(*w, "ProgressBar")->setValue(3);
        Load([&](QFileDialog* d) {
            FileNameEdit(d)->setText(Path("gone.txt"));
            QFile::remove(Path("gone.txt"));
            static_cast<QDialog*>(d)->done(QDialog::Accepted);  // past the dialog's own checks
        });
        QCOMPARE(boxes, QStringList{QStringLiteral("Cannot open file \"%1\". No such file or directory.")
                                        .arg(Path("gone.txt"))});
        QVERIFY(Control<QTextEdit>(*w, "richSourceTextAnsi")->document()->isEmpty());
        QCOMPARE(Control<QProgressBar>(*w, "ProgressBar")->value(), 3);
        QVERIFY(Control<QFileDialog>(*w, "OpenDialog")->selectedFiles().contains(Path("gone.txt")));

        // RTF nested deeper than the reader takes.
        boxes.clear();
        WriteFile(Path("deep.rtf"), "{\\rtf1 " + QByteArray(1000, '{') + "x" + QByteArray(1000, '}') + "}");
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setPlainText(QStringLiteral("before"));
        LoadFile(QStringLiteral("deep.rtf"));
        QCOMPARE(boxes, QStringList{QStringLiteral("Failed to Load Stream.")});
        QVERIFY(Control<QTextEdit>(*w, "richSourceTextAnsi")->document()->isEmpty());
    }

    void saveErrors() {
        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setPlainText(QStringLiteral("converted"));
        const QString missing = Path("no-such-folder/x.txt");
        Save([&](QFileDialog* d) {
            FileNameEdit(d)->setText(missing);
            static_cast<QDialog*>(d)->done(QDialog::Accepted);  // past the dialog's own checks
        });
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes[0].startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(missing)), qPrintable(boxes[0]));
        QVERIFY(boxes[0].size() > QStringLiteral("Cannot create file \"%1\". .").arg(missing).size());
        QCOMPARE(RawText(Control<QTextEdit>(*w, "richConvertedTextUnicode")), QStringLiteral("converted"));
        QVERIFY(Control<QFileDialog>(*w, "SaveDialog")->selectedFiles().contains(missing));
    }

    void failedWriteKeepsTheOldFile() {
        // A text far larger than the size this process may write, as on a full disk.
        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setPlainText(QString(200000, u'я'));
        WriteFile(Path("keep.txt"), "old");
        WriteFile(Path("keep.rtf"), "old");
        {
            const FileSizeLimit limit(4096);
            Save([&](QFileDialog* d) {
                WhenOpen<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
                TypeAndConfirm(d, dir.path(), QStringLiteral("keep.txt"));
            });
            Save([&](QFileDialog* d) {
                WhenOpen<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
                ChooseType(d, 1);
                TypeAndConfirm(d, dir.path(), QStringLiteral("keep.rtf"));
            });
        }
        QCOMPARE(boxes, QStringList({QStringLiteral("Stream write error."), QStringLiteral("Failed to Save Stream.")}));
        QCOMPARE(ReadFile(Path("keep.txt")), QByteArray("old"));
        QCOMPARE(ReadFile(Path("keep.rtf")), QByteArray("old"));
        QCOMPARE(RawText(Control<QTextEdit>(*w, "richConvertedTextUnicode")), QString(200000, u'я'));
    }

    void smallSaveOnAFullDiskKeepsTheOldFile() {
        // Small enough to sit in a write buffer until the very end.
        Control<QTextEdit>(*w, "richConvertedTextUnicode")->setPlainText(QStringLiteral("ок"));
        WriteFile(Path("small.txt"), "old");
        WriteFile(Path("small.rtf"), "old");
        {
            const FileSizeLimit limit(4);
            for (int type : {0, 1}) {
                Save([&](QFileDialog* d) {
                    WhenOpen<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
                    ChooseType(d, type);
                    TypeAndConfirm(d, dir.path(), type == 0 ? QStringLiteral("small.txt") : QStringLiteral("small.rtf"));
                });
            }
        }
        QCOMPARE(boxes, QStringList({QStringLiteral("Stream write error."), QStringLiteral("Failed to Save Stream.")}));
        QCOMPARE(ReadFile(Path("small.txt")), QByteArray("old"));
        QCOMPARE(ReadFile(Path("small.rtf")), QByteArray("old"));
    }
};

int RunTextFilesWindowTest(int argc, char** argv) {
    TextFilesWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "TextFilesWindowTest.moc"
