// File version, keyboard state and raw-data resources.
#include "UMostUsed.h"

#include <QByteArray>
#include <QFile>
#include <QGuiApplication>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "moratutor/TextDecoder.h"

namespace moratutor {

namespace {

// The version block the program carries (see resources/about/VersionInfo.cpp.in) has the
// layout of a Windows fixed file-info record, little-endian: signature 0xFEEF04BD, record
// version 0x00010000, then file version (most, least significant word), product version,
// and seven more words.
constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kBlockSize = 13 * 4;

// The header is put together at run time from a value the compiler cannot see, so this
// code never holds the byte pattern it looks for and cannot find itself.
volatile std::uint32_t gNoFold = 0;

std::array<char, kHeaderSize> VersionHeader() {
    const std::uint32_t signature = 0x0110FB42u ^ ~gNoFold;  // 0xFEEF04BD
    const std::uint32_t recordVersion = 0x00010000u ^ gNoFold;
    std::array<char, kHeaderSize> header{};
    for (int i = 0; i < 4; ++i) {
        header[i] = static_cast<char>((signature >> (8 * i)) & 0xFF);
        header[4 + i] = static_cast<char>((recordVersion >> (8 * i)) & 0xFF);
    }
    return header;
}

std::uint32_t ReadLittleEndian32(const char* p) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(p[i]);
    return value;
}

// The version of the first whole block in [data, data + size); empty when there is none.
QString VersionFromBytes(const char* data, std::size_t size) {
    const auto header = VersionHeader();
    const char* end = data + size;
    const std::boyer_moore_horspool_searcher searcher(header.begin(), header.end());
    for (const char* from = data; from < end;) {
        const char* found = std::search(from, end, searcher);
        if (found == end)
            break;
        if (static_cast<std::size_t>(end - found) >= kBlockSize) {
            const std::uint32_t ms = ReadLittleEndian32(found + 8);
            const std::uint32_t ls = ReadLittleEndian32(found + 12);
            return QStringLiteral("%1.%2.%3.%4")
                .arg(ms >> 16)
                .arg(ms & 0xFFFF)
                .arg(ls >> 16)
                .arg(ls & 0xFFFF);
        }
        from = found + 1;
    }
    return {};
}

}  // namespace

QString GetFileVersionString(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    // Read in pieces rather than mapped: a file that shrinks while it is read must not bring
    // the program down. Each piece follows the previous one's last bytes, so a block that
    // straddles two pieces is found whole.
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    constexpr std::size_t kCarry = kBlockSize - 1;
    std::vector<char> buffer(kCarry + kPiece);
    std::size_t kept = 0;
    for (;;) {
        const qint64 got = file.read(buffer.data() + kept, static_cast<qint64>(kPiece));
        if (got <= 0)
            return {};
        const std::size_t filled = kept + static_cast<std::size_t>(got);
        QString version = VersionFromBytes(buffer.data(), filled);
        if (!version.isEmpty())
            return version;
        kept = std::min(filled, kCarry);
        std::memmove(buffer.data(), buffer.data() + filled - kept, kept);
    }
}

bool IsCtrlKeyDown() {
    // Asks the windowing system, so a key held before the program saw any event counts too.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
}

void LoadStringsFromResource(QStringList& list, const QString& resourceName) {
    QFile resource(QStringLiteral(":/rcdata/") + resourceName);
    if (!resource.open(QIODevice::ReadOnly))
        throw std::runtime_error("Resource " + resourceName.toStdString() + " not found");
    QByteArray bytes = resource.readAll();
    resource.close();

    // A NUL ends the text.
    if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0)
        bytes.truncate(nul);

    const std::u16string decoded = moratutor::codecs::DecodeWindows1251(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    const QString text = QString::fromStdU16String(decoded);

    QStringList lines;
    qsizetype start = 0;
    const qsizetype length = text.size();
    while (start < length) {
        qsizetype stop = start;
        while (stop < length && text[stop] != u'\r' && text[stop] != u'\n')
            ++stop;
        lines.append(text.mid(start, stop - start));
        if (stop < length && text[stop] == u'\r' && stop + 1 < length && text[stop + 1] == u'\n')
            ++stop;
        start = stop + 1;
    }
    list = std::move(lines);
}

}  // namespace moratutor
