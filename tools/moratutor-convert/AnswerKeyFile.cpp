#include "AnswerKeyFile.h"

#include "moratutor/Utf8.h"

#include <unicode/utf16.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace moratutor::convert {

std::string FormatAnswerKey(std::u16string_view converted, const AnswerKey& key) {
    std::string out;
    out.reserve(key.size() * 12);
    // Code points are counted once through the text, entry by entry.
    std::size_t unit = 0, codePoints = 0;
    const auto advanceTo = [&](std::size_t target) {
        for (; unit < target; ++unit)
            if (!(unit > 0 && U16_IS_TRAIL(converted[unit]) && U16_IS_LEAD(converted[unit - 1]))) ++codePoints;
    };
    for (const KeyEntry& e : key) {
        advanceTo(e.Offset);
        out += std::to_string(codePoints);
        out += '\t';
        out += std::to_string(e.Length);  // kana are single units
        out += '\t';
        out += codecs::EncodeUtf8(e.Source());
        out += '\n';
    }
    return out;
}

PendingFile::~PendingFile() {
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

bool PendingFile::Write(std::string_view data) {
    std::vector<char> name(path_.begin(), path_.end());
    for (char c : std::string_view(".XXXXXX")) name.push_back(c);
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return false;
    temporary_ = name.data();
    // mkostemp makes the file private; a key file gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = ::fchmod(fd, 0666 & ~mask) == 0;
    for (std::size_t done = 0; ok && done < data.size();) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    const int error = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok && errno == 0) errno = error;
    return ok;
}

bool PendingFile::Commit() {
    if (temporary_.empty()) {
        errno = ENOENT;
        return false;
    }
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) return false;
    temporary_.clear();
    return true;
}

}  // namespace moratutor::convert
