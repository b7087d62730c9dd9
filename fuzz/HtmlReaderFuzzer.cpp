// Feeds arbitrary bytes to the HTML reader (both its XHTML path and Qt's HTML parser).
#include "BookFuzzSupport.h"
#include "moratutor/books/HtmlReader.h"

#include <QTextDocument>

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    moratutor::fuzzing::StartApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QTextDocument document;
    moratutor::books::ReadHtml(std::string(reinterpret_cast<const char*>(data), size), document,
                               moratutor::fuzzing::SmallLimits());
    return 0;
}
