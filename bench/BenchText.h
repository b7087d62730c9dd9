// A Russian text of a given length, strung together from the shipped word list with a
// fixed pseudo-random sequence, so every run converts the same text.
#pragma once

#include <string>

namespace moratutor::bench {

// Words of the list file (UTF-8, one a line, '#' lines skipped) as sentences with capitals,
// commas, full stops and paragraph breaks; exactly `length` UTF-16 code units.
std::u16string BuildText(const std::string& wordListPath, std::size_t length);

}  // namespace moratutor::bench
