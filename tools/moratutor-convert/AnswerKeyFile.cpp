#include "AnswerKeyFile.h"

#include "moratutor/Utf8.h"

#include <unicode/utf16.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

namespace moratutor::convert {

namespace {

// Longest line of an entry: a 20-digit offset, a one-digit length, a source of up to three
// units of three UTF-8 bytes each, two tabs and the line break.
constexpr std::size_t kMaxLineBytes = 20 + 1 + 3 * 3 + 3;

// Writes one UTF-16 unit as UTF-8; a surrogate (never a keyed source) as U+FFFD.
char* PutUnit(char* out, char16_t unit) {
    if (unit < 0x80) {
        *out++ = static_cast<char>(unit);
    } else if (unit < 0x800) {
        *out++ = static_cast<char>(0xC0 | (unit >> 6));
        *out++ = static_cast<char>(0x80 | (unit & 0x3F));
    } else {
        if (U16_IS_SURROGATE(unit)) unit = 0xFFFD;
        *out++ = static_cast<char>(0xE0 | (unit >> 12));
        *out++ = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (unit & 0x3F));
    }
    return out;
}

// Offsets in code points, counted once through the text: every unit but the trail of a
// pair. Most texts have no pair at all, and then a unit is a code point.
class CodePointCounter {
public:
    explicit CodePointCounter(std::u16string_view text)
        : text_(text), pairs_(std::any_of(text.begin(), text.end(), [](char16_t c) { return U16_IS_SURROGATE(c); })) {}
    std::size_t At(std::size_t offset) {
        if (!pairs_) return offset;
        for (; unit_ < offset; ++unit_)
            counted_ += !(unit_ > 0 && U16_IS_TRAIL(text_[unit_]) && U16_IS_LEAD(text_[unit_ - 1]));
        return counted_;
    }

private:
    std::u16string_view text_;
    bool pairs_;
    std::size_t unit_ = 0, counted_ = 0;
};

// Offsets as decimal digits. Neighbouring entries share all but the last two digits, so
// those are written afresh only when they change and the last two come from a table.
class DecimalWriter {
public:
    static constexpr std::size_t kRoom = 20;  // bytes Put may write

    char* Put(char* out, std::size_t value) {
        if (value < 100) return std::to_chars(out, out + kRoom, value).ptr;
        const std::size_t head = value / 100;
        if (head != head_) {
            head_ = head;
            headLength_ = static_cast<std::size_t>(
                std::to_chars(headDigits_.data(), headDigits_.data() + kRoom, head).ptr - headDigits_.data());
        }
        std::memcpy(out, headDigits_.data(), kRoom);  // a fixed size copies fastest
        out += headLength_;
        const std::size_t tail = value % 100;
        *out++ = static_cast<char>('0' + tail / 10);
        *out++ = static_cast<char>('0' + tail % 10);
        return out;
    }

private:
    std::array<char, kRoom> headDigits_{};
    std::size_t head_ = 0;  // never a head of a value that has one
    std::size_t headLength_ = 0;
};

}  // namespace

void FormatAnswerKey(std::u16string_view converted, const AnswerKey& key,
                     const std::function<void(std::string_view)>& sink) {
    // Lines go out in chunks of one small buffer: the whole key at once would cost more in
    // fresh memory than the lines themselves.
    constexpr std::size_t kChunk = 1 << 16;
    std::array<char, kChunk> buffer;
    char* put = buffer.data();
    CodePointCounter counter(converted);
    DecimalWriter offsets;
    for (const KeyEntry& e : key) {
        if (put > buffer.data() + kChunk - kMaxLineBytes) {
            sink({buffer.data(), static_cast<std::size_t>(put - buffer.data())});
            put = buffer.data();
        }
        put = offsets.Put(put, counter.At(e.Offset));
        *put++ = '\t';
        *put++ = static_cast<char>('0' + e.Length);  // kana are single units, one or two of them
        *put++ = '\t';
        for (char16_t c : e.Source()) put = PutUnit(put, c);
        *put++ = '\n';
    }
    sink({buffer.data(), static_cast<std::size_t>(put - buffer.data())});
}

std::string FormatAnswerKey(std::u16string_view converted, const AnswerKey& key) {
    std::string out;
    FormatAnswerKey(converted, key, [&out](std::string_view chunk) { out += chunk; });
    return out;
}

}  // namespace moratutor::convert
