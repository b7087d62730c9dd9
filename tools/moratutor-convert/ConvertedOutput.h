// Where moratutor-convert puts the converted text and its answer key, and in which order.
#pragma once

#include "CommandLine.h"

#include "moratutor/ConversionKey.h"
#include "moratutor/books/BookInfo.h"
#include "moratutor/converted/ConvertedFormats.h"

#include <optional>
#include <string>
#include <string_view>

namespace moratutor::convert {

// Writes all of `data` to the descriptor; false with errno set on failure.
bool WriteAll(int fd, std::string_view data);

// Writes the text to settings.Output in its format, or else to standard output, and the key,
// when there is one, to settings.AnswerKeyFile. The key is complete on disk before the text
// goes out and takes its name only once the text is written too, so a run that fails leaves
// both old files. A book is formatted as `formats` (mapped to the text) says and carries
// the details' authors, language, annotation and cover. The text and the key are used up.
// Throws DocumentError with the message for the user.
void WriteConverted(const Settings& settings, std::u16string& text, std::optional<AnswerKey> key,
                    const std::string& title, const converted::SourceFormats& formats = {},
                    const books::BookInfo& details = {});

}  // namespace moratutor::convert
