// The answer key as moratutor-convert writes it, and the write-then-rename that keeps an
// old key file whole until the new one is complete on disk.
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

// A file written beside its final name and renamed over it only by Commit; whatever was
// not committed is removed. The methods return false with errno set on failure.
class PendingFile {
public:
    explicit PendingFile(std::string path) : path_(std::move(path)) {}
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();

    // Begin makes a new file beside the final name, Append adds to it, End flushes it to the
    // disk and closes it; Write is the three for one piece of data.
    bool Begin();
    bool Append(std::string_view data);
    bool End();
    bool Write(std::string_view data);
    bool Commit();
    // Whether Begin failed because the name is a FIFO, device or folder.
    bool NotRegular() const { return notRegular_; }

private:
    std::string path_;
    std::string temporary_;
    int fd_ = -1;
    bool notRegular_ = false;
};

}  // namespace moratutor::convert
