// What the RTF reader keeps for each group: where its text goes and how it is formatted.
#pragma once

#include <Qt>

#include <string>

namespace moratutor::rtf::detail {

// Where the text of a group goes.
enum class Destination { Text, FontTable, ColorTable, Skip };

struct CharProps {
    int font = -1;
    int sizeHalfPoints = 0;  // 0: not given, the document's own size applies
    int color = 0;
    int highlight = 0;
    int shading = 0;  // \chcbpatN, LibreOffice's character background; a highlight shows over it
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
    bool listText = false;       // in \listtext, the list number as readers without lists show it
};

struct FontInfo {
    std::u16string name;
    int codePage = 0;  // 0: the document's code page
};

}  // namespace moratutor::rtf::detail
