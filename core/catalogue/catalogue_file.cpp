#include "core/catalogue/catalogue_file.h"

#include <filesystem>
#include <limits>

#include <fcntl.h>

#include <algorithm>
#include <vector>

#include "core/storage/backups.h"
#include "core/storage/io_error.h"

namespace kelvarn {
namespace {

constexpr std::uint32_t kBlockRecords = 4096;

std::uint32_t recordsIn(const LockedFile& file) {
    return recordsInBytes(file.size(), file.path());
}

std::uint64_t offsetOf(std::uint32_t n) {
    return static_cast<std::uint64_t>(n - 1) * kRecordSize;
}

// A catalogue about to be written: one too long to number is refused before anything else is
// done to it, its daily backup included.
const std::string& writable(const std::string& path) {
    std::error_code missing;
    const std::uintmax_t bytes = std::filesystem::file_size(path, missing);
    if (!missing) {
        recordsInBytes(bytes, path);
    }
    return backedUpBeforeWriting(path);
}

// Records `from`..`last` in blocks: `read` fills a block with the records from its first number on.
template <typename Read>
void forEachInBlocks(std::uint32_t from, std::uint32_t last, const Read& read,
                     const std::function<void(std::uint32_t number, const MixRecordView&)>& visit) {
    std::vector<unsigned char> block;
    for (std::uint32_t first = std::max<std::uint32_t>(from, 1); first <= last;
         first += kBlockRecords) {
        const std::uint32_t wanted = std::min(kBlockRecords, last - first + 1);
        block.resize(static_cast<std::size_t>(wanted) * kRecordSize);
        read(block, first);
        for (std::uint32_t i = 0; i < wanted; ++i) {
            visit(first + i,
                  decodeRecordView(block.data() + static_cast<std::size_t>(i) * kRecordSize));
        }
    }
}

}  // namespace

std::uint32_t recordsInBytes(std::uint64_t bytes, const std::string& path) {
    const std::uint64_t records = bytes / kRecordSize;
    if (records > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        throw IoError::tooManyRecords(path);
    }
    return static_cast<std::uint32_t>(records);
}

std::uint32_t CatalogueFile::count() const {
    LockedFile file(path_, O_RDONLY, LockedFile::Lock::Shared);
    return recordsIn(file);
}

MixRecord CatalogueFile::read(std::uint32_t n) const {
    LockedFile file(path_, O_RDONLY, LockedFile::Lock::Shared);
    if (n == 0) {
        throw IoError(path_, kReadBeyondEnd);
    }
    RecordBytes bytes;
    file.readAt(bytes.data(), bytes.size(), offsetOf(n));
    return decodeRecord(bytes.data());
}

void CatalogueFile::update(std::uint32_t n, const std::function<void(MixRecord&)>& change) {
    LockedFile file(writable(path_), O_RDWR, LockedFile::Lock::Exclusive);
    if (n == 0) {
        throw IoError(path_, kReadBeyondEnd);
    }
    RecordBytes bytes;
    file.readAt(bytes.data(), bytes.size(), offsetOf(n));
    MixRecord record = decodeRecord(bytes.data());
    change(record);
    encodeRecordInto(record, bytes.data());
    file.writeAt(bytes.data(), bytes.size(), offsetOf(n));
}

std::uint32_t CatalogueFile::append(const MixRecord& record) {
    return CatalogueAppender(path_).append(record);
}

CatalogueAppender::CatalogueAppender(const std::string& path)
    : file_(writable(path), O_RDWR, LockedFile::Lock::Exclusive), count_(recordsIn(file_)) {}

std::uint32_t CatalogueAppender::append(const MixRecord& record) {
    if (count_ >= static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
        throw IoError::tooManyRecords(file_.path());
    }
    RecordBytes bytes = encodeRecord(record);
    file_.writeAt(bytes.data(), bytes.size(), offsetOf(count_ + 1));
    return ++count_;
}

void CatalogueAppender::forEachFrom(
    std::uint32_t from,
    const std::function<void(std::uint32_t number, const MixRecordView&)>& visit) const {
    forEachInBlocks(
        from, count_,
        [this](std::vector<unsigned char>& block, std::uint32_t first) {
            file_.readAt(block.data(), block.size(), offsetOf(first));
        },
        visit);
}

void CatalogueFile::forEach(
    const std::function<void(std::uint32_t count)>& started,
    const std::function<void(std::uint32_t number, const MixRecordView&)>& visit) const {
    std::uint32_t total = count();
    if (started) {
        started(total);
    }
    readRange(1, total, visit);
}

void CatalogueFile::forEachFrom(
    std::uint32_t from,
    const std::function<void(std::uint32_t number, const MixRecordView&)>& visit) const {
    readRange(from, count(), visit);
}

void CatalogueFile::readRange(
    std::uint32_t from, std::uint32_t last,
    const std::function<void(std::uint32_t number, const MixRecordView&)>& visit) const {
    forEachInBlocks(
        from, last,
        [this](std::vector<unsigned char>& block, std::uint32_t first) {
            LockedFile file(path_, O_RDONLY, LockedFile::Lock::Shared);
            file.readAt(block.data(), block.size(), offsetOf(first));
        },
        visit);
}

}  // namespace kelvarn
