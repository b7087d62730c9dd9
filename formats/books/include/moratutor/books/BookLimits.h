// What the book readers refuse to handle, and how a read ended.
#pragma once

#include "moratutor/books/BookInfo.h"

#include <cstddef>

namespace moratutor::books {

// A hostile file (a zip bomb, an entity that expands a billion times, nesting a million
// deep, a huge file) is refused at these limits instead of exhausting memory or time.
struct BookReadLimits {
    std::size_t MaxBytes = std::size_t{256} << 20;          // the file itself
    std::size_t MaxUnpackedBytes = std::size_t{256} << 20;  // all entries read from an archive
    std::size_t MaxHtmlBytes = std::size_t{64} << 20;       // the HTML parser is slower per byte
    int MaxDepth = 500;                                     // elements inside each other
    std::size_t MaxParagraphs = 2'000'000;
    std::size_t MaxCharacters = std::size_t{64} << 20;
    std::size_t MaxSpineItems = 20'000;
    // A paragraph and a formatted run cost a document hundreds of bytes whatever their text:
    // a book of tiny ones is refused once they would cost more than this many times its
    // text (in UTF-16) or, for a small book, than the floor.
    std::size_t MaxCostPerTextByte = 16;
    std::size_t CostFloor = std::size_t{64} << 20;
    int MaxResumptions = 100;  // places of damage read past in one document (each copies the rest)
};

enum class BookReadStatus {
    Ok,         // read; see BookInfo::Damaged for a book read past damage
    NotBook,    // the bytes are not of the reader's format
    Damaged,    // nothing could be read
    TooDeep,    // elements nested deeper than MaxDepth
    TooLarge,   // a limit on bytes, paragraphs or characters was passed
    Encrypted,  // an EPUB whose chapters are encrypted (DRM)
    Binary,     // the bytes are an image, an archive or other data, not text
};

}  // namespace moratutor::books
