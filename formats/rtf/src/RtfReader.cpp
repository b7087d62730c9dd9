#include "moratutor/rtf/RtfReader.h"

#include "CodePages.h"
#include "RtfControlWords.h"
#include "RtfReaderState.h"

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

using namespace detail;

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
            if (Paragraphs() > limits_.MaxParagraphs) status = RtfReadStatus::TooLarge;
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
            if (Paragraphs() > limits_.MaxParagraphs) return RtfReadStatus::TooLarge;
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
        const bool closingListText = state_.listText;
        state_ = stack_.back();
        stack_.pop_back();
        skipCount_ = 0;
        // A list text that showed nothing leaves no tab behind either.
        if (closingListText && !state_.listText && visibleUnits_ == listTextStart_.visibleUnits) {
            pendingTabs_ = listTextStart_.pendingTabs;
        }
        // A font entry written without its ";" ends with its group.
        if (closing == Destination::FontTable && state_.destination != Destination::FontTable) FinishFont();
    }

    // The paragraphs the document will hold: one more than the breaks, as a last break only
    // ends the last paragraph.
    std::size_t Paragraphs() const { return breaks_ + (emptyBlockAfterPar_ ? 0 : 1); }

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
            EnterDestination(Destination::Skip);
            break;
        default:
            break;  // \: \| and unknown symbols show nothing
        }
    }

    void ControlWord(std::string_view name, bool hasParam, std::int32_t value) {
        const auto& table = WordTable();
        const auto found = table.find(name);
        const WordInfo info = found == table.end() ? WordInfo{Word::Unknown} : found->second;
        const Parameter param{hasParam, value};

        // \bin and \u take their stand-in characters themselves, in every destination.
        if (info.word == Word::Bin) return BinaryData(param);
        if (info.word == Word::Unicode) return UnicodeCharacter(param);
        if (SkipOneCharacter()) return;
        if (state_.destination == Destination::Skip) return;
        if (DocumentWord(info.word, param) || DestinationWord(info.word)) return;
        switch (state_.destination) {
        case Destination::FontTable:
            if (FontTableWord(info.word, param)) return;
            break;
        case Destination::ColorTable:
            if (ColorTableWord(info.word, param)) return;
            break;
        case Destination::Text:
        case Destination::Skip:
            break;
        }
        if (TextWord(info)) return;
        // Formatting acts in the tables too; their groups undo it when they end.
        if (CharacterFormatWord(info.word, param)) return;
        ParagraphFormatWord(info.word);
    }

    void BinaryData(Parameter param) {
        // The binary bytes stand in for one character, and are never text.
        const std::size_t length = param.given && param.value > 0 ? static_cast<std::size_t>(param.value) : 0;
        pos_ += std::min(length, in_.size() - pos_);
        SkipOneCharacter();
    }

    void UnicodeCharacter(Parameter param) {
        if (SkipOneCharacter() || !param.given) return;
        TextUnit(static_cast<char16_t>(static_cast<std::uint32_t>(param.value) & 0xFFFF));
        skipCount_ = state_.unicodeSkip;
    }

    // Words about the whole document; true when the word was one.
    bool DocumentWord(Word word, Parameter param) {
        switch (word) {
        case Word::Unknown:
        case Word::Rtf:
            return true;
        case Word::Ansi: codePage_ = 1252; return true;
        case Word::Mac: codePage_ = 10000; return true;
        case Word::Pc: codePage_ = 437; return true;
        case Word::Pca: codePage_ = 850; return true;
        case Word::AnsiCpg:
            if (param.given && param.value > 0) codePage_ = param.value;
            return true;
        case Word::Deff:
            if (param.given) {
                defaultFont_ = param.value;
                if (state_.chars.font < 0) state_.chars.font = param.value;
            }
            return true;
        case Word::UnicodeSkip:
            if (param.given) state_.unicodeSkip = std::clamp(param.value, 0, 1 << 16);
            return true;
        default:
            return false;
        }
    }

    // The text so far belongs where it was; the rest of the group goes to the destination.
    void EnterDestination(Destination destination) {
        FlushText();
        state_.destination = destination;
    }

    // Words that send the rest of the group elsewhere; true when the word was one.
    bool DestinationWord(Word word) {
        switch (word) {
        case Word::Field:
            return true;  // its instruction is skipped, its result is text
        case Word::FontTable:
            EnterDestination(Destination::FontTable);
            return true;
        case Word::ColorTable:
            EnterDestination(Destination::ColorTable);
            colors_.clear();
            ResetColor();
            return true;
        case Word::SkipDestination:
            EnterDestination(Destination::Skip);
            return true;
        case Word::FieldResult:
            EnterDestination(Destination::Text);
            return true;
        case Word::ListText:
            // The number stays, but a tab with no number before it (LibreOffice's headings) is no text.
            FlushText();
            if (!state_.listText) listTextStart_ = {pendingTabs_, visibleUnits_};
            state_.listText = true;
            return true;
        default:
            return false;
        }
    }

    bool FontTableWord(Word word, Parameter param) {
        switch (word) {
        case Word::Font:
            if (!param.given) return true;
            FinishFont();
            definingFont_ = param.value;
            fonts_[param.value] = FontInfo{};
            return true;
        case Word::FontCharset:
            if (definingFont_ && param.given) {
                FontInfo& font = fonts_[*definingFont_];
                if (font.codePage == 0) font.codePage = CodePageForCharset(param.value, 0);
            }
            return true;
        case Word::FontCodePage:
            if (definingFont_ && param.given && param.value > 0) fonts_[*definingFont_].codePage = param.value;
            return true;
        default:
            return false;
        }
    }

    bool ColorTableWord(Word word, Parameter param) {
        if (word != Word::Red && word != Word::Green && word != Word::Blue) return false;
        const int component = std::clamp(param.given ? param.value : 0, 0, 255);
        colorGiven_ = true;
        if (word == Word::Red) red_ = component;
        if (word == Word::Green) green_ = component;
        if (word == Word::Blue) blue_ = component;
        return true;
    }

    // Breaks, tabs and symbols; true when the word was one of them (or of another table's).
    bool TextWord(const WordInfo& info) {
        const bool text = state_.destination == Destination::Text;
        switch (info.word) {
        case Word::Par:
        case Word::Row:
        case Word::Page:
            Paragraph();
            return true;
        // Breaks and tabs belong to the text; in a font name they would only garble it.
        case Word::Line:
            if (text) TextUnit(u'\u2028');
            return true;
        case Word::Tab:
            if (text) TextUnit(u'\t');
            return true;
        case Word::Cell:
            // Cells are parted by tabs: the last one of a row is followed by none.
            if (text) ++pendingTabs_;
            return true;
        case Word::Symbol:
            TextUnit(info.symbol);
            return true;
        case Word::FontCharset:
        case Word::FontCodePage:
        case Word::Red:
        case Word::Green:
        case Word::Blue:
            return true;  // they mean something only in their table
        default:
            return false;
        }
    }

    bool CharacterFormatWord(Word word, Parameter param) {
        CharProps& chars = state_.chars;
        const bool on = param.On();
        switch (word) {
        case Word::Font:
            if (!param.given) return true;
            FlushText();
            chars.font = param.value;
            return true;
        case Word::Plain:
            FlushText();
            chars = CharProps{};
            chars.font = defaultFont_;
            return true;
        case Word::Bold: FlushText(); chars.bold = chars.asianBold = on; return true;
        case Word::Italic: FlushText(); chars.italic = chars.asianItalic = on; return true;
        case Word::Underline: FlushText(); chars.underline = on; return true;
        case Word::UnderlineNone: FlushText(); chars.underline = false; return true;
        case Word::Strike: FlushText(); chars.strike = on; return true;
        case Word::Hidden: FlushText(); chars.hidden = on; return true;
        case Word::FontSize:
            FlushText();
            chars.sizeHalfPoints = chars.asianSizeHalfPoints = HalfPoints(param);
            return true;
        case Word::Color: FlushText(); chars.color = param.given ? param.value : 0; return true;
        case Word::Highlight: FlushText(); chars.highlight = param.given ? param.value : 0; return true;
        case Word::Shading: FlushText(); chars.shading = param.given ? param.value : 0; return true;
        case Word::Sub: FlushText(); chars.verticalShift = on ? -1 : 0; return true;
        case Word::Super: FlushText(); chars.verticalShift = on ? 1 : 0; return true;
        case Word::NoSuperSub: FlushText(); chars.verticalShift = 0; return true;
        // \upN and \dnN move the text by N half-points (6 when N is missing); LibreOffice
        // writes its superscript and subscript so.
        case Word::Up: FlushText(); chars.verticalShift = Shift(param); return true;
        case Word::Down: FlushText(); chars.verticalShift = -Shift(param); return true;
        default: return ScriptRunWord(word, param);
        }
    }

    // Runs of one script, and the properties associated with double-byte text.
    bool ScriptRunWord(Word word, Parameter param) {
        switch (word) {
        case Word::SingleByteRun:
        case Word::DoubleByteRun:
            FlushText();
            state_.doubleByteRun = word == Word::DoubleByteRun;
            return true;
        case Word::RightToLeftRun: state_.rightToLeft = true; return true;
        case Word::LeftToRightRun: state_.rightToLeft = false; return true;
        case Word::AssocBold:
        case Word::AssocItalic:
        case Word::AssocSize:
            if (!AssociatedWithText()) return true;
            FlushText();
            if (word == Word::AssocBold) state_.chars.asianBold = param.On();
            if (word == Word::AssocItalic) state_.chars.asianItalic = param.On();
            if (word == Word::AssocSize) state_.chars.asianSizeHalfPoints = HalfPoints(param);
            return true;
        default:
            return false;
        }
    }

    static int HalfPoints(Parameter param) { return param.given ? std::clamp(param.value, 0, 3276) : 0; }
    static int Shift(Parameter param) {
        const std::int32_t amount = param.given ? param.value : 6;
        return amount > 0 ? 1 : amount < 0 ? -1 : 0;
    }

    void ParagraphFormatWord(Word word) {
        switch (word) {
        case Word::Pard:
            FlushText();
            state_.alignment = Qt::AlignLeft;
            break;
        case Word::AlignLeft: state_.alignment = Qt::AlignLeft; break;
        case Word::AlignCenter: state_.alignment = Qt::AlignHCenter; break;
        case Word::AlignRight: state_.alignment = Qt::AlignRight; break;
        case Word::AlignJustify: state_.alignment = Qt::AlignJustify; break;
        default: break;
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
            BeforeVisibleText();
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
        } else if (unit == u'\t' && state_.listText) {
            ++pendingTabs_;  // shown only when text follows: a list number's, not an empty one's
            return;
        } else {
            BeforeVisibleText();
        }
        DecodePendingBytes();
        pendingText_ += unit;
    }

    // Tabs waiting for text (after a cell or a list number) show once some comes.
    void BeforeVisibleText() {
        ++visibleUnits_;
        if (pendingTabs_ == 0) return;
        DecodePendingBytes();
        pendingText_.append(static_cast<std::size_t>(pendingTabs_), u'\t');
        pendingTabs_ = 0;
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
            // A paragraph separator decoded from the bytes (UTF-8 text) breaks the paragraph as
            // \par does, and counts as one.
            std::u16string_view rest = pendingText_;
            for (;;) {
                const std::size_t end = rest.find(u'\u2029');
                InsertText(rest.substr(0, end));
                if (end == std::u16string_view::npos) break;
                BreakParagraph();
                rest.remove_prefix(end + 1);
            }
        }
        pendingText_.clear();
    }

    void InsertText(std::u16string_view text) {
        if (text.empty()) return;
        // A last paragraph without its \par keeps the alignment its text was written under.
        ApplyAlignment();
        cursor_.insertText(ToQString(text), CurrentFormat());
        emptyBlockAfterPar_ = false;
    }

    // Text as the editor can hold it: half a surrogate pair and the editor's frame markers
    // become U+FFFD, and control characters (which a code page such as UTF-8 can yield)
    // are dropped.
    static QString ToQString(std::u16string_view text) {
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
        if (const auto color = ColorAt(p.highlight)) {
            format.setBackground(*color);
        } else if (const auto shade = ColorAt(p.shading)) {
            format.setBackground(*shade);
        }
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
        BreakParagraph();
    }

    void BreakParagraph() {
        ApplyAlignment();
        pendingTabs_ = 0;  // the last cell of a row is followed by no tab
        // Past the limit the document is refused anyway; the breaks are only counted.
        if (++breaks_ > limits_.MaxParagraphs) {
            emptyBlockAfterPar_ = false;
            return;
        }
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
    std::size_t breaks_ = 0;            // paragraph breaks read, \par and the like
    bool emptyBlockAfterPar_ = false;  // nothing was written since the last break
    int pendingTabs_ = 0;              // cell ends and list tabs not yet shown
    std::size_t visibleUnits_ = 0;     // text characters read so far
    struct {
        int pendingTabs = 0;
        std::size_t visibleUnits = 0;
    } listTextStart_;                  // the two counts where the outermost \listtext began

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
