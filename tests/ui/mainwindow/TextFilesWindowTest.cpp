// The load, save and PDF actions of the main window, with their dialogs driven as a user
// would, and files dropped on the window.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QCompleter>
#include <QAbstractItemView>
#include <QFile>
#include <QFileDialog>
#include <QFont>
#include <QLabel>
#include <QRegularExpression>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <thread>
#include <memory>
#include <vector>

#include "FileSizeLimit.h"
#include "moratutor/books/DocumentLoader.h"
#include "MessageBoxes.h"
#include "RussianFileDetails.h"
#include "SaveName.h"
#include "UMain.h"
#include "UMainApplication.h"
#include "Controls.h"
#include "UiTests.h"

using namespace moratutor::ui;  // the windows under test

using moratutor::test::CharacterBoxes;
using moratutor::test::Control;
using moratutor::test::RunGoingOn;

namespace {

const QString kTxtType = QStringLiteral("Текстовый файл UTF-8 (*.txt)");
const QString kRtfType = QStringLiteral("Файл RTF (*.rtf)");
const QStringList kSaveTypes{kTxtType, kRtfType, QStringLiteral("Электронная книга EPUB (*.epub)"),
                             QStringLiteral("Электронная книга FB2 (*.fb2)")};
const QStringList kOpenTypes{QStringLiteral("Текстовые файлы (*.txt)"), QStringLiteral("Файлы RTF (*.rtf)"),
                             QStringLiteral("Электронные книги (*.fb2 *.fb2.zip *.epub)"),
                             QStringLiteral("Веб-страницы (*.htm *.html)"), QStringLiteral("Все файлы (*)")};

// A small FictionBook with a title of its own, a heading and emphasis.
const QByteArray kTale =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\"><description><title-info>"
    "<book-title>Сказка</book-title><lang>ru</lang></title-info></description><body><section>"
    "<title><p>Глава первая</p></title><p>Жил-был <strong>ёжик</strong>.</p><p>Конец.</p>"
    "</section></body></FictionBook>";

// Runs an action once a modal widget of type T is open, polling the event loop until it is.
template <typename T>
void WhenOpen(std::function<void(T*)> act, int triesLeft = 3000) {
    QTimer::singleShot(10, [act, triesLeft] {
        auto* widget = qobject_cast<T*>(QApplication::activeModalWidget());
        if (widget && widget->isVisible()) {
            act(widget);
        } else if (triesLeft > 0) {
            WhenOpen<T>(act, triesLeft - 1);
        } else {
            qWarning("the expected dialog never opened");
        }
    });
}

QLineEdit* FileNameEdit(QFileDialog* dialog) { return dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }

// Types a name and confirms, as the user does (so Qt's own checks run). A dialog that
// refuses the name is cancelled unless the caller means to go on with it, so a test
// fails instead of waiting for ever.
void TypeAndConfirm(QFileDialog* dialog, const QString& folder, const QString& name, bool keepIfRefused = false) {
    dialog->setDirectory(folder);
    // The folder is read in the background, and a reused dialog's views keep the rows chosen
    // the last time; QFileDialog prefers a chosen row to the typed name. So wait until an
    // existing file is listed, then let the typed name alone decide.
    const QString path = QDir(folder).filePath(name);
    if (auto* model = dialog->findChild<QFileSystemModel*>(); model && QFileInfo::exists(path))
        if (!QTest::qWaitFor([&] { return model->index(path).isValid(); }, 5000))
            qWarning("the dialog never listed %s", qPrintable(name));
    for (auto* view : dialog->findChildren<QAbstractItemView*>())
        if (view->selectionModel()) view->selectionModel()->clear();
    FileNameEdit(dialog)->setText(name);
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, with its checks
    if (dialog->isVisible() && !keepIfRefused) {
        qWarning("the dialog refused %s", qPrintable(name));
        dialog->reject();
    }
}

// Picks a file type from the dialog's type list with the keyboard.
void ChooseType(QFileDialog* dialog, int index) {
    auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QVERIFY(combo);
    while (combo->currentIndex() < index) QTest::keyClick(combo, Qt::Key_Down);
    while (combo->currentIndex() > index) QTest::keyClick(combo, Qt::Key_Up);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QString RawText(const QTextEdit* pane) { return pane->document()->toRawText(); }

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
    *title = loaded.Title;
    return document.toPlainText().split(u'\n');
}

using moratutor::test::FileSizeLimit;

}  // namespace

class TextFilesWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<TFMain> w;
    QStringList boxes;

    QString Path(const QString& name) const { return dir.filePath(name); }

    void Save(std::function<void(QFileDialog*)> drive) {
        WhenOpen<QFileDialog>(drive);
        Control<QAction>(*w, "actSaveTextToFile")->setEnabled(true);
        Control<QAction>(*w, "actSaveTextToFile")->trigger();
    }
    void Load(std::function<void(QFileDialog*)> drive) {
        WhenOpen<QFileDialog>(drive);
        Control<QAction>(*w, "actLoadTextFromFile")->trigger();
    }
    void LoadFile(const QString& name) {
        Load([this, name](QFileDialog* d) { TypeAndConfirm(d, dir.path(), name); });
    }
    void SaveAs(const QString& name, int type) {
        Save([this, name, type](QFileDialog* d) {
            ChooseType(d, type);
            TypeAndConfirm(d, dir.path(), name);
        });
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        TFMain::SetPreferencesPathOverride(dir.filePath(QStringLiteral("prefs.ini")));
        moratutor::ui::SetMessageSink(
            [this](QMessageBox::Icon, const QString&, const QString& text) { boxes.push_back(text); });
    }

    void init() {
        boxes.clear();
        w = std::make_unique<TFMain>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }

    void cleanup() {
        // The offscreen platform leaves the focus in a closed dialog; the dialogs go
        // first so the window is whole while the focus moves.
        qDeleteAll(w->findChildren<QFileDialog*>());
        w.reset();
    }

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

int RunTextFilesWindowTest(int argc, char** argv) {
    TextFilesWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "TextFilesWindowTest.moc"
