#include "moratutor/books/ZipArchive.h"

#include <zip.h>

#include <utility>

namespace moratutor::books {

namespace {

// An archive over a buffer of bytes (none for a new archive) and that buffer's source;
// both null when libzip refuses, with nothing left to free.
std::pair<zip_t*, zip_source_t*> OpenOverBuffer(const void* data, std::size_t size, int flags) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(data, size, 0, &error);
    zip_t* archive = source ? zip_open_from_source(source, flags, &error) : nullptr;
    zip_error_fini(&error);
    if (!archive) {
        if (source) zip_source_free(source);
        return {nullptr, nullptr};
    }
    return {archive, source};
}

}  // namespace

std::optional<ZipReader> ZipReader::Open(std::string_view bytes) {
    const auto [archive, source] = OpenOverBuffer(bytes.data(), bytes.size(), ZIP_RDONLY);
    if (!archive) return std::nullopt;
    return ZipReader(archive, source);
}

ZipReader::ZipReader(ZipReader&& other) noexcept
    : archive_(std::exchange(other.archive_, nullptr)), source_(std::exchange(other.source_, nullptr)) {}

ZipReader& ZipReader::operator=(ZipReader&& other) noexcept {
    if (this != &other) {
        if (archive_) zip_discard(archive_);
        archive_ = std::exchange(other.archive_, nullptr);
        source_ = std::exchange(other.source_, nullptr);
    }
    return *this;
}

// The archive owns its source once opened, so discarding it frees both.
ZipReader::~ZipReader() {
    if (archive_) zip_discard(archive_);
}

std::vector<std::string> ZipReader::EntryNames() const {
    std::vector<std::string> names;
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        if (const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS)) names.emplace_back(name);
    }
    return names;
}

std::optional<std::size_t> ZipReader::StatedSize(const std::string& name) const {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat(archive_, name.c_str(), ZIP_FL_ENC_GUESS, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) return std::nullopt;
    return static_cast<std::size_t>(stat.size);
}

std::optional<std::string> ZipReader::Read(const std::string& name, std::size_t maxBytes, bool* complete) const {
    if (complete) *complete = false;
    const zip_int64_t index = zip_name_locate(archive_, name.c_str(), ZIP_FL_ENC_GUESS);
    if (index < 0) return std::nullopt;
    zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
    if (!file) return std::nullopt;
    std::string content;
    char buffer[1 << 16];
    bool whole = false;
    while (content.size() <= maxBytes) {
        const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
        if (n < 0) break;  // damaged data: keep what came before it
        if (n == 0) {
            whole = true;
            break;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    zip_fclose(file);
    if (content.size() > maxBytes) {
        content.resize(maxBytes);
        whole = false;
    }
    if (complete) *complete = whole;
    return content;
}

std::optional<std::string> BuildZip(const std::vector<ZipEntry>& entries) {
    const auto [archive, target] = OpenOverBuffer(nullptr, 0, ZIP_TRUNCATE);
    if (!archive) return std::nullopt;
    // The archive would free the target on close; its bytes are wanted afterwards.
    zip_source_keep(target);

    bool ok = true;
    for (const ZipEntry& entry : entries) {
        zip_source_t* source = zip_source_buffer(archive, entry.Content.data(), entry.Content.size(), 0);
        if (!source) {
            ok = false;
            break;
        }
        const zip_int64_t index = zip_file_add(archive, entry.Name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            ok = false;
            break;
        }
        if (zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                     entry.Compressed ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 9) != 0) {
            ok = false;
            break;
        }
    }
    if (!ok || zip_close(archive) != 0) {
        zip_discard(archive);
        zip_source_free(target);
        return std::nullopt;
    }

    std::optional<std::string> bytes;
    if (zip_source_open(target) == 0) {
        std::string out;
        char buffer[1 << 16];
        zip_int64_t n = 0;
        while ((n = zip_source_read(target, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(n));
        if (n == 0) bytes = std::move(out);
        zip_source_close(target);
    }
    zip_source_free(target);
    return bytes;
}

}  // namespace moratutor::books
