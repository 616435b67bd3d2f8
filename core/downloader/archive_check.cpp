// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/downloader/archive_check.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <memory>
#include <new>
#include <vector>

#include "core/storage/read_descriptor.h"

namespace kelvarn {

namespace {

constexpr std::size_t kLocalHeader = 30;
constexpr std::size_t kEndRecord = 22;
constexpr std::string_view kLocalMagic("PK\3\4", 4);
constexpr std::string_view kDirectoryMagic("PK\1\2", 4);
constexpr std::string_view kEndMagic("PK\5\6", 4);

std::uint32_t little(std::string_view bytes, std::size_t at, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = width; i-- > 0;) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

// Encrypted, a data descriptor instead of sizes, strong encryption, a masked header.
constexpr std::uint32_t kUnfollowedFlags = 0x0001 | 0x0008 | 0x0040 | 0x2000;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint32_t kZip64Size = 0xFFFFFFFF;

// Where the directory of the archive in `fd` begins as its end record says, the record found
// where libzip found it: right before the comment, which ends the file.
std::optional<std::uint64_t> directoryStart(int fd, zip_t* archive) {
    int length = 0;
    zip_get_archive_comment(archive, &length, ZIP_FL_ENC_RAW);
    struct stat st {};
    std::array<char, kEndRecord> record{};
    const off_t at =
        ::fstat(fd, &st) == 0 ? st.st_size - static_cast<off_t>(kEndRecord) - length : -1;
    const bool read = at >= 0 && ::pread(fd, record.data(), record.size(), at) ==
                                     static_cast<ssize_t>(record.size());
    const std::string_view bytes(record.data(), record.size());
    if (!read || !bytes.starts_with(kEndMagic)) {
        return std::nullopt;
    }
    return little(bytes, 16, 4);
}

// Whether the sums that arrived show the entry reads back whole: the same method, the bytes its
// data takes, the bytes they come to and their CRC-32 as the directory says.
bool arrivedWhole(const ArchiveSums::Entry* sums, const zip_stat_t& st) {
    constexpr zip_uint64_t kNeeded = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC |
                                     ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
    return sums != nullptr && (st.valid & kNeeded) == kNeeded &&
           st.encryption_method == ZIP_EM_NONE && st.comp_method == sums->method &&
           st.comp_size == sums->compressed && st.size == sums->size && st.crc == sums->crc;
}

// The first bytes of the file at `path`, as many as there are up to `count`.
std::string firstBytes(int fd, std::size_t count) {
    std::string bytes(count, '\0');
    const ssize_t got = fd < 0 ? 0 : ::pread(fd, bytes.data(), count, 0);
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return bytes;
}

bool labelledPage(std::string_view contentType) {
    std::string type(contentType.substr(0, contentType.find(';')));
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::size_t first = type.find_first_not_of(" \t");
    const std::size_t last = type.find_last_not_of(" \t");
    return first != std::string::npos && type.substr(first, last - first + 1) == "text/html";
}

// '<' after any white space, past a byte-order mark; a UTF-16 page has a NUL beside each letter.
bool beginsLikePage(std::string_view bytes) {
    bool wide = false;
    for (std::string_view mark : {std::string_view("\xEF\xBB\xBF"), std::string_view("\xFF\xFE"),
                                  std::string_view("\xFE\xFF")}) {
        if (bytes.starts_with(mark)) {
            bytes.remove_prefix(mark.size());
            wide = mark.size() == 2;
            break;
        }
    }
    const std::size_t at = bytes.find_first_not_of(wide ? std::string_view(" \t\r\n\f\v\0", 7)
                                                        : std::string_view(" \t\r\n\f\v"));
    return at != std::string_view::npos && bytes[at] == '<';
}

bool beginsLikeZip(std::string_view bytes) {
    return bytes.starts_with(kLocalMagic) || bytes.starts_with(kEndMagic) ||
           bytes.starts_with(std::string_view("PK\x07\x08", 4));
}

}  // namespace

struct ArchiveSums::Inflater {
    Inflater() {
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
            throw std::bad_alloc();
        }
    }
    ~Inflater() { inflateEnd(&stream); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    z_stream stream{};
    bool ended = false;
    std::vector<unsigned char> out = std::vector<unsigned char>(1 << 16);
};

ArchiveSums::ArchiveSums() = default;
ArchiveSums::~ArchiveSums() = default;
ArchiveSums::ArchiveSums(ArchiveSums&&) noexcept = default;
ArchiveSums& ArchiveSums::operator=(ArchiveSums&&) noexcept = default;

void ArchiveSums::feed(std::string_view bytes) {
    fed_ += bytes.size();
    // Header bytes wait in header_ until the whole header has arrived.
    auto collect = [&](std::size_t want) {
        const std::size_t take = std::min(bytes.size(), want - header_.size());
        header_.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        return header_.size() == want;
    };
    while (!bytes.empty()) {
        switch (stage_) {
            case Stage::Header:
                if (collect(kLocalHeader)) {
                    startEntry();
                }
                break;
            case Stage::Name:
                if (collect(kLocalHeader + little(header_, 26, 2) + little(header_, 28, 2))) {
                    startData();
                }
                break;
            case Stage::Data:
                bytes = sumData(bytes);
                break;
            case Stage::Directory:
            case Stage::Lost:
                return;
        }
    }
}

void ArchiveSums::startEntry() {
    if (header_.starts_with(kDirectoryMagic) || header_.starts_with(kEndMagic)) {
        stage_ = Stage::Directory;
        return;
    }
    const std::uint32_t method = little(header_, 8, 2);
    const bool followed =
        header_.starts_with(kLocalMagic) && (little(header_, 6, 2) & kUnfollowedFlags) == 0 &&
        (method == kStored || method == kDeflated) && little(header_, 18, 4) != kZip64Size &&
        little(header_, 22, 4) != kZip64Size;
    stage_ = followed ? Stage::Name : Stage::Lost;
}

void ArchiveSums::startData() {
    current_ = {};
    current_.method = static_cast<std::uint16_t>(little(header_, 8, 2));
    left_ = little(header_, 18, 4);
    damaged_ = false;
    if (current_.method == kDeflated) {
        if (!inflater_) {
            inflater_ = std::make_unique<Inflater>();
        } else {
            inflateReset(&inflater_->stream);
        }
        inflater_->ended = false;
    }
    stage_ = Stage::Data;
    if (left_ == 0) {
        endEntry();
    }
}

std::string_view ArchiveSums::sumData(std::string_view bytes) {
    const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(left_, bytes.size()));
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    current_.compressed += take;
    left_ -= take;
    // libdeflate's CRC-32 uses the processor's carry-less multiply: three times zlib's speed, on
    // the thread that takes the transfer's bytes.
    if (current_.method == kStored) {
        current_.crc = libdeflate_crc32(current_.crc, data, take);
        current_.size += take;
    } else if (!damaged_) {
        z_stream& z = inflater_->stream;
        z.next_in = data;
        z.avail_in = static_cast<uInt>(take);
        while (!inflater_->ended && !damaged_ && (z.avail_in > 0 || z.avail_out == 0)) {
            z.next_out = inflater_->out.data();
            z.avail_out = static_cast<uInt>(inflater_->out.size());
            const int result = inflate(&z, Z_NO_FLUSH);
            const uInt made = static_cast<uInt>(inflater_->out.size()) - z.avail_out;
            current_.crc = libdeflate_crc32(current_.crc, inflater_->out.data(), made);
            current_.size += made;
            inflater_->ended = result == Z_STREAM_END;
            damaged_ = result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR;
        }
        // Data past the end of the deflated stream is no part of the entry.
        damaged_ = damaged_ || (inflater_->ended && (z.avail_in > 0 || left_ > 0));
    }
    if (left_ == 0) {
        endEntry();
    }
    return bytes.substr(take);
}

void ArchiveSums::endEntry() {
    const bool whole = !damaged_ && (current_.method == kStored || (inflater_ && inflater_->ended));
    std::string name = header_.substr(kLocalHeader, little(header_, 26, 2));
    auto [at, added] = entries_.try_emplace(std::move(name), current_);
    if (!added || !whole) {
        at->second.reset();
    }
    headerOffset_ += header_.size() + current_.compressed;
    header_.clear();
    stage_ = Stage::Header;
}

std::optional<std::uint64_t> ArchiveSums::directoryOffset() const {
    return stage_ == Stage::Directory ? std::optional(headerOffset_) : std::nullopt;
}

const ArchiveSums::Entry* ArchiveSums::entry(const std::string& name) const {
    auto at = entries_.find(name);
    return at != entries_.end() && at->second ? &*at->second : nullptr;
}

namespace {

std::string zipErrorText(int code, int systemError = 0) {
    zip_error_t error;
    zip_error_init(&error);
    zip_error_set(&error, code, systemError);
    std::string message = zip_error_strerror(&error);
    zip_error_fini(&error);
    return message;
}

std::optional<std::string> defectOf(const ReadDescriptor& file, const ArchiveSums& arrived) {
    if (file.get() < 0) {
        return zipErrorText(ZIP_ER_OPEN, file.openError());
    }
    // libzip takes a descriptor of its own, and closes it; the reads here go on with this one.
    const int own = ::fcntl(file.get(), F_DUPFD_CLOEXEC, 0);
    int code = ZIP_ER_OPEN;
    std::unique_ptr<zip_t, decltype(&zip_discard)> archive(
        own >= 0 ? zip_fdopen(own, ZIP_CHECKCONS, &code) : nullptr, zip_discard);
    if (!archive) {
        if (own >= 0) {
            ::close(own);
        }
        return zipErrorText(code);
    }
    // The sums count only when they followed every entry up to the directory the file ends with.
    const bool followed = arrived.directoryOffset() &&
                          arrived.directoryOffset() == directoryStart(file.get(), archive.get());
    // Reading every other entry to its end makes libzip compare it with its CRC-32.
    std::vector<char> buffer;
    const zip_int64_t entries = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < entries; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t st;
        if (followed && zip_stat_index(archive.get(), index, ZIP_FL_ENC_RAW, &st) == 0 &&
            (st.valid & ZIP_STAT_NAME) != 0 && arrivedWhole(arrived.entry(st.name), st)) {
            continue;
        }
        std::unique_ptr<zip_file_t, decltype(&zip_fclose)> entry(
            zip_fopen_index(archive.get(), index, 0), zip_fclose);
        if (!entry) {
            return zip_strerror(archive.get());
        }
        buffer.resize(std::size_t{1} << 20);
        zip_int64_t got = 0;
        while ((got = zip_fread(entry.get(), buffer.data(), buffer.size())) > 0) {
        }
        if (got < 0) {
            return std::string(zip_get_name(archive.get(), index, 0)) + ": " +
                   zip_file_strerror(entry.get());
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> archiveDefect(const std::string& path, const ArchiveSums& arrived) {
    return defectOf(ReadDescriptor(path), arrived);
}

std::optional<BodyDefect> bodyDefect(const std::string& path, std::string_view contentType,
                                     const ArchiveSums& arrived) {
    const ReadDescriptor file(path);
    const std::string head = firstBytes(file.get(), 4096);
    if (labelledPage(contentType) || beginsLikePage(head)) {
        return BodyDefect{BodyDefect::Kind::Page, {}};
    }
    if (!beginsLikeZip(head)) {
        return std::nullopt;
    }
    std::optional<std::string> defect = defectOf(file, arrived);
    if (!defect) {
        return std::nullopt;
    }
    return BodyDefect{BodyDefect::Kind::BrokenArchive, std::move(*defect)};
}

}  // namespace kelvarn
