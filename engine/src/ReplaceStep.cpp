#include "ReplaceStep.h"

#include "KeyRecorder.h"
#include "Searcher.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace moratutor::detail {
namespace {

// Where the step writes its result: back into the text it reads (the result can only
// shrink there, so the write position never overtakes the read position), or a new string.
class Output {
public:
    Output(std::u16string& text, bool inPlace) : text_(text), inPlace_(inPlace) {
        if (!inPlace_) fresh_.reserve(text.size());
    }
    void Append(const char16_t* from, std::size_t count) {
        if (count == 0) return;
        if (inPlace_) {
            char16_t* to = text_.data() + written_;
            if (to != from) std::memmove(to, from, count * sizeof(char16_t));
            written_ += count;
        } else {
            fresh_.append(from, count);
        }
    }
    std::size_t Size() const { return inPlace_ ? written_ : fresh_.size(); }
    void Finish() {
        if (inPlace_)
            text_.resize(written_);
        else
            text_.swap(fresh_);
    }

private:
    std::u16string& text_;
    bool inPlace_;
    std::size_t written_ = 0;
    std::u16string fresh_;
};

void RaiseCount(std::int32_t* counter) {
    if (counter && *counter < std::numeric_limits<std::int32_t>::max()) ++*counter;
}

// How far into the text `passed` units are, in whole percent, halves to even.
int PercentAt(std::size_t passed, std::size_t length) {
    return static_cast<int>(std::nearbyint(static_cast<double>(passed) * 100.0 / static_cast<double>(length)));
}

// The first position after `passed` whose percent is higher (length + 1 when none is), so the
// step divides only when the percent can have changed, not at every occurrence.
std::size_t NextPercentChange(std::size_t passed, std::size_t length) {
    const int percent = PercentAt(passed, length);
    std::size_t low = passed + 1, high = length + 1;  // the answer lies in [low, high]
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (PercentAt(mid, length) > percent)
            high = mid;
        else
            low = mid + 1;
    }
    return low;
}

std::uint32_t Draw(StepEnvironment& env, std::uint32_t n) {
    return env.RandomBelow ? env.RandomBelow(n) : RandomBelow(n);
}

}  // namespace

std::u16string ProgressText(std::u16string_view pattern, int percent) {
    std::u16string out;
    if (pattern == u" ") {
        out = u"Замена пробелов: ";
    } else {
        out = u"Замена слога «";
        out += pattern;
        out += u"»: ";
    }
    const std::string digits = std::to_string(percent);
    out.append(digits.begin(), digits.end());
    out += u'%';
    return out;
}

void ReplaceInText(StepEnvironment& env, std::u16string& text, std::u16string_view syllable,
                   std::u16string_view hiragana, std::u16string_view katakana, unsigned flags,
                   KeyRecorder* recorder) {
    const Searcher searcher(syllable, (flags & rfCaseInsensitive) != 0);
    const bool allOccurrences = (flags & rfAllOccurrences) != 0;
    const std::u16string& pattern = searcher.Pattern();
    const bool spacePattern = pattern == u" ";
    const std::size_t length = text.size();
    const std::size_t syllableLength = syllable.size();
    if (length == 0) return;

    std::size_t found = searcher.Find(text.data(), length, 0);
    if (found == Searcher::npos) return;

    Output out(text, hiragana.size() <= syllableLength && katakana.size() <= syllableLength);
    const char16_t* const source = text.data();  // stays valid: the text is not resized before Finish
    std::size_t rest = 0;                           // where the unconsumed text begins
    int shownPercent = -1;
    int percent = 0;                 // how far the step has come: the text up to the end of the previous occurrence
    std::size_t percentChanges = 0;  // where `percent` must be worked out afresh
    while (found != Searcher::npos) {
        if (rest >= percentChanges) {
            percent = PercentAt(rest, length);
            percentChanges = NextPercentChange(rest, length);
        }
        bool keep = false;
        if (env.SnowballMode) {
            const std::uint32_t r = Draw(env, 10);
            keep = r > static_cast<std::uint32_t>(percent / 10) && !spacePattern;
        }
        out.Append(source + rest, found - rest);
        if (keep) {
            out.Append(source + found, syllableLength);
        } else {
            bool useKatakana = env.CurrentKanaMode == kmKatakana;
            if (env.CurrentKanaMode == kmRandomKana) useKatakana = Draw(env, 2) != 0;
            std::u16string_view kana = useKatakana ? katakana : hiragana;
            if (recorder)
                kana = recorder->Replace(found, {source + found, syllableLength}, out.Size(), kana,
                                         useKatakana ? kmKatakana : kmHiragana);
            out.Append(kana.data(), kana.size());
            RaiseCount(env.ReplacementCount);
        }
        rest = found + syllableLength;
        if (percent != shownPercent && env.ShowProgressText) {
            env.ShowProgressText(ProgressText(pattern, percent));
            shownPercent = percent;
        }
        if (!allOccurrences) break;
        found = searcher.Find(source, length, rest);
    }
    out.Append(source + rest, length - rest);
    out.Finish();
}

}  // namespace moratutor::detail
