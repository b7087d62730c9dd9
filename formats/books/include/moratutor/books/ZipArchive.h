// Reading and writing zip archives in memory, through libzip.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct zip;
struct zip_source;

namespace moratutor::books {

// An archive opened from bytes that stay owned by the caller while it is open.
class ZipReader {
public:
    // Empty when the bytes are no zip archive libzip can open (truncated, damaged).
    static std::optional<ZipReader> Open(std::string_view bytes);

    ZipReader(ZipReader&&) noexcept;
    ZipReader& operator=(ZipReader&&) noexcept;
    ~ZipReader();

    std::vector<std::string> EntryNames() const;

    // The entry's size unpacked as the archive's directory states it; empty when there is
    // no such entry. A damaged or hostile archive may state less than it holds (Read is
    // bounded all the same), but never makes a book that states too much be read.
    std::optional<std::size_t> StatedSize(const std::string& name) const;

    // The entry's content, at most maxBytes of it whatever its header claims, so a
    // compressed bomb costs no more than the limit. Empty when there is no such entry
    // or it cannot be read; *complete (when given) says whether all of it was read.
    std::optional<std::string> Read(const std::string& name, std::size_t maxBytes, bool* complete = nullptr) const;

private:
    ZipReader(zip* archive, zip_source* source) : archive_(archive), source_(source) {}
    zip* archive_ = nullptr;
    zip_source* source_ = nullptr;
};

struct ZipEntry {
    std::string Name;
    std::string Content;
    bool Compressed = true;  // false: stored as it is, as an EPUB's "mimetype" must be
};

// The entries in the order given as one archive; empty if libzip reports an error.
std::optional<std::string> BuildZip(const std::vector<ZipEntry>& entries);

}  // namespace moratutor::books
