#include "ConvertedOutput.h"

#include "AnswerKeyFile.h"
#include "SafeFile.h"

#include "moratutor/Utf8.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace moratutor::convert {

namespace {

std::string KeyFailure(const std::string& path, const SaveOutcome& outcome) {
    if (outcome.status == SaveOutcome::Status::NotRegular)
        return "Cannot write the answer key \"" + path + "\": not a regular file";
    return "Cannot write the answer key \"" + path + "\". " + outcome.reason.toLocal8Bit().toStdString();
}

// The key in a temporary file beside its place, every byte on the disk, not yet named.
void StageKey(PendingSave& keyFile, const std::string& path, std::u16string_view text, const AnswerKey& key) {
    if (const SaveOutcome begun = keyFile.Begin(QString::fromLocal8Bit(path)); !begun.Saved())
        throw DocumentError(KeyFailure(path, begun));
    // In chunks: the key of a long text runs to megabytes that need not be held at once. A
    // failed chunk is kept by the save, and the chunks after it are not written.
    FormatAnswerKey(text, key, [&keyFile](std::string_view chunk) {
        keyFile.Append(QByteArrayView(chunk.data(), static_cast<qsizetype>(chunk.size())));
    });
    if (const SaveOutcome finished = keyFile.Finish(); !finished.Saved())
        throw DocumentError(KeyFailure(path, finished));
}

void WriteText(const Settings& settings, std::u16string& text, const std::string& title,
               const converted::SourceFormats& formats, const books::BookInfo& details) {
    if (!settings.Output.empty()) {
        WriteDocumentFile(settings.Output, RenderDocument(settings.EffectiveFormat(), text, title, formats,
                                                          ZippedEntryName(settings.Output), details));
        return;
    }
    // Nothing is written before the whole text is converted.
    const std::string output = codecs::EncodeUtf8(text);
    text.clear();
    if (!WriteAll(STDOUT_FILENO, output))
        throw DocumentError(std::string("Cannot write the converted text. ") + std::strerror(errno));
}

}  // namespace

bool WriteAll(int fd, std::string_view data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void WriteConverted(const Settings& settings, std::u16string& text, std::optional<AnswerKey> key,
                    const std::string& title, const converted::SourceFormats& formats,
                    const books::BookInfo& details) {
    PendingSave keyFile;  // discarded, with the old key kept, when anything below fails
    const bool withKey = key.has_value();
    if (withKey) {
        StageKey(keyFile, settings.AnswerKeyFile.value(), text, *key);
        key.reset();  // the entries are on the disk; the output needs the memory more
    }
    WriteText(settings, text, title, formats, details);
    if (withKey) {
        if (const SaveOutcome committed = keyFile.Commit(); !committed.Saved())
            throw DocumentError(KeyFailure(*settings.AnswerKeyFile, committed));
    }
}

}  // namespace moratutor::convert
