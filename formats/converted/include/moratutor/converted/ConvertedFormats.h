// Carries the formatting of a source document onto the text the conversion pass made of it.
// Outside the answer key's ranges the converted text is the source's own text, so every
// run of a character format and every paragraph maps from source positions to converted
// ones through the key alone; a replaced syllable takes the format of the first character
// it replaced, so a run boundary inside a syllable moves to the syllable's end.
#pragma once

#include "moratutor/ConversionKey.h"

#include <QTextFormat>

#include <cstdint>
#include <string_view>
#include <vector>

class QTextDocument;

namespace moratutor::converted {

// A document's formatting, taken apart from its text: paragraph starts and the starts of
// runs of one character format, as positions of the text DocumentText gives (the pass's
// input), sorted. The formats are copies of their own, so that a document may be built
// from them on another thread while the source goes on being painted.
struct SourceFormats {
    struct Paragraph {
        std::uint32_t Start = 0;
        std::uint32_t BlockFormat = 0;  // indexes into Formats
        std::uint32_t CharFormat = 0;   // the paragraph mark's own (an empty line's height)
    };
    struct Run {
        std::uint32_t Start = 0;
        std::uint32_t Format = 0;
    };
    std::vector<Paragraph> Paragraphs;
    std::vector<Run> Runs;
    std::vector<QTextFormat> Formats;

    // Nothing to carry: one paragraph and character format throughout, both empty, as a
    // plain text has. Such a text is put in as plain text, as fast as ever.
    bool Plain() const;
};

// The formatting of `source`. Run on the document's own thread.
SourceFormats TakeFormats(const QTextDocument& source);

// Moves every position of `formats` from the pass's input to its output `key`.
void MapToConverted(SourceFormats& formats, const AnswerKey& key);

// Fills the empty `document` with `text` (paragraphs at "\n", as setPlainText does),
// formatted as `formats` (mapped to `text`) says.
void FillFormatted(QTextDocument& document, std::u16string_view text, const SourceFormats& formats);

}  // namespace moratutor::converted
