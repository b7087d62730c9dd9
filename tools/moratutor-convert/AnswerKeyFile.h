// The answer key as moratutor-convert writes it.
#pragma once

#include "moratutor/ConversionKey.h"

#include <functional>
#include <string>
#include <string_view>

namespace moratutor::convert {

// "OFFSET<TAB>LENGTH<TAB>SOURCE\n" per entry, in UTF-8; OFFSET and LENGTH count the code
// points of `converted`, the text the key belongs to.
std::string FormatAnswerKey(std::u16string_view converted, const AnswerKey& key);

// The same, handed to `sink` in chunks as it is made.
void FormatAnswerKey(std::u16string_view converted, const AnswerKey& key,
                     const std::function<void(std::string_view)>& sink);

}  // namespace moratutor::convert
