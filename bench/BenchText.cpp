#include "BenchText.h"

#include "moratutor/Utf8.h"

#include <fstream>
#include <stdexcept>
#include <vector>

namespace moratutor::bench {
namespace {

std::u16string FromUtf8(const std::string& s) {
    if (!codecs::IsValidUtf8(s)) throw std::runtime_error("The word list is not UTF-8");
    return codecs::DecodeUtf8(s);
}

char16_t Capital(char16_t c) {
    if (c >= u'а' && c <= u'я') return static_cast<char16_t>(c - 0x20);
    if (c == u'ё') return u'Ё';
    return c;
}

}  // namespace

std::u16string BuildText(const std::string& wordListPath, std::size_t length) {
    std::ifstream in(wordListPath);
    if (!in) throw std::runtime_error("Cannot open the word list " + wordListPath);
    std::vector<std::u16string> words;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') words.push_back(FromUtf8(line));
    if (words.empty()) throw std::runtime_error("The word list is empty");

    std::uint64_t state = 0x2545F4914F6CDD1Dull;
    const auto next = [&state](std::uint64_t n) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return (state >> 33) % n;
    };
    std::u16string text;
    text.reserve(length + 64);
    while (text.size() < length) {
        const std::uint64_t sentenceWords = 4 + next(10);
        for (std::uint64_t w = 0; w < sentenceWords; ++w) {
            std::u16string word = words[next(words.size())];
            if (w == 0) word[0] = Capital(word[0]);
            text += word;
            if (w + 1 < sentenceWords) text += next(8) == 0 ? u", " : u" ";
        }
        static constexpr char16_t kEnds[] = {u'.', u'.', u'.', u'!', u'?'};
        text += kEnds[next(5)];
        text += next(6) == 0 ? u"\r\n" : u" ";
    }
    text.resize(length);
    return text;
}

}  // namespace moratutor::bench
