#include "RtfControlWords.h"

namespace moratutor::rtf::detail {

const std::unordered_map<std::string_view, WordInfo>& WordTable() {
    static const std::unordered_map<std::string_view, WordInfo> table = [] {
        std::unordered_map<std::string_view, WordInfo> t{
            {"rtf", {Word::Rtf}}, {"ansi", {Word::Ansi}}, {"mac", {Word::Mac}}, {"pc", {Word::Pc}},
            {"pca", {Word::Pca}}, {"ansicpg", {Word::AnsiCpg}}, {"deff", {Word::Deff}},
            {"fonttbl", {Word::FontTable}}, {"colortbl", {Word::ColorTable}},
            {"field", {Word::Field}}, {"fldrslt", {Word::FieldResult}}, {"listtext", {Word::ListText}},
            {"f", {Word::Font}}, {"fcharset", {Word::FontCharset}}, {"cpg", {Word::FontCodePage}},
            {"red", {Word::Red}}, {"green", {Word::Green}}, {"blue", {Word::Blue}},
            {"par", {Word::Par}}, {"sect", {Word::Par}}, {"line", {Word::Line}}, {"tab", {Word::Tab}},
            {"cell", {Word::Cell}}, {"nestcell", {Word::Cell}}, {"row", {Word::Row}},
            {"nestrow", {Word::Row}}, {"page", {Word::Page}}, {"column", {Word::Page}},
            {"u", {Word::Unicode}}, {"uc", {Word::UnicodeSkip}}, {"bin", {Word::Bin}},
            {"plain", {Word::Plain}}, {"pard", {Word::Pard}}, {"b", {Word::Bold}}, {"i", {Word::Italic}},
            {"ulnone", {Word::UnderlineNone}}, {"strike", {Word::Strike}}, {"striked", {Word::Strike}},
            {"fs", {Word::FontSize}}, {"cf", {Word::Color}}, {"highlight", {Word::Highlight}},
            {"chcbpat", {Word::Shading}},
            {"v", {Word::Hidden}}, {"sub", {Word::Sub}}, {"super", {Word::Super}},
            {"nosupersub", {Word::NoSuperSub}}, {"up", {Word::Up}}, {"dn", {Word::Down}},
            {"ql", {Word::AlignLeft}}, {"qc", {Word::AlignCenter}},
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

}  // namespace moratutor::rtf::detail
