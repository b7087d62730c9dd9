// Feeds arbitrary bytes to the FB2 reader. Besides the sanitizers' findings it checks that
// what the reader makes of them comes back unchanged through the FB2 writer.
#include "BookFuzzSupport.h"
#include "moratutor/books/BookWriters.h"
#include "moratutor/books/Fb2Reader.h"

#include <QTextDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    moratutor::fuzzing::StartApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Most inputs should reach the body, so the harness supplies the root when missing.
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (bytes.find("<FictionBook") == std::string::npos) bytes = "<FictionBook><body>" + bytes;

    const moratutor::books::BookReadLimits limits = moratutor::fuzzing::SmallLimits();
    QTextDocument first;
    if (moratutor::books::ReadFb2(bytes, first, limits) != moratutor::books::BookReadStatus::Ok) return 0;
    if (first.toRawText().contains(QChar::LineSeparator)) return 0;  // FB2 has no line break to keep it

    QTextDocument second;
    if (moratutor::books::ReadFb2(moratutor::books::WriteFb2(first, QStringLiteral("t")), second, limits) !=
            moratutor::books::BookReadStatus::Ok ||
        second.toPlainText() != first.toPlainText()) {
        std::fprintf(stderr, "round trip changed the text\n");
        std::abort();
    }
    return 0;
}
