#include "moratutor/converted/ConvertedFormats.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <limits>

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

// The document's formats by their index in its collection, each copied once: asking a
// fragment for its format makes a copy, which for a book's every run costs more than all
// the rest of the transfer.
class FormatTable {
public:
    FormatTable(const QTextDocument& document, std::vector<QTextFormat>& formats)
        : all_(document.allFormats()), formats_(formats) {}
    std::uint32_t Intern(int index) {
        if (index < 0 || index >= all_.size()) index = -1;
        const std::size_t slot = static_cast<std::size_t>(index + 1);
        if (slot >= ours_.size()) ours_.resize(static_cast<std::size_t>(all_.size()) + 1, kNone);
        if (ours_[slot] == kNone) {
            ours_[slot] = static_cast<std::uint32_t>(formats_.size());
            formats_.push_back(index < 0 ? QTextFormat() : OwnCopy(all_[index]));
        }
        return ours_[slot];
    }

private:
    static constexpr std::uint32_t kNone = ~std::uint32_t{0};
    const QList<QTextFormat> all_;
    std::vector<QTextFormat>& formats_;
    std::vector<std::uint32_t> ours_;  // by index + 1
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

// The runs of one paragraph, [from, to) of the text; `run` is the run at `from` on entry
// and the one at `to` on return.
void InsertRuns(QTextCursor& cursor, std::u16string_view text, std::size_t from, std::size_t to,
                const SourceFormats& formats, std::size_t& run) {
    const auto& runs = formats.Runs;
    if (runs.empty()) {
        if (to > from) cursor.insertText(Slice(text, from, to), QTextCharFormat());
        return;
    }
    while (run + 1 < runs.size() && runs[run + 1].Start <= from) ++run;
    for (std::size_t position = from; position < to;) {
        const std::size_t runEnd =
            std::min<std::size_t>(to, run + 1 < runs.size() ? runs[run + 1].Start : std::numeric_limits<std::size_t>::max());
        if (runEnd > position)
            cursor.insertText(Slice(text, position, runEnd), formats.Formats[runs[run].Format].toCharFormat());
        position = std::max(position, runEnd);
        if (position < to) ++run;
    }
}

// Paragraph by paragraph: the document's whole text at once would be one more copy of a
// book at the conversion's peak.
bool SameText(const QTextDocument& document, std::u16string_view text) {
    if (static_cast<std::size_t>(document.characterCount()) != text.size() + 1) return false;
    std::size_t at = 0;
    const auto same = [&text, &at](char16_t c) {
        if (c == u'\u2029' || c == u'\uFDD0' || c == u'\uFDD1') c = u'\n';
        return at < text.size() && text[at++] == c;
    };
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QString piece = block.text();
        if (!std::all_of(piece.cbegin(), piece.cend(), [&same](QChar c) { return same(c.unicode()); })) return false;
        // The mark that ends the paragraph; the document's last one is not in its text.
        if (block.next().isValid() && !same(u'\n')) return false;
    }
    return at == text.size();
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
    // A plain text's collection holds empty formats alone: nothing to walk the book for.
    const QList<QTextFormat> all = source.allFormats();
    if (std::all_of(all.begin(), all.end(), [](const QTextFormat& format) {
            return (format.isCharFormat() || format.isBlockFormat()) ? format.propertyCount() == 0 : format.isFrameFormat();
        }))
        return taken;
    FormatTable table(source, taken.Formats);
    // Positions added up from the paragraphs' lengths and the fragments' along each: a
    // paragraph's or fragment's own position() climbs the document's tree each time.
    std::uint32_t start = 0;
    for (QTextBlock block = source.begin(); block.isValid(); block = block.next()) {
        taken.Paragraphs.push_back({start, table.Intern(block.blockFormatIndex()), table.Intern(block.charFormatIndex())});
        std::uint32_t position = start;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const std::uint32_t format = table.Intern(fragment.charFormatIndex());
            if (taken.Runs.empty() || taken.Runs.back().Format != format) taken.Runs.push_back({position, format});
            position += static_cast<std::uint32_t>(fragment.length());
        }
        start += static_cast<std::uint32_t>(block.length());
    }
    return taken;
}

void MapToConverted(SourceFormats& formats, const AnswerKey& key) {
    if (key.empty()) return;
    MapPositions(formats.Paragraphs, key);
    MapPositions(formats.Runs, key);
}

void FillFormatted(QTextDocument& document, std::u16string_view text, const SourceFormats& formats) {
    QTextCursor cursor(&document);
    const auto& paragraphs = formats.Paragraphs;
    std::size_t run = 0;
    for (std::size_t p = 0; p < paragraphs.size(); ++p) {
        const std::size_t from = std::min<std::size_t>(paragraphs[p].Start, text.size());
        // Up to the next paragraph's mark ("\n"), which insertBlock stands for.
        const std::size_t to = p + 1 < paragraphs.size()
                                   ? std::clamp<std::size_t>(paragraphs[p + 1].Start, from + 1, text.size() + 1) - 1
                                   : text.size();
        const QTextBlockFormat block = formats.Formats[paragraphs[p].BlockFormat].toBlockFormat();
        const QTextCharFormat mark = formats.Formats[paragraphs[p].CharFormat].toCharFormat();
        if (p == 0) {
            cursor.setBlockFormat(block);
            cursor.setBlockCharFormat(mark);
        } else {
            cursor.insertBlock(block, mark);
        }
        InsertRuns(cursor, text, from, to, formats, run);
    }
    // The answer key and its highlight stand on the pane's text being the pass's output to
    // the unit; a source whose structure does not map so (frames of a table) keeps its text.
    if (paragraphs.empty() || !SameText(document, text)) {
        document.clear();
        document.setPlainText(Slice(text, 0, text.size()));
    }
}

}  // namespace moratutor::converted
