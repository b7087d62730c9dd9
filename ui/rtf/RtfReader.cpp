#include "RtfReader.h"

#include "CodePages.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace moratutor::rtf {
namespace {

// Where the text of a group goes.
enum class Destination { Text, FontTable, ColorTable, Skip };

struct CharProps {
    int font = -1;
    int sizeHalfPoints = 0;  // 0: not given, the document's own size applies
    int color = 0;
    int highlight = 0;
    bool bold = false;
    bool italic = false;
    // Double-byte (kana, kanji) runs may have their own weight, slant and size: \b sets both,
    // \ab, \ai and \afs after \dbch only these (LibreOffice writes kana bold that way).
    bool asianBold = false;
    bool asianItalic = false;
    int asianSizeHalfPoints = 0;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    int verticalShift = 0;  // -1 subscript, 1 superscript
};

struct GroupState {
    Destination destination = Destination::Text;
    CharProps chars;
    Qt::Alignment alignment = Qt::AlignLeft;
    int unicodeSkip = 1;  // \ucN: characters that stand in for each \uN
    bool doubleByteRun = false;  // after \dbch, until \loch or \hich
    bool rightToLeft = false;    // after \rtlch, until \ltrch: \a* words then describe complex scripts
};

struct FontInfo {
    std::u16string name;
    int codePage = 0;  // 0: the document's code page
};

enum class Word {
    Unknown,
    // document
    Rtf, Ansi, Mac, Pc, Pca, AnsiCpg, Deff,
    // destinations
    FontTable, ColorTable, SkipDestination, Field, FieldResult,
    // font table entries
    Font, FontCharset, FontCodePage,
    // colour table entries
    Red, Green, Blue,
    // text
    Par, Line, Tab, Cell, Row, Page, Unicode, UnicodeSkip, Bin,
    Symbol,
    // formatting
    Plain, Pard, Bold, Italic, Underline, UnderlineNone, Strike, FontSize, Color, Highlight, Hidden,
    Sub, Super, NoSuperSub, AlignLeft, AlignCenter, AlignRight, AlignJustify,
    // runs of one script and their associated properties
    SingleByteRun, DoubleByteRun, RightToLeftRun, LeftToRightRun, AssocBold, AssocItalic, AssocSize,
};

struct WordInfo {
    Word word;
    char16_t symbol = 0;  // for Word::Symbol
};

const std::unordered_map<std::string_view, WordInfo>& WordTable() {
    static const std::unordered_map<std::string_view, WordInfo> table = [] {
        std::unordered_map<std::string_view, WordInfo> t{
            {"rtf", {Word::Rtf}}, {"ansi", {Word::Ansi}}, {"mac", {Word::Mac}}, {"pc", {Word::Pc}},
            {"pca", {Word::Pca}}, {"ansicpg", {Word::AnsiCpg}}, {"deff", {Word::Deff}},
            {"fonttbl", {Word::FontTable}}, {"colortbl", {Word::ColorTable}},
            {"field", {Word::Field}}, {"fldrslt", {Word::FieldResult}},
            {"f", {Word::Font}}, {"fcharset", {Word::FontCharset}}, {"cpg", {Word::FontCodePage}},
            {"red", {Word::Red}}, {"green", {Word::Green}}, {"blue", {Word::Blue}},
            {"par", {Word::Par}}, {"sect", {Word::Par}}, {"line", {Word::Line}}, {"tab", {Word::Tab}},
            {"cell", {Word::Cell}}, {"nestcell", {Word::Cell}}, {"row", {Word::Row}},
            {"nestrow", {Word::Row}}, {"page", {Word::Page}}, {"column", {Word::Page}},
            {"u", {Word::Unicode}}, {"uc", {Word::UnicodeSkip}}, {"bin", {Word::Bin}},
            {"plain", {Word::Plain}}, {"pard", {Word::Pard}}, {"b", {Word::Bold}}, {"i", {Word::Italic}},
            {"ulnone", {Word::UnderlineNone}}, {"strike", {Word::Strike}}, {"striked", {Word::Strike}},
            {"fs", {Word::FontSize}}, {"cf", {Word::Color}}, {"highlight", {Word::Highlight}},
            {"v", {Word::Hidden}}, {"sub", {Word::Sub}}, {"super", {Word::Super}},
            {"nosupersub", {Word::NoSuperSub}}, {"ql", {Word::AlignLeft}}, {"qc", {Word::AlignCenter}},
            {"qr", {Word::AlignRight}}, {"qj", {Word::AlignJustify}}, {"qd", {Word::AlignJustify}},
            {"loch", {Word::SingleByteRun}}, {"hich", {Word::SingleByteRun}}, {"dbch", {Word::DoubleByteRun}},
            {"rtlch", {Word::RightToLeftRun}}, {"ltrch", {Word::LeftToRightRun}}, {"ab", {Word::AssocBold}},
            {"ai", {Word::AssocItalic}}, {"afs", {Word::AssocSize}},
            // symbol words
            {"emdash", {Word::Symbol, u'\u2014'}}, {"endash", {Word::Symbol, u'\u2013'}},
            {"emspace", {Word::Symbol, u'\u2003'}}, {"enspace", {Word::Symbol, u'\u2002'}},
            {"qmspace", {Word::Symbol, u'\u2005'}}, {"bullet", {Word::Symbol, u'\u2022'}},
            {"lquote", {Word::Symbol, u'\u2018'}}, {"rquote", {Word::Symbol, u'\u2019'}},
            {"ldblquote", {Word::Symbol, u'\u201C'}}, {"rdblquote", {Word::Symbol, u'\u201D'}},
            {"zwj", {Word::Symbol, u'\u200D'}}, {"zwnj", {Word::Symbol, u'\u200C'}},
            {"zwbo", {Word::Symbol, u'\u200B'}}, {"ltrmark", {Word::Symbol, u'\u200E'}},
            {"rtlmark", {Word::Symbol, u'\u200F'}},
        };
        // Every kind of underline shows as one; \ulc (its colour) is not among them.
        for (std::string_view ul : {"ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave", "ulldash",
                                    "ulth", "ulthd", "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash",
                                    "ululdbwave", "ulw", "ulwave"}) {
            t.emplace(ul, WordInfo{Word::Underline});
        }
        // Destinations whose content is not part of the visible text.
        for (std::string_view skip :
             {"stylesheet", "info", "pict", "header", "headerl", "headerr", "headerf", "footer", "footerl",
              "footerr", "footerf", "footnote", "fldinst", "themedata", "colorschememapping", "latentstyles",
              "datastore", "xmlnstbl", "listtable", "listoverridetable", "rsidtbl", "generator", "pgdsctbl",
              "shp", "shpinst", "shppict", "nonshppict", "bkmkstart", "bkmkend", "ftnsep", "ftnsepc",
              "aftnsep", "aftnsepc", "template", "userprops", "docvar", "revtbl", "filetbl", "mmathPr",
              "objdata", "objclass", "objname", "objalias", "objsect", "objtime", "xe", "tc", "txe",
              "annotation", "atnid", "atnauthor", "atndate", "atnref", "pn", "pntxta", "pntxtb", "defchp",
              "defpap", "private", "upr", "wgrffmtfilter", "passwordhash", "fchars", "lchars", "panose",
              "falt", "leveltext", "levelnumbers", "operator", "author", "title", "subject", "keywords",
              "comment", "doccomm", "company", "category", "manager", "hlinkbase", "nesttableprops",
              "sp", "sn", "sv", "blipuid", "mhtmltag", "htmltag", "ud", "ebcstart", "ebcend"}) {
            t.emplace(skip, WordInfo{Word::SkipDestination});
        }
        return t;
    }();
    return table;
}

bool IsLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Reader {
public:
    Reader(std::string_view in, QTextDocument& document, const RtfReadLimits& limits)
        : in_(in), document_(document), limits_(limits), cursor_(&document) {}

    RtfReadStatus Run() {
        cursor_.movePosition(QTextCursor::End);
        const int start = cursor_.position();
        cursor_.beginEditBlock();
        RtfReadStatus status = Parse();
        if (status == RtfReadStatus::Ok) {
            FlushText();
            if (ParagraphsKept() > limits_.MaxParagraphs) status = RtfReadStatus::TooLarge;
        }
        if (status == RtfReadStatus::Ok) {
            // The last \par ends the last paragraph rather than opening an empty one, as word
            // processors read it: "a\par}" is one paragraph.
            if (emptyBlockAfterPar_) {
                cursor_.movePosition(QTextCursor::End);
                cursor_.deletePreviousChar();
            }
        } else {
            cursor_.setPosition(start);
            cursor_.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            cursor_.removeSelectedText();
        }
        cursor_.endEditBlock();
        return status;
    }

private:
    RtfReadStatus Parse() {
        while (pos_ < in_.size()) {
            if (ParagraphsKept() > limits_.MaxParagraphs) return RtfReadStatus::TooLarge;
            const unsigned char c = static_cast<unsigned char>(in_[pos_]);
            if (c == '{') {
                ++pos_;
                if (static_cast<int>(stack_.size()) >= limits_.MaxDepth) return RtfReadStatus::TooDeep;
                FlushText();
                stack_.push_back(state_);
                skipCount_ = 0;
            } else if (c == '}') {
                ++pos_;
                EndGroup();
                // The closing brace of the outermost group ends the document.
                if (stack_.empty()) return RtfReadStatus::Ok;
            } else if (c == '\\') {
                ++pos_;
                ControlSequence();
            } else if (c == '\r' || c == '\n') {
                ++pos_;  // line ends in the file are not text
            } else {
                ++pos_;
                if (!SkipOneCharacter()) TextByte(c);
            }
        }
        return RtfReadStatus::Ok;  // truncated: what was read stays
    }

    void EndGroup() {
        if (stack_.empty()) return;
        FlushText();
        if (state_.destination == Destination::FontTable) FinishFont();
        const Destination closing = state_.destination;
        state_ = stack_.back();
        stack_.pop_back();
        skipCount_ = 0;
        // A font entry written without its ";" ends with its group.
        if (closing == Destination::FontTable && state_.destination != Destination::FontTable) FinishFont();
    }

    // The \par words that open a paragraph the document keeps: the last one may only end one.
    std::size_t ParagraphsKept() const { return paragraphs_ - (emptyBlockAfterPar_ ? 1 : 0); }

    // Consumes one of the characters that stand in for a \uN; true when one was consumed.
    bool SkipOneCharacter() {
        if (skipCount_ <= 0) return false;
        --skipCount_;
        return true;
    }

    void ControlSequence() {
        if (pos_ >= in_.size()) return;
        const unsigned char c = static_cast<unsigned char>(in_[pos_]);
        if (!IsLetter(c)) {
            ++pos_;
            ControlSymbol(c);
            return;
        }
        const std::size_t nameStart = pos_;
        while (pos_ < in_.size() && IsLetter(static_cast<unsigned char>(in_[pos_]))) ++pos_;
        const std::string_view name = in_.substr(nameStart, pos_ - nameStart);

        bool hasParam = false;
        bool negative = false;
        std::int64_t value = 0;
        if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() &&
            IsDigit(static_cast<unsigned char>(in_[pos_ + 1]))) {
            negative = true;
            ++pos_;
        }
        while (pos_ < in_.size() && IsDigit(static_cast<unsigned char>(in_[pos_]))) {
            hasParam = true;
            // Overlong numbers saturate rather than overflow.
            if (value < 100000000000LL) value = value * 10 + (in_[pos_] - '0');
            ++pos_;
        }
        if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;  // the delimiter belongs to the word
        value = std::clamp<std::int64_t>(negative ? -value : value, INT32_MIN, INT32_MAX);
        ControlWord(name, hasParam, static_cast<std::int32_t>(value));
    }

    void ControlSymbol(unsigned char c) {
        if (c == '\'') {
            int byte = 0;
            int digits = 0;
            while (digits < 2 && pos_ < in_.size()) {
                const int h = HexValue(static_cast<unsigned char>(in_[pos_]));
                if (h < 0) break;
                byte = byte * 16 + h;
                ++digits;
                ++pos_;
            }
            if (SkipOneCharacter() || digits == 0) return;
            TextByte(static_cast<unsigned char>(byte));
            return;
        }
        if (SkipOneCharacter()) return;
        switch (c) {
        case '\\':
        case '{':
        case '}':
            TextByte(c);
            break;
        case '~': TextUnit(u'\u00A0'); break;
        case '_': TextUnit(u'\u2011'); break;
        case '-': TextUnit(u'\u00AD'); break;
        case '\t': TextUnit(u'\t'); break;
        case '\r':
        case '\n':
            Paragraph();
            break;
        case '*':
            FlushText();
            state_.destination = Destination::Skip;
            break;
        default:
            break;  // \: \| and unknown symbols show nothing
        }
    }

    void ControlWord(std::string_view name, bool hasParam, std::int32_t value) {
        const auto& table = WordTable();
        const auto found = table.find(name);
        const WordInfo info = found == table.end() ? WordInfo{Word::Unknown} : found->second;

        if (info.word == Word::Bin) {
            // The binary bytes stand in for one character, and are never text.
            const std::size_t length = hasParam && value > 0 ? static_cast<std::size_t>(value) : 0;
            pos_ += std::min(length, in_.size() - pos_);
            SkipOneCharacter();
            return;
        }
        if (info.word == Word::Unicode) {
            if (SkipOneCharacter() || !hasParam) return;
            TextUnit(static_cast<char16_t>(static_cast<std::uint32_t>(value) & 0xFFFF));
            skipCount_ = state_.unicodeSkip;
            return;
        }
        if (SkipOneCharacter()) return;
        if (state_.destination == Destination::Skip) return;

        const bool on = !hasParam || value != 0;
        switch (info.word) {
        case Word::Unknown:
        case Word::Rtf:
        case Word::Unicode:
        case Word::Bin:
        case Word::Field:
            break;
        case Word::Ansi: codePage_ = 1252; break;
        case Word::Mac: codePage_ = 10000; break;
        case Word::Pc: codePage_ = 437; break;
        case Word::Pca: codePage_ = 850; break;
        case Word::AnsiCpg:
            if (hasParam && value > 0) codePage_ = value;
            break;
        case Word::Deff:
            if (hasParam) {
                defaultFont_ = value;
                if (state_.chars.font < 0) state_.chars.font = value;
            }
            break;
        case Word::FontTable:
            FlushText();
            state_.destination = Destination::FontTable;
            break;
        case Word::ColorTable:
            FlushText();
            state_.destination = Destination::ColorTable;
            colors_.clear();
            ResetColor();
            break;
        case Word::SkipDestination:
            FlushText();
            state_.destination = Destination::Skip;
            break;
        case Word::FieldResult:
            FlushText();
            state_.destination = Destination::Text;
            break;
        case Word::Font:
            if (!hasParam) break;
            if (state_.destination == Destination::FontTable) {
                FinishFont();
                definingFont_ = value;
                fonts_[value] = FontInfo{};
            } else {
                FlushText();
                state_.chars.font = value;
            }
            break;
        case Word::FontCharset:
            if (state_.destination == Destination::FontTable && definingFont_ && hasParam) {
                FontInfo& font = fonts_[*definingFont_];
                if (font.codePage == 0) font.codePage = CodePageForCharset(value, 0);
            }
            break;
        case Word::FontCodePage:
            if (state_.destination == Destination::FontTable && definingFont_ && hasParam && value > 0) {
                fonts_[*definingFont_].codePage = value;
            }
            break;
        case Word::Red:
        case Word::Green:
        case Word::Blue:
            if (state_.destination == Destination::ColorTable) {
                const int component = std::clamp(hasParam ? value : 0, 0, 255);
                colorGiven_ = true;
                if (info.word == Word::Red) red_ = component;
                if (info.word == Word::Green) green_ = component;
                if (info.word == Word::Blue) blue_ = component;
            }
            break;
        case Word::Par:
        case Word::Row:
        case Word::Page:
            Paragraph();
            break;
        // Breaks and tabs belong to the text; in a font name they would only garble it.
        case Word::Line:
            if (state_.destination == Destination::Text) TextUnit(u'\u2028');
            break;
        case Word::Tab:
        case Word::Cell:
            if (state_.destination == Destination::Text) TextUnit(u'\t');
            break;
        case Word::UnicodeSkip:
            if (hasParam) state_.unicodeSkip = std::clamp(value, 0, 1 << 16);
            break;
        case Word::Symbol: TextUnit(info.symbol); break;
        case Word::Plain:
            FlushText();
            state_.chars = CharProps{};
            state_.chars.font = defaultFont_;
            break;
        case Word::Pard:
            FlushText();
            state_.alignment = Qt::AlignLeft;
            break;
        case Word::Bold: FlushText(); state_.chars.bold = state_.chars.asianBold = on; break;
        case Word::Italic: FlushText(); state_.chars.italic = state_.chars.asianItalic = on; break;
        case Word::Underline: FlushText(); state_.chars.underline = on; break;
        case Word::UnderlineNone: FlushText(); state_.chars.underline = false; break;
        case Word::Strike: FlushText(); state_.chars.strike = on; break;
        case Word::Hidden: FlushText(); state_.chars.hidden = on; break;
        case Word::FontSize:
            FlushText();
            state_.chars.sizeHalfPoints = state_.chars.asianSizeHalfPoints = hasParam ? std::clamp(value, 0, 3276) : 0;
            break;
        case Word::SingleByteRun:
        case Word::DoubleByteRun:
            FlushText();
            state_.doubleByteRun = info.word == Word::DoubleByteRun;
            break;
        case Word::RightToLeftRun: state_.rightToLeft = true; break;
        case Word::LeftToRightRun: state_.rightToLeft = false; break;
        case Word::AssocBold:
            if (!AssociatedWithText()) break;
            FlushText();
            state_.chars.asianBold = on;
            break;
        case Word::AssocItalic:
            if (!AssociatedWithText()) break;
            FlushText();
            state_.chars.asianItalic = on;
            break;
        case Word::AssocSize:
            if (!AssociatedWithText()) break;
            FlushText();
            state_.chars.asianSizeHalfPoints = hasParam ? std::clamp(value, 0, 3276) : 0;
            break;
        case Word::Color:
            FlushText();
            state_.chars.color = hasParam ? value : 0;
            break;
        case Word::Highlight:
            FlushText();
            state_.chars.highlight = hasParam ? value : 0;
            break;
        case Word::Sub: FlushText(); state_.chars.verticalShift = on ? -1 : 0; break;
        case Word::Super: FlushText(); state_.chars.verticalShift = on ? 1 : 0; break;
        case Word::NoSuperSub: FlushText(); state_.chars.verticalShift = 0; break;
        case Word::AlignLeft: state_.alignment = Qt::AlignLeft; break;
        case Word::AlignCenter: state_.alignment = Qt::AlignHCenter; break;
        case Word::AlignRight: state_.alignment = Qt::AlignRight; break;
        case Word::AlignJustify: state_.alignment = Qt::AlignJustify; break;
        }
    }

    // Associated properties are those of double-byte text unless they describe right-to-left text.
    bool AssociatedWithText() const { return state_.doubleByteRun && !state_.rightToLeft; }

    // --- text ---

    int CurrentCodePage() const {
        if (state_.destination == Destination::FontTable && definingFont_) {
            const auto font = fonts_.find(*definingFont_);
            if (font != fonts_.end() && font->second.codePage > 0) return font->second.codePage;
            return codePage_;
        }
        const auto font = fonts_.find(state_.chars.font);
        if (font != fonts_.end() && font->second.codePage > 0) return font->second.codePage;
        return codePage_;
    }

    void TextByte(unsigned char byte) {
        switch (state_.destination) {
        case Destination::Skip:
            return;
        case Destination::ColorTable:
            if (byte == ';') {
                colors_.push_back(colorGiven_ ? std::optional<QColor>(QColor(red_, green_, blue_)) : std::nullopt);
                ResetColor();
            }
            return;
        case Destination::FontTable:
            if (byte == ';') {
                FinishFont();
                return;
            }
            if (!definingFont_) return;
            break;
        case Destination::Text:
            if (state_.chars.hidden) return;
            if (byte == '\t') {
                TextUnit(u'\t');
                return;
            }
            if (byte < 0x20) return;  // control characters are not text in RTF
            break;
        }
        const int codePage = CurrentCodePage();
        if (!pendingBytes_.empty() && pendingCodePage_ != codePage) DecodePendingBytes();
        pendingCodePage_ = codePage;
        pendingBytes_ += static_cast<char>(byte);
    }

    void TextUnit(char16_t unit) {
        if (state_.destination == Destination::Skip || state_.destination == Destination::ColorTable) return;
        if (unit < 0x20 && unit != u'\t') return;  // control characters are not text, as in TextByte
        if (unit == u'\u2029' && state_.destination == Destination::Text) {
            Paragraph();
            return;
        }
        // The editor reserves these two for frame boundaries; as text they would corrupt it.
        if (unit == u'\uFDD0' || unit == u'\uFDD1') unit = u'\uFFFD';
        if (state_.destination == Destination::FontTable) {
            if (!definingFont_) return;
        } else if (state_.chars.hidden) {
            return;
        }
        DecodePendingBytes();
        pendingText_ += unit;
    }

    void DecodePendingBytes() {
        if (pendingBytes_.empty()) return;
        pendingText_ += decoder_.Decode(pendingCodePage_, pendingBytes_);
        pendingBytes_.clear();
    }

    // Writes the text gathered so far with the formatting it was gathered under.
    void FlushText() {
        DecodePendingBytes();
        if (pendingText_.empty()) return;
        if (state_.destination == Destination::FontTable) {
            if (definingFont_) fonts_[*definingFont_].name += pendingText_;
        } else if (state_.destination == Destination::Text) {
            // A last paragraph without its \par keeps the alignment its text was written under.
            ApplyAlignment();
            cursor_.insertText(ToQString(pendingText_), CurrentFormat());
            emptyBlockAfterPar_ = false;
        }
        pendingText_.clear();
    }

    // Text as the editor can hold it: half a surrogate pair and the editor's frame markers
    // become U+FFFD, and control characters (which a code page such as UTF-8 can yield)
    // are dropped.
    static QString ToQString(const std::u16string& text) {
        QString out;
        out.reserve(static_cast<qsizetype>(text.size()));
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char16_t unit = text[i];
            if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1])) {
                out += QChar(unit);
                out += QChar(text[++i]);
            } else if (QChar::isSurrogate(unit) || unit == u'\uFDD0' || unit == u'\uFDD1') {
                out += QChar::ReplacementCharacter;
            } else if (unit >= 0x20 || unit == u'\t') {
                out += QChar(unit);
            }
        }
        return out;
    }

    QTextCharFormat CurrentFormat() const {
        const CharProps& p = state_.chars;
        const bool asian = state_.doubleByteRun;
        const int sizeHalfPoints = asian ? p.asianSizeHalfPoints : p.sizeHalfPoints;
        QTextCharFormat format;
        if (asian ? p.asianBold : p.bold) format.setFontWeight(QFont::Bold);
        if (asian ? p.asianItalic : p.italic) format.setFontItalic(true);
        if (p.underline) format.setFontUnderline(true);
        if (p.strike) format.setFontStrikeOut(true);
        if (sizeHalfPoints > 0) format.setFontPointSize(sizeHalfPoints / 2.0);
        if (p.verticalShift < 0) format.setVerticalAlignment(QTextCharFormat::AlignSubScript);
        if (p.verticalShift > 0) format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
        const auto font = fonts_.find(p.font);
        if (font != fonts_.end()) {
            const QString face = QString::fromStdU16String(font->second.name).trimmed();
            if (!face.isEmpty()) format.setFontFamilies(QStringList{face});
        }
        if (const auto color = ColorAt(p.color)) format.setForeground(*color);
        if (const auto color = ColorAt(p.highlight)) format.setBackground(*color);
        return format;
    }

    std::optional<QColor> ColorAt(int index) const {
        // Index 0 and any colour never declared are the automatic colour.
        if (index <= 0 || static_cast<std::size_t>(index) >= colors_.size()) return std::nullopt;
        return colors_[static_cast<std::size_t>(index)];
    }

    void Paragraph() {
        if (state_.destination != Destination::Text) return;
        FlushText();
        ApplyAlignment();
        if (++paragraphs_ > limits_.MaxParagraphs + 1) return;
        cursor_.insertBlock(QTextBlockFormat());
        emptyBlockAfterPar_ = true;
    }

    // Paragraph properties in force at a paragraph's end are the paragraph's.
    void ApplyAlignment() {
        QTextBlockFormat format = cursor_.blockFormat();
        if (format.alignment() != state_.alignment) {
            format.setAlignment(state_.alignment);
            cursor_.setBlockFormat(format);
        }
    }

    void FinishFont() {
        if (!definingFont_) return;
        DecodePendingBytes();
        fonts_[*definingFont_].name += pendingText_;
        pendingText_.clear();
        definingFont_.reset();
    }

    void ResetColor() {
        colorGiven_ = false;
        red_ = green_ = blue_ = 0;
    }

    std::string_view in_;
    std::size_t pos_ = 0;
    QTextDocument& document_;
    RtfReadLimits limits_;
    QTextCursor cursor_;

    GroupState state_;
    std::vector<GroupState> stack_;
    int skipCount_ = 0;
    std::size_t paragraphs_ = 0;
    bool emptyBlockAfterPar_ = false;  // nothing was written since the last \par

    int codePage_ = 1252;
    int defaultFont_ = -1;
    std::map<int, FontInfo> fonts_;
    std::optional<int> definingFont_;
    std::vector<std::optional<QColor>> colors_;
    bool colorGiven_ = false;
    int red_ = 0, green_ = 0, blue_ = 0;

    CodePageDecoder decoder_;
    std::string pendingBytes_;
    int pendingCodePage_ = 1252;
    std::u16string pendingText_;
};

}  // namespace

bool LooksLikeRtf(std::string_view bytes) { return bytes.substr(0, 5) == "{\\rtf"; }

RtfReadStatus ReadRtf(std::string_view bytes, QTextDocument& document, const RtfReadLimits& limits) {
    if (!LooksLikeRtf(bytes)) return RtfReadStatus::NotRtf;
    if (bytes.size() > limits.MaxBytes) return RtfReadStatus::TooLarge;
    return Reader(bytes, document, limits).Run();
}

}  // namespace moratutor::rtf
