#include "moratutor/rtf/RtfWriter.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QFontInfo>
#include <QStringList>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QTextFragment>

#include <cmath>
#include <vector>

namespace moratutor::rtf {
namespace {

class Writer {
public:
    explicit Writer(const QTextDocument& document) : document_(document) {
        fonts_.push_back(WesternFace(document.defaultFont()));
        fonts_.push_back(QString::fromLatin1(kKanaFontName));
        colors_.push_back(QColor());  // index 0: the automatic colour
        const double defaultSize = document.defaultFont().pointSizeF();
        defaultHalfPoints_ = defaultSize > 0 ? static_cast<int>(std::lround(defaultSize * 2)) : 24;
    }

    std::string Run() {
        // The body is written first, so the tables can list what it uses.
        // Every paragraph ends with \par: word processors read text after the last \par as a
        // paragraph only when there is some, so a last empty paragraph needs its own.
        // One buffer, the header put in front of the body at the end: a book's RTF is tens of
        // megabytes, and a copy or a doubling of it as much again. Pages reserved and not
        // written are not used.
        std::string body;
        body.reserve(static_cast<std::size_t>(document_.characterCount()) * 12 +
                     static_cast<std::size_t>(document_.blockCount()) * 128 + (std::size_t{1} << 16));
        for (QTextBlock block = document_.begin(); block.isValid(); block = block.next()) {
            body += "\\pard\\plain";
            body += AlignmentWord(block.blockFormat().alignment());
            body += ' ';
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (!fragment.isValid()) continue;
                body += '{';
                body += FormatWords(fragment.charFormat());
                body += ' ';
                AppendText(body, fragment.text());
                body += '}';
            }
            body += "\\par\r\n";
        }

        std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\r\n{\\fonttbl";
        for (std::size_t i = 0; i < fonts_.size(); ++i) {
            out += "{\\f" + std::to_string(i);
            if (i == kWesternFont) {
                out += "\\fnil\\fcharset204 ";
                AppendText(out, fonts_[i]);
            } else if (i == kKanaFont) {
                out += "\\fnil\\fcharset128 ";
                out += kKanaFontName;
                out += "{\\*\\falt ";
                out += kKanaFontAlternative;
                out += '}';
            } else {
                out += "\\fnil\\fcharset1 ";
                AppendText(out, fonts_[i]);
            }
            out += ";}";
        }
        out += "}\r\n{\\colortbl;";
        for (std::size_t i = 1; i < colors_.size(); ++i) {
            const QColor& c = colors_[i];
            out += "\\red" + std::to_string(c.red()) + "\\green" + std::to_string(c.green()) + "\\blue" +
                   std::to_string(c.blue()) + ';';
        }
        out += "}\r\n{\\*\\generator Moratutor;}\\viewkind4\r\n";
        body += "}\r\n";
        body.insert(0, out);
        return body;
    }

private:
    // Font table entries every document has: the pane's own face for Cyrillic and Latin,
    // the Japanese face for kana.
    static constexpr std::size_t kWesternFont = 0;
    static constexpr std::size_t kKanaFont = 1;

    // The face the document's text is shown in (a generic alias such as "Sans Serif" means
    // nothing to a word processor). A Japanese face would give the Cyrillic its full-width
    // letters, so a common Cyrillic face stands in for it.
    static QString WesternFace(const QFont& font) {
        const QString face = QFontInfo(font).family();
        if (face.isEmpty() || face == QLatin1String(kKanaFontName)) return QStringLiteral("Times New Roman");
        return face;
    }

    static const char* AlignmentWord(Qt::Alignment alignment) {
        const Qt::Alignment horizontal = alignment & Qt::AlignHorizontal_Mask;
        if (horizontal & Qt::AlignJustify) return "\\qj";
        if (horizontal & Qt::AlignHCenter) return "\\qc";
        if (horizontal & (Qt::AlignRight | Qt::AlignTrailing)) return "\\qr";
        return "\\ql";
    }

    std::string FormatWords(const QTextCharFormat& format) {
        std::string words;
        QStringList families = format.fontFamilies().toStringList();
        // Older code sets the single family property; it names a face just the same.
        const QString family = format.property(QTextFormat::FontFamily).toString();
        if (families.isEmpty() && !family.isEmpty()) families << family;
        // Word processors choose the face by script: \loch and \hich text (Cyrillic, Latin) in
        // the run's own face or the pane's, double-byte text (kana) in the Japanese face.
        const std::string face = std::to_string(families.isEmpty() ? kWesternFont : FontIndex(families.first()));
        words += "\\hich\\af" + face + "\\dbch\\af" + std::to_string(kKanaFont) + "\\loch\\f" + face;

        const double size = format.fontPointSize();
        words += "\\fs" + std::to_string(size > 0 ? static_cast<int>(std::lround(size * 2)) : defaultHalfPoints_);
        if (format.fontWeight() >= QFont::DemiBold) words += "\\b";
        if (format.fontItalic()) words += "\\i";
        if (format.fontUnderline()) words += "\\ul";
        if (format.fontStrikeOut()) words += "\\strike";
        if (format.verticalAlignment() == QTextCharFormat::AlignSubScript) words += "\\sub";
        if (format.verticalAlignment() == QTextCharFormat::AlignSuperScript) words += "\\super";
        if (format.hasProperty(QTextFormat::ForegroundBrush) && format.foreground().style() != Qt::NoBrush) {
            words += "\\cf" + std::to_string(ColorIndex(format.foreground().color()));
        }
        if (format.hasProperty(QTextFormat::BackgroundBrush) && format.background().style() != Qt::NoBrush) {
            words += "\\highlight" + std::to_string(ColorIndex(format.background().color()));
        }
        return words;
    }

    std::size_t FontIndex(const QString& family) {
        for (std::size_t i = 0; i < fonts_.size(); ++i) {
            if (fonts_[i] == family) return i;
        }
        fonts_.push_back(family);
        return fonts_.size() - 1;
    }

    std::size_t ColorIndex(const QColor& color) {
        const QColor rgb = color.toRgb();
        for (std::size_t i = 1; i < colors_.size(); ++i) {
            if (colors_[i].rgb() == rgb.rgb()) return i;
        }
        colors_.push_back(rgb);
        return colors_.size() - 1;
    }

    static void AppendText(std::string& out, const QString& text) {
        for (const QChar ch : text) {
            const char16_t unit = ch.unicode();
            switch (unit) {
            case u'\\': out += "\\\\"; continue;
            case u'{': out += "\\{"; continue;
            case u'}': out += "\\}"; continue;
            case u'\t': out += "\\tab "; continue;
            case u'\u2028':
            case u'\u2029':
                out += "\\line ";
                continue;
            default:
                break;
            }
            if (unit < 0x20) continue;  // no other control character is text in RTF
            if (unit <= 0x7E) {
                out += static_cast<char>(unit);
                continue;
            }
            // \uN takes a signed 16-bit number; '?' is the one character older readers show instead.
            // The space ends the number: pandoc up to 2.19 takes a '?' straight after the number
            // for part of the word and then drops the next character as the stand-in.
            const int value = unit > 32767 ? static_cast<int>(unit) - 65536 : static_cast<int>(unit);
            out += "\\u" + std::to_string(value) + " ?";
        }
    }

    const QTextDocument& document_;
    std::vector<QString> fonts_;
    std::vector<QColor> colors_;
    int defaultHalfPoints_ = 24;
};

}  // namespace

std::string WriteRtf(const QTextDocument& document) { return Writer(document).Run(); }

}  // namespace moratutor::rtf
