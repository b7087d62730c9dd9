#include "ConvertedFormats.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace moratutor::converted {
namespace {

// A copy that shares nothing mutable with the source document's: Qt's formats cache their
// hash lazily, which two threads must not do to one shared copy. Object indexes (lists,
// tables, frames) name objects of the source document and mean nothing elsewhere.
QTextFormat OwnCopy(const QTextFormat& format) {
    QTextFormat copy(format.type());
    const QMap<int, QVariant> properties = format.properties();
    for (auto it = properties.cbegin(); it != properties.cend(); ++it)
        if (it.key() != QTextFormat::ObjectIndex) copy.setProperty(it.key(), it.value());
    return copy;
}

class FormatTable {
public:
    explicit FormatTable(std::vector<QTextFormat>& formats) : formats_(formats) {}
    std::uint32_t Intern(int index, const QTextFormat& format) {
        const auto [found, added] = indexes_.try_emplace(index, static_cast<std::uint32_t>(formats_.size()));
        if (added) formats_.push_back(OwnCopy(format));
        return found->second;
    }

private:
    std::vector<QTextFormat>& formats_;
    std::unordered_map<int, std::uint32_t> indexes_;
};

// Positions sorted ascending, mapped in one walk along the key. `shift` is what the
// entries passed so far lengthened the text (negative: shortened).
template <class Item>
void MapPositions(std::vector<Item>& items, const AnswerKey& key) {
    std::size_t next = 0;
    std::int64_t shift = 0;
    for (Item& item : items) {
        const std::int64_t position = item.Start;
        for (; next < key.size(); ++next) {
            const KeyEntry& entry = key[next];
            const std::int64_t sourceEnd = entry.Offset - shift + entry.SourceLength;
            if (sourceEnd > position) break;
            shift += std::int64_t{entry.Length} - entry.SourceLength;
        }
        // Inside a replaced syllable: the kana stay with the format of its first letter.
        if (next < key.size() && key[next].Offset - shift < position)
            item.Start = static_cast<std::uint32_t>(key[next].End());
        else
            item.Start = static_cast<std::uint32_t>(position + shift);
    }
}

QString Slice(std::u16string_view text, std::size_t from, std::size_t to) {
    return QString::fromRawData(reinterpret_cast<const QChar*>(text.data() + from), static_cast<qsizetype>(to - from));
}

bool IsEmpty(const QTextFormat& format) { return format.propertyCount() == 0; }

// Gives the runs of one paragraph, [from, to) of the text, their formats; `run` is the run
// at `from` on entry and the one at `to` on return. Runs of no format are left as they are.
void FormatRuns(QTextCursor& cursor, std::size_t from, std::size_t to, const SourceFormats& formats, std::size_t& run) {
    const auto& runs = formats.Runs;
    if (runs.empty()) return;
    while (run + 1 < runs.size() && runs[run + 1].Start <= from) ++run;
    for (std::size_t position = from; position < to;) {
        const std::size_t runEnd =
            std::min<std::size_t>(to, run + 1 < runs.size() ? runs[run + 1].Start : std::numeric_limits<std::size_t>::max());
        const QTextFormat& format = formats.Formats[runs[run].Format];
        if (runEnd > position && !IsEmpty(format)) {
            cursor.setPosition(static_cast<int>(position));
            cursor.setPosition(static_cast<int>(runEnd), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format.toCharFormat());
        }
        position = std::max(position, runEnd);
        if (position < to) ++run;
    }
}

bool SameText(const QTextDocument& document, std::u16string_view text) {
    const QString raw = document.toRawText();
    if (static_cast<std::size_t>(raw.size()) != text.size()) return false;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        char16_t c = raw[i].unicode();
        if (c == u'\u2029' || c == u'\uFDD0' || c == u'\uFDD1') c = u'\n';
        if (c != text[static_cast<std::size_t>(i)]) return false;
    }
    return true;
}

}  // namespace

bool SourceFormats::Plain() const {
    const auto empty = [this](std::uint32_t index) { return Formats[index].propertyCount() == 0; };
    if (Runs.size() > 1 || (Runs.size() == 1 && !empty(Runs[0].Format))) return false;
    return std::all_of(Paragraphs.begin(), Paragraphs.end(),
                       [&empty](const Paragraph& p) { return empty(p.BlockFormat) && empty(p.CharFormat); });
}

SourceFormats TakeFormats(const QTextDocument& source) {
    SourceFormats taken;
    FormatTable table(taken.Formats);
    for (QTextBlock block = source.begin(); block.isValid(); block = block.next()) {
        taken.Paragraphs.push_back({static_cast<std::uint32_t>(block.position()),
                                    table.Intern(block.blockFormatIndex(), block.blockFormat()),
                                    table.Intern(block.charFormatIndex(), block.charFormat())});
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const std::uint32_t format = table.Intern(fragment.charFormatIndex(), fragment.charFormat());
            if (taken.Runs.empty() || taken.Runs.back().Format != format)
                taken.Runs.push_back({static_cast<std::uint32_t>(fragment.position()), format});
        }
    }
    return taken;
}

void MapToConverted(SourceFormats& formats, const AnswerKey& key) {
    if (key.empty()) return;
    MapPositions(formats.Paragraphs, key);
    MapPositions(formats.Runs, key);
}

void FillFormatted(QTextDocument& document, std::u16string_view text, const SourceFormats& formats) {
    // The text goes in whole, as a plain text does, and the formats onto it: one buffer of
    // the text's size rather than one grown by every run.
    document.setPlainText(Slice(text, 0, text.size()));
    const auto& paragraphs = formats.Paragraphs;
    if (paragraphs.empty() || document.blockCount() != static_cast<int>(paragraphs.size()) || !SameText(document, text)) {
        // The answer key and its highlight stand on the pane's text being the pass's output
        // to the unit; a source whose paragraphs do not map so (a table's frames) keeps
        // the plain text.
        return;
    }
    QTextCursor cursor(&document);
    std::size_t run = 0;
    QTextBlock block = document.begin();
    for (std::size_t p = 0; p < paragraphs.size(); ++p, block = block.next()) {
        const std::size_t from = std::min<std::size_t>(paragraphs[p].Start, text.size());
        const std::size_t to = p + 1 < paragraphs.size() ? std::clamp<std::size_t>(paragraphs[p + 1].Start, from + 1, text.size() + 1) - 1 : text.size();
        FormatRuns(cursor, from, to, formats, run);
        const QTextFormat& blockFormat = formats.Formats[paragraphs[p].BlockFormat];
        const QTextFormat& mark = formats.Formats[paragraphs[p].CharFormat];
        if (IsEmpty(blockFormat) && IsEmpty(mark)) continue;
        cursor.setPosition(block.position());
        if (!IsEmpty(blockFormat)) cursor.setBlockFormat(blockFormat.toBlockFormat());
        if (!IsEmpty(mark)) cursor.setBlockCharFormat(mark.toCharFormat());
    }
}

}  // namespace moratutor::converted
