#pragma once

#include "TestSupport.h"

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>
#include <zip.h>

namespace vexana::test {

// A ZIP file written with libzip itself, member by member, as other tools write them.
// Names are stored as given, unsafe ones included, so readers can be tried on them.
inline std::string makeZip(const std::string& path,
                           const std::vector<std::pair<std::string, std::string>>& members) {
    int err = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!z) throw std::runtime_error("zip_open failed");
    for (const auto& [name, bytes] : members) {
        zip_source_t* src = zip_source_buffer(z, bytes.data(), bytes.size(), 0);
        if (!src || zip_file_add(z, name.c_str(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0) {
            zip_source_free(src);
            zip_discard(z);
            throw std::runtime_error("zip_file_add failed for " + name);
        }
    }
    if (zip_close(z) != 0) {
        zip_discard(z);
        throw std::runtime_error("zip_close failed");
    }
    return readAll(path);
}

} // namespace vexana::test
