#include "core/downloader/archive_check.h"

#include <zip.h>

#include <memory>
#include <vector>

namespace kelvarn {

std::optional<std::string> archiveDefect(const std::string& path) {
    int code = 0;
    std::unique_ptr<zip_t, decltype(&zip_discard)> archive(
        zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code), zip_discard);
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        std::string message = zip_error_strerror(&error);
        zip_error_fini(&error);
        return message;
    }
    // Reading every entry to its end makes libzip compare it with its CRC-32.
    std::vector<char> buffer(1 << 20);
    const zip_int64_t entries = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < entries; ++i) {
        std::unique_ptr<zip_file_t, decltype(&zip_fclose)> entry(
            zip_fopen_index(archive.get(), static_cast<zip_uint64_t>(i), 0), zip_fclose);
        if (!entry) {
            return zip_strerror(archive.get());
        }
        zip_int64_t got = 0;
        while ((got = zip_fread(entry.get(), buffer.data(), buffer.size())) > 0) {
        }
        if (got < 0) {
            return std::string(zip_get_name(archive.get(), static_cast<zip_uint64_t>(i), 0)) +
                   ": " + zip_file_strerror(entry.get());
        }
    }
    return std::nullopt;
}

}  // namespace kelvarn
