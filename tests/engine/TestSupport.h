// Shared helpers of the engine tests: UTF-8 <-> UTF-16 for readable tables, a recording
// step environment with scripted draws, and a literal model of the replacement step.
#pragma once

#include "moratutor/Engine.h"
#include "moratutor/Utf8.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace moratutor::test {

inline std::u16string U16(std::string_view utf8) { return codecs::DecodeUtf8(utf8); }

// The text as UTF-8, but every surrogate unit as "<DXXX>" so a failure shows exactly what
// came out.
inline std::string U8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto surrogate = std::find_if(text.begin() + i, text.end(), [](char16_t c) { return U16_IS_SURROGATE(c); });
        const auto run = static_cast<std::size_t>(surrogate - text.begin());
        codecs::AppendUtf8(out, text.substr(i, run - i));
        if (run == text.size()) break;
        char buf[8];
        std::snprintf(buf, sizeof buf, "<%04X>", static_cast<unsigned>(text[run]));
        out += buf;
        i = run + 1;
    }
    return out;
}

// Options from a list of group numbers; 'E' and 'S' switch on the two other ticks.
inline OptionSet Options(std::initializer_list<int> groups, bool replaceE = false, bool replaceSpaces = false) {
    OptionSet o;
    for (int g : groups) o.Characters.at(static_cast<std::size_t>(g - 1)) = true;
    o.ReplaceE = replaceE;
    o.ReplaceSpaces = replaceSpaces;
    return o;
}

inline OptionSet OptionsFromMask(unsigned mask) {
    OptionSet o;
    for (std::size_t i = 0; i < 11; ++i) o.Characters[i] = (mask >> i) & 1u;
    o.ReplaceE = (mask >> 11) & 1u;
    o.ReplaceSpaces = (mask >> 12) & 1u;
    return o;
}

// A step environment that records every callback and answers draws from a script.
struct Recorder {
    StepEnvironment env;
    std::int32_t count = 0;
    std::deque<std::uint32_t> script;     // answers to RandomBelow, in order
    std::vector<std::string> events;      // "draw10", "draw2", "text:...", "step", "pump"
    std::vector<std::string> texts;       // the progress texts shown
    int steps = 0;

    explicit Recorder(KanaMode mode = kmHiragana, bool snowball = false) {
        env.SnowballMode = snowball;
        env.CurrentKanaMode = mode;
        env.ReplacementCount = &count;
        env.RandomBelow = [this](std::uint32_t n) -> std::uint32_t {
            events.push_back("draw" + std::to_string(n));
            if (script.empty()) {
                ADD_FAILURE() << "a draw was made that the test did not expect";
                return 0;
            }
            const std::uint32_t r = script.front();
            script.pop_front();
            return r;
        };
        env.ShowProgressText = [this](const std::u16string& t) {
            texts.push_back(U8(t));
            events.push_back("text:" + U8(t));
        };
        env.StepProgress = [this] {
            ++steps;
            events.push_back("step");
        };
        env.PumpMessages = [this] { events.push_back("pump"); };
    }
};

// The step exactly as described, with copies and ICU upper-casing per call: slow, but
// obviously right. Shows every progress text (the engine drops repeats), so `texts` holds
// each occurrence's text and `draws` each draw's bound.
struct ModelStep {
    std::vector<std::string> texts;
    std::vector<std::uint32_t> draws;
    std::int32_t replaced = 0;

    template <class Draw>
    std::u16string Run(std::u16string_view Text, std::u16string_view Syllable, std::u16string_view Hiragana,
                       std::u16string_view Katakana, unsigned Flags, bool snowball, KanaMode mode, Draw&& draw) {
        const auto upper = [](std::u16string_view s) {
            std::u16string u(s);
            for (char16_t& c : u) {
                if (c >= 0xD800 && c <= 0xDFFF) continue;
                const UChar32 m = u_toupper(c);
                if (m < 0x10000) c = static_cast<char16_t>(m);
            }
            return u;
        };
        const bool ci = Flags & rfCaseInsensitive;
        std::u16string SearchText = ci ? upper(Text) : std::u16string(Text);
        const std::u16string Pattern = ci ? upper(Syllable) : std::u16string(Syllable);
        std::u16string Rest(Text);
        std::u16string result;
        while (!SearchText.empty()) {
            const std::size_t found = SearchText.find(Pattern);
            if (found == std::u16string::npos) {
                result += Rest;
                return result;
            }
            const double exact = static_cast<double>(Text.size() - Rest.size()) * 100.0 / static_cast<double>(Text.size());
            const int Percent = static_cast<int>(std::nearbyint(exact));
            bool keep = false;
            if (snowball) {
                draws.push_back(10);
                const std::uint32_t r = draw(10);
                keep = r > static_cast<std::uint32_t>(Percent / 10) && Pattern != u" ";
            }
            if (!keep) {
                result += Rest.substr(0, found);
                std::u16string_view kana = Hiragana;
                if (mode == kmKatakana) kana = Katakana;
                if (mode == kmRandomKana) {
                    draws.push_back(2);
                    kana = draw(2) == 0 ? Hiragana : Katakana;
                }
                result += kana;
                ++replaced;
            } else {
                result += Rest.substr(0, found + Syllable.size());
            }
            Rest = Rest.substr(found + Syllable.size());
            std::u16string shown = Pattern == u" " ? u"Замена пробелов: " : u"Замена слога «" + Pattern + u"»: ";
            for (char c : std::to_string(Percent)) shown += static_cast<char16_t>(c);
            shown += u'%';
            texts.push_back(U8(shown));
            if (!(Flags & rfAllOccurrences)) {
                result += Rest;
                return result;
            }
            SearchText = SearchText.substr(found + Pattern.size());
        }
        return result;
    }
};

// Consecutive repeats removed: what the engine shows of a model's texts within one step.
inline std::vector<std::string> WithoutRepeats(const std::vector<std::string>& texts) {
    std::vector<std::string> out;
    for (const std::string& t : texts)
        if (out.empty() || out.back() != t) out.push_back(t);
    return out;
}

}  // namespace moratutor::test
