// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/mixfiles/archive_reader.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "core/storage/io_error.h"
#include "core/storage/read_descriptor.h"

namespace kelvarn {
namespace {

using Archive = std::unique_ptr<zip_t, decltype(&zip_discard)>;
using Entry = std::unique_ptr<zip_file_t, decltype(&zip_fclose)>;

constexpr std::size_t kPiece = 1 << 20;
constexpr std::size_t kSmallestPiece = 1 << 12;

bool isProjectName(std::string_view name) {
    constexpr std::string_view kExtension = ".flp";
    return name.size() >= kExtension.size() &&
           std::equal(kExtension.begin(), kExtension.end(), name.end() - kExtension.size(),
                      [](char wanted, char c) { return wanted == (c | 0x20); });
}

std::string printable(std::string name) {
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, ' ');
    return name;
}

// Bytes as they arrive, in a buffer that grows with them: nothing is filled before it is read.
class Arrived {
public:
    explicit Arrived(std::size_t firstGuess) { grow(firstGuess); }

    // Reads with `read` (bytes read, 0 at the end, -1 on failure) until the end, a failure or
    // kProjectLimit bytes; true when the bytes are all there was.
    template <typename Read>
    bool readAll(Read read) {
        for (;;) {
            if (size_ == capacity_) {
                grow(std::max(capacity_, kPiece));
            }
            const std::size_t room = std::min(capacity_ - size_, kProjectLimit + 1 - size_);
            const std::int64_t got = read(data_.get() + size_, room);
            if (got > 0) {
                size_ += static_cast<std::size_t>(got);
            }
            if (got <= 0 || size_ > kProjectLimit) {
                return got == 0;
            }
        }
    }

    std::string_view bytes() const { return {data_.get(), std::min(size_, kProjectLimit)}; }

private:
    void grow(std::size_t more) {
        auto bigger = std::make_unique_for_overwrite<char[]>(capacity_ + more);
        if (size_ > 0) {
            std::memcpy(bigger.get(), data_.get(), size_);
        }
        data_ = std::move(bigger);
        capacity_ += more;
    }

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

ProjectFacts readArrived(Arrived& arrived, bool whole) {
    ProjectFacts facts = readProject(arrived.bytes());
    facts.damaged = facts.damaged || !whole;
    return facts;
}

// The archive's bytes: a small archive read whole at once, a larger one mapped, so that only the
// pages its projects lie on come in. Empty when the file can be neither.
class MappedArchive {
public:
    explicit MappedArchive(int fd) {
        struct stat st {};
        if (::fstat(fd, &st) != 0 || st.st_size <= 0) {
            return;
        }
        const auto size = static_cast<std::size_t>(st.st_size);
        if (size <= kReadWhole) {
            read_ = std::make_unique_for_overwrite<char[]>(size);
            if (::pread(fd, read_.get(), size, 0) == static_cast<ssize_t>(size)) {
                bytes_ = {read_.get(), size};
            }
            return;
        }
        void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (data != MAP_FAILED) {
            bytes_ = {static_cast<const char*>(data), size};
        }
    }
    ~MappedArchive() {
        if (!bytes_.empty() && !read_) {
            ::munmap(const_cast<char*>(bytes_.data()), bytes_.size());
        }
    }
    MappedArchive(const MappedArchive&) = delete;
    MappedArchive& operator=(const MappedArchive&) = delete;

    std::string_view bytes() const { return bytes_; }

private:
    static constexpr std::size_t kReadWhole = 1 << 20;
    std::unique_ptr<char[]> read_;
    std::string_view bytes_;
};

std::uint32_t little(std::string_view bytes, std::size_t at, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = width; i-- > 0;) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

// An entry as the central directory lists it: what reading its bytes in place needs.
struct DirectoryEntry {
    std::uint32_t flags = 0, method = 0, crc = 0, packed = 0, size = 0, local = 0;
    std::string_view name;
};

constexpr std::size_t kEndRecord = 22, kDirectoryRecord = 46, kLocalHeader = 30;
constexpr std::uint32_t kWide = 0xFFFFFFFF;  // a field whose value a ZIP64 record holds

// The end record's offset: the last one whose comment reaches the end of the file.
std::optional<std::size_t> endRecord(std::string_view archive) {
    if (archive.size() < kEndRecord) {
        return std::nullopt;
    }
    const std::size_t lowest =
        archive.size() > kEndRecord + 0xFFFF ? archive.size() - kEndRecord - 0xFFFF : 0;
    for (std::size_t at = archive.size() - kEndRecord + 1; at-- > lowest;) {
        if (archive.compare(at, 4, "PK\5\6") == 0 &&
            at + kEndRecord + little(archive, at + 20, 2) == archive.size()) {
            return at;
        }
    }
    return std::nullopt;
}

// The central directory's entries, each checked against the file's bounds; none when it is not
// a plain one (ZIP64, cut, damaged): such an archive's projects are read through libzip alone.
std::vector<DirectoryEntry> plainDirectory(std::string_view archive) {
    const std::optional<std::size_t> end = endRecord(archive);
    if (!end) {
        return {};
    }
    const std::uint32_t count = little(archive, *end + 10, 2);
    const std::uint32_t size = little(archive, *end + 12, 4);
    const std::uint32_t offset = little(archive, *end + 16, 4);
    if (count == 0xFFFF || offset == kWide || offset > *end || size > *end - offset) {
        return {};
    }
    std::vector<DirectoryEntry> entries;
    entries.reserve(count);
    const std::size_t last = offset + size;
    for (std::size_t at = offset; entries.size() < count;) {
        if (last - at < kDirectoryRecord || archive.compare(at, 4, "PK\1\2") != 0) {
            return {};
        }
        DirectoryEntry entry{little(archive, at + 8, 2),
                             little(archive, at + 10, 2),
                             little(archive, at + 16, 4),
                             little(archive, at + 20, 4),
                             little(archive, at + 24, 4),
                             little(archive, at + 42, 4),
                             {}};
        const std::size_t name = little(archive, at + 28, 2);
        const std::size_t record =
            kDirectoryRecord + name + little(archive, at + 30, 2) + little(archive, at + 32, 2);
        if (last - at < record || entry.packed == kWide || entry.size == kWide ||
            entry.local == kWide) {
            return {};
        }
        entry.name = archive.substr(at + kDirectoryRecord, name);
        entries.push_back(entry);
        at += record;
    }
    return entries;
}

// A project stored whole, not compressed nor encrypted, where the directory and libzip agree on
// it: its bytes in the archive, found from its local header and checked to lie within the file.
// Anything else (no answer) is read through libzip.
std::optional<std::string_view> storedInPlace(std::string_view archive, const DirectoryEntry& entry,
                                              const zip_stat_t& stat, const char* rawName) {
    constexpr zip_uint64_t kNeeded = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC |
                                     ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
    if ((stat.valid & kNeeded) != kNeeded || stat.comp_method != ZIP_CM_STORE ||
        stat.encryption_method != ZIP_EM_NONE || stat.size != stat.comp_size ||
        stat.size > kProjectLimit || entry.method != ZIP_CM_STORE || (entry.flags & 1) != 0 ||
        entry.size != stat.size || entry.packed != stat.comp_size || entry.crc != stat.crc ||
        rawName == nullptr || entry.name != rawName) {
        return std::nullopt;
    }
    const std::size_t local = entry.local;
    if (archive.size() < kLocalHeader || local > archive.size() - kLocalHeader ||
        archive.compare(local, 4, "PK\3\4") != 0) {
        return std::nullopt;
    }
    const std::size_t data =
        local + kLocalHeader + little(archive, local + 26, 2) + little(archive, local + 28, 2);
    if (data > archive.size() || archive.size() - data < entry.size) {
        return std::nullopt;
    }
    return archive.substr(data, entry.size);
}

MixProject projectEntry(zip_t* archive, zip_uint64_t index, const zip_stat_t& stat,
                        std::string name) {
    // The directory's size only guesses the first piece: a false one costs a piece more.
    Arrived arrived(std::clamp<std::size_t>(
        (stat.valid & ZIP_STAT_SIZE) != 0 ? stat.size + 1 : kPiece, kSmallestPiece, kPiece));
    bool whole = false;
    if (Entry entry(zip_fopen_index(archive, index, 0), zip_fclose); entry) {
        whole = arrived.readAll([&entry](char* to, std::size_t room) {
            return static_cast<std::int64_t>(zip_fread(entry.get(), to, room));
        });
    }
    return {std::move(name), readArrived(arrived, whole)};
}

// The project read in place, its CRC-32 checked as libzip checks it: a wrong one flags it
// damaged.
MixProject projectInPlace(std::string_view bytes, const zip_stat_t& stat, std::string name) {
    ProjectFacts facts = readProject(bytes);
    facts.damaged = facts.damaged || libdeflate_crc32(0, bytes.data(), bytes.size()) != stat.crc;
    return {std::move(name), std::move(facts)};
}

// The archive opened by libzip: from the mapping when there is one (its directory then read
// without a system call), else from the descriptor, which it then owns.
Archive openArchive(const std::string& path, ReadDescriptor& file, const MappedArchive& mapped) {
    zip_error_t error;
    zip_error_init(&error);
    zip_t* archive = nullptr;
    if (zip_source_t* source = mapped.bytes().empty()
                                   ? nullptr
                                   : zip_source_buffer_create(mapped.bytes().data(),
                                                              mapped.bytes().size(), 0, &error)) {
        archive = zip_open_from_source(source, ZIP_RDONLY, &error);
        if (archive == nullptr) {
            zip_source_free(source);
        }
    } else if (mapped.bytes().empty()) {
        int code = 0;
        archive = zip_fdopen(file.get(), ZIP_RDONLY, &code);
        zip_error_set(&error, code, 0);
        if (archive != nullptr) {
            file.release();
        }
    }
    if (archive == nullptr) {
        const int code = zip_error_code_zip(&error);
        const std::string why = code == ZIP_ER_NOZIP ? "Neither a ZIP archive nor a project"
                                                     : zip_error_strerror(&error);
        zip_error_fini(&error);
        throw IoError::unreadable(path, why);
    }
    zip_error_fini(&error);
    return Archive(archive, zip_discard);
}

MixContents archiveContents(const std::string& path, ReadDescriptor& file) {
    const MappedArchive mapped(file.get());
    Archive archive = openArchive(path, file, mapped);
    MixContents contents;
    const zip_int64_t entries = zip_get_num_entries(archive.get(), 0);
    const std::vector<DirectoryEntry> directory = plainDirectory(mapped.bytes());
    const bool inPlace = entries >= 0 && directory.size() == static_cast<std::size_t>(entries);
    for (zip_int64_t i = 0; i < entries; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t stat;
        if (zip_stat_index(archive.get(), index, 0, &stat) != 0 ||
            (stat.valid & ZIP_STAT_NAME) == 0) {
            continue;
        }
        std::string name = printable(stat.name);
        contents.files.push_back({name, (stat.valid & ZIP_STAT_SIZE) != 0 ? stat.size : 0});
        if (!isProjectName(name)) {
            continue;
        }
        const std::optional<std::string_view> stored =
            inPlace ? storedInPlace(mapped.bytes(), directory[index], stat,
                                    zip_get_name(archive.get(), index, ZIP_FL_ENC_RAW))
                    : std::nullopt;
        contents.projects.push_back(
            stored ? projectInPlace(*stored, stat, std::move(name))
                   : projectEntry(archive.get(), index, stat, std::move(name)));
    }
    return contents;
}

MixContents bareProject(const std::string& path, const ReadDescriptor& file) {
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) {
        throw IoError::fromErrno(path, errno);
    }
    Arrived arrived(std::clamp<std::size_t>(static_cast<std::size_t>(st.st_size) + 1,
                                            kSmallestPiece, kProjectLimit + 1));
    int failure = 0;
    const bool whole = arrived.readAll([&](char* to, std::size_t room) {
        ssize_t got = 0;
        do {
            got = ::read(file.get(), to, room);
        } while (got < 0 && errno == EINTR);
        failure = got < 0 ? errno : 0;
        return static_cast<std::int64_t>(got);
    });
    if (failure != 0) {
        throw IoError::fromErrno(path, failure);
    }
    std::string name = printable(path.substr(path.find_last_of('/') + 1));
    MixContents contents;
    contents.files.push_back({name, static_cast<std::uint64_t>(st.st_size)});
    contents.projects.push_back({std::move(name), readArrived(arrived, whole)});
    return contents;
}

}  // namespace

MixContents readMixContents(const std::string& path) {
    ReadDescriptor file(path);
    if (file.get() < 0) {
        throw IoError::fromErrno(path, file.openError());
    }
    char head[4];
    const ssize_t got = ::pread(file.get(), head, sizeof head, 0);
    if (got < 0) {
        throw IoError::fromErrno(path, errno);
    }
    if (looksLikeProject({head, static_cast<std::size_t>(got)})) {
        return bareProject(path, file);
    }
    return archiveContents(path, file);
}

std::vector<std::string> contentLines(const MixContents& contents) {
    std::vector<std::string> lines;
    for (const MixFile& file : contents.files) {
        lines.push_back("file\t" + file.name + '\t' + std::to_string(file.bytes));
    }
    for (const MixProject& project : contents.projects) {
        lines.push_back("project\t" + project.name);
        for (std::string& line : factLines(project.facts)) {
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

}  // namespace kelvarn
