// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/inspect/mix_contents.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "core/storage/io_error.h"

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

class Descriptor {
public:
    explicit Descriptor(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY)) {
        if (fd_ < 0) {
            throw IoError::fromErrno(path, errno);
        }
    }
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    // From here on the descriptor is someone else's to close.
    void release() { fd_ = -1; }

private:
    int fd_;
};

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

MixContents archiveContents(const std::string& path, Descriptor& file) {
    int code = 0;
    Archive archive(zip_fdopen(file.get(), ZIP_RDONLY, &code), zip_discard);
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const std::string why = code == ZIP_ER_NOZIP ? "Neither a ZIP archive nor a project"
                                                     : zip_error_strerror(&error);
        zip_error_fini(&error);
        throw IoError::unreadable(path, why);
    }
    file.release();
    MixContents contents;
    const zip_int64_t entries = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < entries; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t stat;
        if (zip_stat_index(archive.get(), index, 0, &stat) != 0 ||
            (stat.valid & ZIP_STAT_NAME) == 0) {
            continue;
        }
        std::string name = printable(stat.name);
        contents.files.push_back({name, (stat.valid & ZIP_STAT_SIZE) != 0 ? stat.size : 0});
        if (isProjectName(name)) {
            contents.projects.push_back(projectEntry(archive.get(), index, stat, std::move(name)));
        }
    }
    return contents;
}

MixContents bareProject(const std::string& path, const Descriptor& file) {
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
    Descriptor file(path);
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
