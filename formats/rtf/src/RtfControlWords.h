// The RTF control words the reader knows, and the lexical helpers it reads them with.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>

namespace moratutor::rtf::detail {

// Control words, grouped by the destination they act in.
enum class Word {
    Unknown,
    // the document, wherever they stand
    Rtf, Ansi, Mac, Pc, Pca, AnsiCpg, Deff, UnicodeSkip,
    // words that open a destination
    FontTable, ColorTable, SkipDestination, Field, FieldResult, ListText,
    // the font table
    Font, FontCharset, FontCodePage,
    // the colour table
    Red, Green, Blue,
    // text
    Par, Line, Tab, Cell, Row, Page, Unicode, Bin, Symbol,
    // character formatting
    Plain, Bold, Italic, Underline, UnderlineNone, Strike, FontSize, Color, Highlight, Shading, Hidden,
    Sub, Super, NoSuperSub, Up, Down,
    // runs of one script and their associated properties
    SingleByteRun, DoubleByteRun, RightToLeftRun, LeftToRightRun, AssocBold, AssocItalic, AssocSize,
    // paragraph formatting
    Pard, AlignLeft, AlignCenter, AlignRight, AlignJustify,
};

// A control word's number: formatting words without one, or with one other than 0, turn on.
struct Parameter {
    bool given = false;
    std::int32_t value = 0;
    bool On() const { return !given || value != 0; }
};

struct WordInfo {
    Word word;
    char16_t symbol = 0;  // for Word::Symbol
};

// Every control word the reader acts on, by name.
const std::unordered_map<std::string_view, WordInfo>& WordTable();

inline bool IsLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

inline int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace moratutor::rtf::detail
