// Loading a text or book into the source pane (through the dialog, by drop, from the
// command line); saving the converted text as UTF-8, RTF, EPUB or FB2, printing it and
// exporting it as PDF.
#include "UMain.h"

#include <QAbstractItemView>
#include <QByteArray>
#include <QCompleter>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QMessageBox>
#include <QProgressBar>
#include <QStringList>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "moratutor/books/BookWriters.h"
#include "moratutor/books/DocumentLoader.h"
#include "FileKind.h"
#include "MessageBoxes.h"
#include "moratutor/books/PagedOutput.h"
#include "PaneDocument.h"
#include "PaneText.h"
#include "HeapUse.h"
#include "moratutor/rtf/RtfReader.h"
#include "moratutor/rtf/RtfWriter.h"
#include "SafeFile.h"
#include "RussianFileDetails.h"
#include "SaveName.h"
#include "moratutor/TextDecoder.h"
#include "moratutor/Utf8Writer.h"

namespace moratutor::ui {

namespace {

using moratutor::ui::Error;

const QStringList& OpenFilters() {
    static const QStringList filters{QStringLiteral("Текстовые файлы (*.txt)"), QStringLiteral("Файлы RTF (*.rtf)"),
                                     QStringLiteral("Электронные книги (*.fb2 *.fb2.zip *.epub)"),
                                     QStringLiteral("Веб-страницы (*.htm *.html)"), QStringLiteral("Все файлы (*)")};
    return filters;
}

const QStringList& SaveFilters() {
    static const QStringList filters{QStringLiteral("Текстовый файл UTF-8 (*.txt)"), QStringLiteral("Файл RTF (*.rtf)"),
                                     QStringLiteral("Электронная книга EPUB (*.epub)"),
                                     QStringLiteral("Электронная книга FB2 (*.fb2)")};
    return filters;
}

// The default extension of each save type, in the order of SaveFilters().
const QStringList& SaveSuffixes() {
    static const QStringList suffixes{QStringLiteral("txt"), QStringLiteral("rtf"), QStringLiteral("epub"),
                                      QStringLiteral("fb2")};
    return suffixes;
}

const QString kFailedToSave = QStringLiteral("Failed to Save Stream");

// The desktop's own dialog where it offers one (a portal, GNOME, KDE), as its users expect;
// Qt's own, in Russian, elsewhere.
QFileDialog* MakeFileDialog(QWidget* parent, const char* name, const QStringList& filters) {
    auto* dialog = new QFileDialog(parent);
    dialog->setObjectName(QString::fromLatin1(name));
    dialog->setProxyModel(new moratutor::ui::RussianFileDetails(dialog));
    dialog->setNameFilters(filters);
    dialog->setSizeGripEnabled(true);
    return dialog;
}

// Runs the dialog. The name completion's list can outlive a dialog confirmed with Enter
// while the list is open, and would then float over the window: it goes with the dialog.
bool RunFileDialog(QFileDialog* dialog) {
    const bool accepted = dialog->exec() == QDialog::Accepted;
    if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        if (edit->completer() && edit->completer()->popup()) edit->completer()->popup()->hide();
    }
    return accepted;
}

// Qt keeps its own dialog off the screen while the desktop's stands in for it.
bool ShownByDesktop(const QFileDialog* dialog) { return dialog->testAttribute(Qt::WA_DontShowOnScreen); }

// The path a confirmed save dialog chose. Qt's own dialog has applied the chosen type's
// extension and asked about replacing; after the desktop's, whose type may have changed
// unreported, the extension is settled here and the question asked for a name it made.
// None when the user declines to replace: the dialog then opens again.
std::optional<QString> ChosenSavePath(QFileDialog* dialog, const QStringList& filters) {
    if (!ShownByDesktop(dialog)) return dialog->selectedFiles().value(0);
    dialog->setDefaultSuffix(QString());  // a stale one would be added to the name
    const QString typed = dialog->selectedFiles().value(0);
    if (typed.isEmpty()) return typed;
    const QString chosenType = dialog->selectedNameFilter();
    const moratutor::ui::SaveName name = moratutor::ui::NameForChosenType(typed, chosenType, filters);
    if (name.extended && QFileInfo::exists(name.path)) {
        QMessageBox question(QMessageBox::Warning, moratutor::ui::ApplicationTitle(),
                             QStringLiteral("%1 уже существует.\nЗаменить его?").arg(QFileInfo(name.path).fileName()),
                             QMessageBox::Yes | QMessageBox::No, dialog->parentWidget());
        question.setDefaultButton(QMessageBox::No);
        if (question.exec() != QMessageBox::Yes) {
            dialog->selectFile(name.path);
            dialog->selectNameFilter(chosenType);
            return std::nullopt;
        }
    }
    return name.path;
}

// Empties the dialog's file name; QFileDialog::selectFile ignores an empty name.
void ClearFileName(QFileDialog* dialog) {
    if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) edit->clear();
}

QString DisplayPath(const QString& path) { return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()); }

// What a path that is not a regular file names, for the user.
QString KindName(moratutor::FileKind kind) {
    switch (kind) {
        case moratutor::FileKind::Directory: return QStringLiteral("папка");
        case moratutor::FileKind::Pipe: return QStringLiteral("именованный канал");
        case moratutor::FileKind::Socket: return QStringLiteral("сокет");
        default: return QStringLiteral("устройство");
    }
}

// The most any type may have (a book, an RTF file).
qint64 LargestLoad() {
    return qint64(std::max({moratutor::codecs::kMaxPlainTextBytes, moratutor::rtf::RtfReadLimits{}.MaxBytes,
                            moratutor::books::BookReadLimits{}.MaxHtmlBytes, moratutor::books::BookReadLimits{}.MaxBytes}));
}

// Each type up to its reader's limit, plain text up to its own: an endless or enormous
// file is refused, never read until memory runs out. Only a regular file is opened at all:
// opening a named pipe waits for a writer, and the window would stand frozen meanwhile. A
// regular file is refused by its size, before it is read (past the first bytes that tell
// its type).
QByteArray ReadWholeFile(const QString& path) {
    using moratutor::ReadOutcome;
    using moratutor::books::DocumentType;
    const moratutor::PathCheck file = moratutor::CheckPath(path);
    if (file.kind == moratutor::FileKind::Missing)
        throw Error(QStringLiteral("Cannot open file \"%1\". %2").arg(DisplayPath(path), file.reason));
    if (file.kind != moratutor::FileKind::Regular)
        throw Error(QStringLiteral("Не удалось загрузить «%1»: это не обычный файл, а %2").arg(DisplayPath(path), KindName(file.kind)));
    if (file.size > LargestLoad()) throw Error(moratutor::books::LoadErrorMessage());
    const ReadOutcome read = moratutor::ReadFileBounded(path, [&file](QByteArrayView head) {
        const moratutor::books::BookReadLimits limits;
        qint64 limit = qint64(limits.MaxBytes);  // books, and zips whose end is not read yet
        switch (moratutor::books::DetectDocumentType(std::string_view(head.data(), std::size_t(head.size())))) {
            case DocumentType::PlainText: limit = qint64(moratutor::codecs::kMaxPlainTextBytes); break;
            case DocumentType::Rtf: limit = qint64(moratutor::rtf::RtfReadLimits{}.MaxBytes); break;
            case DocumentType::Html: limit = qint64(limits.MaxHtmlBytes); break;
            default: break;
        }
        // Stops the read here rather than at the limit.
        if (file.size > limit) throw Error(moratutor::books::LoadErrorMessage());
        return limit;
    });
    if (read.status == ReadOutcome::Status::CannotOpen)
        throw Error(QStringLiteral("Cannot open file \"%1\". %2").arg(DisplayPath(path), read.reason));
    if (read.status != ReadOutcome::Status::Read) throw Error(QStringLiteral("Failed to Load Stream"));
    return read.bytes;
}

// Fills an emptied pane from the bytes of a file, read as their content says (RTF, a book,
// a web page, plain text in whatever encoding the decoder recognises); returns the book's
// details, its title empty when it has none. The document is built aside and put in at once, so
// that a book does not stop the window; a load is not an edit the user could undo, and
// the pane starts a fresh history.
moratutor::books::BookInfo LoadIntoPane(QTextEdit& pane, const QByteArray& bytes, const moratutor::ui::WaitDisplay& wait) {
    const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    moratutor::books::LoadedDocument loaded;
    auto document = moratutor::ui::BuildDocumentAside(pane, wait, [view, &loaded](QTextDocument& target) {
        const moratutor::books::BookReadStatus status = moratutor::books::LoadDocument(view, target, &loaded);
        if (status != moratutor::books::BookReadStatus::Ok)
            throw Error(moratutor::books::LoadErrorMessage(status, loaded));
    });
    moratutor::ui::InstallDocument(pane, std::move(document));
    // Told once the text is in view, so that the user sees what was kept.
    if (loaded.Book.Damaged)
        moratutor::ui::ShowMessageBox(pane.window(), QMessageBox::Warning, moratutor::books::DamagedBookWarning());
    return loaded.Book;
}

// Replaces the file only once every byte is on the disk: a failed save leaves it as it was.
void WriteWholeFile(const QString& path, QByteArrayView bytes, const QString& writeError) {
    const moratutor::SaveOutcome saved = moratutor::SaveFileSafely(path, bytes);
    moratutor::ReturnFreedMemory();
    if (!saved.Saved()) throw Error(moratutor::SaveFailureMessage(path, saved, writeError));
}

void WriteWholeFile(const QString& path, const std::string& bytes, const QString& writeError) {
    WriteWholeFile(path, QByteArrayView(bytes.data(), qsizetype(bytes.size())), writeError);
}

// The first local file among the dragged items; empty when there is none.
QString FirstLocalFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}

}  // namespace

void TFMain::actLoadTextFromFileExecute() {
    if (!OpenDialog) {
        OpenDialog = MakeFileDialog(this, "OpenDialog", OpenFilters());
        OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
        OpenDialog->setFileMode(QFileDialog::ExistingFile);
    }
    OpenDialog->selectNameFilter(OpenFilters().first());
    if (!RunFileDialog(OpenDialog)) return;
    const QStringList chosen = OpenDialog->selectedFiles();
    if (chosen.isEmpty()) return;
    LoadFile(chosen.first());
    ClearFileName(OpenDialog);
}

void TFMain::LoadFile(const QString& path) {
    richSourceText->clear();
    LoadedBook = {};
    const QByteArray bytes = ReadWholeFile(path);
    LastFolder = QFileInfo(path).absolutePath();
    LoadedBook = LoadIntoPane(*richSourceText, bytes, {this, lblProgress, ProgressBar});
    ProgressBar->setValue(0);
}

bool TFMain::HandleFileDrop(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
    auto* drop = static_cast<QDropEvent*>(event);
    const QString path = FirstLocalFile(drop->mimeData());
    if (path.isEmpty()) return false;
    if (Running) {
        // Refused outright, so a pane does not take the file's name as text either.
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop) {
        // Loaded once the drop has ended: the program the file came from is not kept
        // waiting, and an error box does not open inside the drag.
        QTimer::singleShot(0, this, [this, path] {
            if (!Running) moratutor::ui::RunGuarded([this, &path] { LoadFile(path); });
        });
    }
    return true;
}

void TFMain::actSaveTextToFileExecute() {
    if (!SaveDialog) {
        SaveDialog = MakeFileDialog(this, "SaveDialog", SaveFilters());
        SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
        SaveDialog->setFileMode(QFileDialog::AnyFile);
        // Qt asks before replacing a file unless told not to; declining returns to the dialog.
        SaveDialog->setOption(QFileDialog::DontConfirmOverwrite, false);
        connect(SaveDialog, &QFileDialog::filterSelected, this,
                [this](const QString& filter) { moratutor::ui::RunGuarded([&] { SaveDialogTypeChange(filter); }); });
    }
    // Where the user last loaded or saved, with the type last saved.
    const QString lastType = SaveFilters().contains(LastSaveType) ? LastSaveType : SaveFilters().first();
    SaveDialog->selectNameFilter(lastType);
    SaveDialogTypeChange(lastType);
    if (!LastFolder.isEmpty()) SaveDialog->setDirectory(LastFolder);
    std::optional<QString> chosen;
    while (!chosen) {
        if (!RunFileDialog(SaveDialog)) return;
        chosen = ChosenSavePath(SaveDialog, SaveFilters());
    }
    if (chosen->isEmpty()) return;
    const QString path = *chosen;

    const moratutor::ui::BusyCursor busy;
    // The selected type alone decides the format, whatever the name's extension.
    const QTextDocument& converted = *richConvertedText->document();
    const qsizetype type = SaveFilters().indexOf(SaveDialog->selectedNameFilter());
    moratutor::books::BookInfo book = LoadedBook;
    book.Title = BookTitle(path);
    if (type == 1) {
        WriteWholeFile(path, moratutor::rtf::WriteRtf(converted), kFailedToSave);
    } else if (type == 2) {
        const std::optional<std::string> epub = moratutor::books::WriteEpubBook(converted, book);
        if (!epub) throw Error(kFailedToSave);
        WriteWholeFile(path, *epub, kFailedToSave);
    } else if (type == 3) {
        WriteWholeFile(path, moratutor::books::WriteFb2Book(converted, book), kFailedToSave);
    } else {
        WriteWholeFile(path, moratutor::codecs::EncodeUtf8Document(moratutor::ui::DocumentText(*richConvertedText->document())),
                       QStringLiteral("Stream write error"));
    }
    LastSaveType = SaveDialog->selectedNameFilter();
    LastFolder = QFileInfo(path).absolutePath();
    ClearFileName(SaveDialog);
}

void TFMain::SaveDialogTypeChange(const QString& filter) {
    if (!SaveDialog) return;
    const qsizetype type = SaveFilters().indexOf(filter);
    SaveDialog->setDefaultSuffix(SaveSuffixes().at(type < 0 ? 0 : type));
}

QString TFMain::BookTitle(const QString& path) const {
    return LoadedBook.Title.isEmpty() ? QFileInfo(path).completeBaseName() : LoadedBook.Title;
}

void TFMain::actPrintExecute() {
    QPrinter printer(QPrinter::HighResolution);
    moratutor::books::SetHandoutPageLayout(printer);
    printer.setDocName(BookTitle(QString()));
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName(QStringLiteral("PrintDialog"));
    if (dialog.exec() != QDialog::Accepted) return;
    if (!moratutor::books::PrintDocument(*richConvertedText->document(), printer))
        throw Error(QStringLiteral("Не удалось напечатать текст"));
}

void TFMain::actExportPdfExecute() {
    if (!PdfDialog) {
        PdfDialog = MakeFileDialog(this, "PdfDialog", {QStringLiteral("Документ PDF (*.pdf)")});
        PdfDialog->setAcceptMode(QFileDialog::AcceptSave);
        PdfDialog->setFileMode(QFileDialog::AnyFile);
        PdfDialog->setOption(QFileDialog::DontConfirmOverwrite, false);
        PdfDialog->setDefaultSuffix(QStringLiteral("pdf"));
    }
    std::optional<QString> chosen;
    while (!chosen) {
        if (!RunFileDialog(PdfDialog)) return;
        chosen = ChosenSavePath(PdfDialog, PdfDialog->nameFilters());
    }
    if (chosen->isEmpty()) return;
    const QString path = *chosen;
    if (const std::optional<QString> error =
            moratutor::books::ExportPdf(*richConvertedText->document(), path, BookTitle(path)))
        throw Error(*error);
    ClearFileName(PdfDialog);
}

}  // namespace moratutor::ui
