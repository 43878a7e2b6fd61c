#include "ZipArchive.h"

#include <algorithm>
#include <cstdint>
#include <zip.h>

namespace vexana::exchange {

struct ZipArchive::Handle {
    zip_t* zip = nullptr;
    ~Handle() {
        if (zip) zip_discard(zip); // read only: nothing to write back
    }
};

namespace {

std::string zipErrorText(int code) {
    switch (code) {
    case ZIP_ER_NOZIP:
        return "is not a ZIP archive";
    case ZIP_ER_INCONS:
        return "is a damaged ZIP archive";
    case ZIP_ER_NOENT:
    case ZIP_ER_OPEN:
        return "can not be opened";
    case ZIP_ER_READ:
        return "can not be read";
    case ZIP_ER_MEMORY:
        return "is too large to read";
    default: {
        zip_error_t e;
        zip_error_init_with_code(&e, code);
        std::string text =
            std::string("can not be read as a ZIP archive (") + zip_error_strerror(&e) + ")";
        zip_error_fini(&e);
        return text;
    }
    }
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

} // namespace

ZipArchive::ZipArchive() : handle_(std::make_unique<Handle>()) {}
ZipArchive::~ZipArchive() = default;

bool ZipArchive::safeName(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.front() == '\\') return false;
    if (name.size() >= 2 && name[1] == ':') return false; // "C:..." on Windows
    if (name.find('\0') != std::string_view::npos) return false;
    // Windows tools write either separator, and unpacking on Windows honours both.
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = name.size();
        if (name.substr(start, end - start) == "..") return false;
        start = end + 1;
    }
    return true;
}

std::unique_ptr<ZipArchive> ZipArchive::open(const std::string& path, std::string& error) {
    std::unique_ptr<ZipArchive> archive(new ZipArchive);
    int code = 0;
    archive->handle_->zip = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!archive->handle_->zip) {
        error = zipErrorText(code);
        return nullptr;
    }
    return finishOpen(std::move(archive), error);
}

std::unique_ptr<ZipArchive> ZipArchive::fromBytes(std::string bytes, std::string& error) {
    std::unique_ptr<ZipArchive> archive(new ZipArchive);
    archive->bytes_ = std::move(bytes);
    zip_error_t e;
    zip_error_init(&e);
    zip_source_t* source =
        zip_source_buffer_create(archive->bytes_.data(), archive->bytes_.size(), 0, &e);
    if (source) {
        archive->handle_->zip = zip_open_from_source(source, ZIP_RDONLY, &e);
        if (!archive->handle_->zip) zip_source_free(source);
    }
    const int code = zip_error_code_zip(&e);
    zip_error_fini(&e);
    if (!archive->handle_->zip) {
        error = zipErrorText(code);
        return nullptr;
    }
    return finishOpen(std::move(archive), error);
}

std::unique_ptr<ZipArchive> ZipArchive::finishOpen(std::unique_ptr<ZipArchive> archive,
                                                   std::string& error) {
    zip_t* zip = archive->handle_->zip;
    const zip_int64_t count = zip_get_num_entries(zip, 0);
    if (count < 0 || static_cast<std::uint64_t>(count) > maxMembers) {
        error = "holds more than " + std::to_string(maxMembers) + " members";
        return nullptr;
    }
    archive->names_.reserve(static_cast<std::size_t>(count));
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(zip, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (!name) {
            error = "is a damaged ZIP archive";
            return nullptr;
        }
        if (!safeName(name)) {
            error = "holds a member that points outside the archive: \"" + std::string(name) + "\"";
            return nullptr;
        }
        archive->names_.emplace_back(name);
    }
    return archive;
}

bool ZipArchive::contains(std::string_view name) const {
    return std::find(names_.begin(), names_.end(), name) != names_.end();
}

std::string ZipArchive::findIgnoringCase(std::string_view name) const {
    for (const std::string& n : names_)
        if (n.size() == name.size() &&
            std::equal(n.begin(), n.end(), name.begin(),
                       [](char a, char b) { return lower(a) == lower(b); }))
            return n;
    return {};
}

std::optional<std::string> ZipArchive::read(std::string_view name, std::size_t maxBytes,
                                            std::string& error) const {
    const auto it = std::find(names_.begin(), names_.end(), name);
    if (it == names_.end()) {
        error = "has no member \"" + std::string(name) + "\"";
        return std::nullopt;
    }
    const auto index = static_cast<zip_uint64_t>(it - names_.begin());
    zip_t* zip = handle_->zip;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip, index, 0, &st) != 0) {
        error = "has a damaged member \"" + std::string(name) + "\"";
        return std::nullopt;
    }
    const std::string tooLarge = "has a member that unpacks to more than " +
                                 std::to_string(maxBytes) + " bytes: \"" + std::string(name) + "\"";
    const std::string tooLargeInAll =
        "unpacks to more than " + std::to_string(totalLimit_) + " bytes in all";
    const std::size_t budget = totalLimit_ - std::min(totalRead_, totalLimit_);
    if ((st.valid & ZIP_STAT_SIZE) && st.size > maxBytes) {
        error = tooLarge;
        return std::nullopt;
    }
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
        error = "has an encrypted member \"" + std::string(name) + "\"";
        return std::nullopt;
    }
    zip_file_t* file = zip_fopen_index(zip, index, 0);
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(zip));
        error =
            code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD
                ? "has an encrypted member \"" + std::string(name) + "\""
            : code == ZIP_ER_COMPNOTSUPP
                ? "has a member packed in a way that can not be read: \"" + std::string(name) + "\""
                : "has a damaged member \"" + std::string(name) + "\"";
        return std::nullopt;
    }
    // The header's size is only a claim; the bound holds for what actually comes out.
    std::string out;
    out.reserve(std::min<std::size_t>((st.valid & ZIP_STAT_SIZE) ? st.size : 0, maxBytes));
    char buffer[1 << 16];
    bool ok = true;
    for (;;) {
        const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
        if (n < 0) {
            ok = false;
            error = "has a damaged member \"" + std::string(name) + "\"";
            break;
        }
        if (n == 0) break;
        if (out.size() + static_cast<std::size_t>(n) > maxBytes) {
            ok = false;
            error = tooLarge;
            break;
        }
        if (out.size() + static_cast<std::size_t>(n) > budget) {
            ok = false;
            error = tooLargeInAll;
            break;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
    zip_fclose(file);
    totalRead_ += out.size();
    if (!ok) return std::nullopt;
    return out;
}

} // namespace vexana::exchange
