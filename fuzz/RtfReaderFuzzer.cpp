// Feeds arbitrary bytes to the RTF reader. Besides the sanitizers' findings it checks
// that whatever the reader makes of them survives a trip through the writer unchanged.
#include "moratutor/rtf/RtfReader.h"
#include "moratutor/rtf/RtfWriter.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// The writer asks fontconfig for the document's face; fontconfig keeps its caches until
// the process ends, which LeakSanitizer would report as a leak at exit.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // The documents need fonts, and fonts need an application object.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication* app = new QGuiApplication(*argc, *argv);
    (void)app;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes = "{\\rtf1";
    // Most inputs should get past the signature check, so the harness supplies it when missing.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (moratutor::rtf::LooksLikeRtf(input)) bytes.clear();
    bytes.append(input);

    moratutor::rtf::RtfReadLimits limits;
    limits.MaxBytes = 1 << 20;
    QTextDocument first;
    if (moratutor::rtf::ReadRtf(bytes, first, limits) != moratutor::rtf::RtfReadStatus::Ok) return 0;

    const std::string written = moratutor::rtf::WriteRtf(first);
    for (const char c : written) {
        if (static_cast<unsigned char>(c) > 0x7E) {
            std::fprintf(stderr, "writer produced a byte above 0x7E\n");
            std::abort();
        }
    }
    QTextDocument second;
    if (moratutor::rtf::ReadRtf(written, second, limits) != moratutor::rtf::RtfReadStatus::Ok ||
        second.toRawText() != first.toRawText()) {
        std::fprintf(stderr, "round trip changed the text\n");
        std::abort();
    }
    return 0;
}
