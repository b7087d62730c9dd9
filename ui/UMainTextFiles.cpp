// Loading a text into the source pane, saving the converted text as UTF-8 or RTF.
#include "UMain.h"

#include <QAbstractItemView>
#include <QByteArray>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QStringList>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <optional>
#include <string>
#include <string_view>

#include "MessageBoxes.h"
#include "PaneText.h"
#include "RtfReader.h"
#include "RtfWriter.h"
#include "SafeFile.h"
#include "RussianFileDetails.h"
#include "SaveName.h"
#include "moratutor/TextDecoder.h"
#include "moratutor/Utf8Writer.h"

namespace {

using moratutor::ui::Error;

const QStringList& OpenFilters() {
    static const QStringList filters{QStringLiteral("Текстовые файлы (*.txt)"), QStringLiteral("Файлы RTF (*.rtf)")};
    return filters;
}

const QStringList& SaveFilters() {
    static const QStringList filters{QStringLiteral("Текстовый файл UTF-8 (*.txt)"), QStringLiteral("Файл RTF (*.rtf)")};
    return filters;
}

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

// RTF up to its reader's limit, plain text up to its own: an endless or enormous file is
// refused, never read until memory runs out.
QByteArray ReadWholeFile(const QString& path) {
    using moratutor::ReadOutcome;
    const ReadOutcome read = moratutor::ReadFileBounded(path, [](QByteArrayView head) {
        return qint64(moratutor::rtf::LooksLikeRtf(std::string_view(head.data(), std::size_t(head.size())))
                          ? moratutor::rtf::RtfReadLimits{}.MaxBytes
                          : moratutor::codecs::kMaxPlainTextBytes);
    });
    if (read.status == ReadOutcome::Status::CannotOpen)
        throw Error(QStringLiteral("Cannot open file \"%1\". %2").arg(DisplayPath(path), read.reason));
    if (read.status != ReadOutcome::Status::Read) throw Error(QStringLiteral("Failed to Load Stream"));
    return read.bytes;
}

// Fills an emptied pane from the bytes of a file: RTF when they begin as RTF does,
// plain text in whatever encoding the decoder recognises otherwise.
void LoadIntoPane(QTextEdit& pane, const QByteArray& bytes) {
    const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    QTextDocument* document = pane.document();
    // A load is not an edit the user could undo; the pane starts a fresh history.
    document->setUndoRedoEnabled(false);
    if (moratutor::rtf::LooksLikeRtf(view)) {
        const moratutor::rtf::RtfReadStatus status = moratutor::rtf::ReadRtf(view, *document);
        document->setUndoRedoEnabled(true);
        if (status != moratutor::rtf::RtfReadStatus::Ok) throw Error(QStringLiteral("Failed to Load Stream"));
    } else {
        const std::u16string text = moratutor::codecs::DecodeText(view);
        QTextCursor cursor(document);
        cursor.insertText(QString::fromStdU16String(text));
        document->setUndoRedoEnabled(true);
    }
    pane.moveCursor(QTextCursor::Start);
}

// Replaces the file only once every byte is on the disk: a failed save leaves it as it was.
void WriteWholeFile(const QString& path, const std::string& bytes, const QString& writeError) {
    const moratutor::SaveOutcome saved =
        moratutor::SaveFileSafely(path, QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (saved.status == moratutor::SaveOutcome::Status::CannotCreate)
        throw Error(QStringLiteral("Cannot create file \"%1\". %2").arg(DisplayPath(path), saved.reason));
    if (!saved.Saved()) throw Error(writeError);
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
    const QString path = chosen.first();

    richSourceTextAnsi->clear();
    const QByteArray bytes = ReadWholeFile(path);
    LoadIntoPane(*richSourceTextAnsi, bytes);

    ClearFileName(OpenDialog);
    ProgressBar->setValue(0);
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
    SaveDialog->selectNameFilter(SaveFilters().first());
    SaveDialogTypeChange(SaveFilters().first());
    std::optional<QString> chosen;
    while (!chosen) {
        if (!RunFileDialog(SaveDialog)) return;
        chosen = ChosenSavePath(SaveDialog, SaveFilters());
    }
    if (chosen->isEmpty()) return;
    const QString path = *chosen;

    // The selected type alone decides the format, whatever the name's extension.
    if (SaveDialog->selectedNameFilter() == SaveFilters().at(1)) {
        WriteWholeFile(path, moratutor::rtf::WriteRtf(*richConvertedTextUnicode->document()),
                       QStringLiteral("Failed to Save Stream"));
    } else {
        WriteWholeFile(path, moratutor::codecs::EncodeUtf8Document(moratutor::ui::DocumentText(*richConvertedTextUnicode->document())),
                       QStringLiteral("Stream write error"));
    }
    ClearFileName(SaveDialog);
}

void TFMain::SaveDialogTypeChange(const QString& filter) {
    if (!SaveDialog) return;
    SaveDialog->setDefaultSuffix(filter == SaveFilters().at(1) ? QStringLiteral("rtf") : QStringLiteral("txt"));
}
