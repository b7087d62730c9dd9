// Feeds arbitrary bytes to the EPUB reader: as an archive when they begin as a zip does,
// otherwise as the one chapter of a well-formed package, so the XHTML reader gets most of
// the work. What the reader makes of a chapter must come back through the EPUB writer.
#include "BookFuzzSupport.h"
#include "moratutor/books/BookWriters.h"
#include "moratutor/books/EpubReader.h"
#include "moratutor/books/ZipArchive.h"

#include <QTextDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

std::string PackageAround(const std::string& chapter) {
    return *moratutor::books::BuildZip(
        {{"mimetype", "application/epub+zip", false},
         {"META-INF/container.xml",
          "<container xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles><rootfile "
          "full-path=\"p.opf\"/></rootfiles></container>",
          false},
         {"p.opf",
          "<package xmlns=\"http://www.idpf.org/2007/opf\"><manifest><item id=\"a\" href=\"a.xhtml\" "
          "media-type=\"application/xhtml+xml\"/></manifest><spine><itemref idref=\"a\"/></spine></package>",
          false},
         {"a.xhtml", chapter, false}});
}

moratutor::books::BookReadStatus Read(const std::string& epub, QTextDocument& document) {
    const std::optional<moratutor::books::ZipReader> archive = moratutor::books::ZipReader::Open(epub);
    if (!archive) return moratutor::books::BookReadStatus::Damaged;
    return moratutor::books::ReadEpub(*archive, document, moratutor::fuzzing::SmallLimits());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    moratutor::fuzzing::StartApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const bool archive = input.rfind("PK", 0) == 0;
    QTextDocument first;
    if (Read(archive ? input : PackageAround(input), first) != moratutor::books::BookReadStatus::Ok) return 0;

    QTextDocument second;
    const std::optional<std::string> written = moratutor::books::WriteEpub(first, QStringLiteral("t"));
    if (!written || Read(*written, second) != moratutor::books::BookReadStatus::Ok ||
        second.toRawText() != first.toRawText()) {
        std::fprintf(stderr, "round trip changed the text\n");
        std::abort();
    }
    return 0;
}
