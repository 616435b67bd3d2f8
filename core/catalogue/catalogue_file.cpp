// SPDX-License-Identifier: GPL-3.0-or-later
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

// Records `from`..`last` in blocks: `visit(first, wanted)` for each.
template <typename VisitBlock>
void forEachBlockIn(std::uint32_t from, std::uint32_t last, const VisitBlock& visit) {
    for (std::uint32_t first = std::max<std::uint32_t>(from, 1); first <= last;
         first += kBlockRecords) {
        visit(first, std::min(kBlockRecords, last - first + 1));
    }
}

std::size_t bytesOf(std::uint32_t records) {
    return static_cast<std::size_t>(records) * kRecordSize;
}

CatalogueBlockVisit decodingEach(
    const std::function<void(std::uint32_t number, const MixRecordView&)>& visit) {
    return [&visit](std::uint32_t first, std::span<const unsigned char> records) {
        const std::size_t count = records.size() / kRecordSize;
        for (std::size_t i = 0; i < count; ++i) {
            visit(first + static_cast<std::uint32_t>(i),
                  decodeRecordView(records.data() + i * kRecordSize));
        }
    };
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

namespace {

// Record `ref.number` of the locked file, when it holds `ref.id`; `bytes` as the file holds them.
std::optional<MixRecord> recordHolding(const LockedFile& file, const RecordRef& ref,
                                       RecordBytes& bytes) {
    if (ref.number == 0 || ref.number > recordsIn(file)) {
        return std::nullopt;
    }
    file.readAt(bytes.data(), bytes.size(), offsetOf(ref.number));
    MixRecord record = decodeRecord(bytes.data());
    if (record.Id != ref.id) {
        return std::nullopt;
    }
    return record;
}

}  // namespace

CheckedWrite CatalogueFile::updateIfHolds(const RecordRef& ref,
                                          const std::function<bool(MixRecord&)>& change) {
    LockedFile file(writable(path_), O_RDWR, LockedFile::Lock::Exclusive);
    RecordBytes bytes;
    std::optional<MixRecord> record = recordHolding(file, ref, bytes);
    if (!record) {
        return CheckedWrite::Replaced;
    }
    if (!change(*record)) {
        return CheckedWrite::Declined;
    }
    encodeRecordInto(*record, bytes.data());
    file.writeAt(bytes.data(), bytes.size(), offsetOf(ref.number));
    return CheckedWrite::Written;
}

std::optional<MixRecord> CatalogueFile::readIfHolding(const RecordRef& ref) const {
    LockedFile file(path_, O_RDONLY, LockedFile::Lock::Shared);
    RecordBytes bytes;
    return recordHolding(file, ref, bytes);
}

void CatalogueFile::readIfHolding(
    std::span<const RecordRef> refs,
    const std::function<void(std::span<const std::optional<MixRecord>>)>& use) const {
    LockedFile file(path_, O_RDONLY, LockedFile::Lock::Shared);
    std::vector<std::optional<MixRecord>> records;
    records.reserve(refs.size());
    RecordBytes bytes;
    for (const RecordRef& ref : refs) {
        records.push_back(recordHolding(file, ref, bytes));
    }
    use(records);
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

void CatalogueAppender::truncateTo(std::uint32_t count) {
    file_.truncate(offsetOf(count + 1));
    count_ = count;
}

void CatalogueAppender::forEachFrom(
    std::uint32_t from,
    const std::function<void(std::uint32_t number, const MixRecordView&)>& visit) const {
    const CatalogueBlockVisit decoding = decodingEach(visit);
    std::vector<unsigned char> block;
    forEachBlockIn(from, count_, [&](std::uint32_t first, std::uint32_t wanted) {
        block.resize(bytesOf(wanted));
        file_.readAt(block.data(), block.size(), offsetOf(first));
        decoding(first, block);
    });
}

void CatalogueFile::forEach(
    const std::function<void(std::uint32_t count)>& started,
    const std::function<void(std::uint32_t number, const MixRecordView&)>& visit) const {
    const std::uint32_t total = count();
    if (started) {
        started(total);
    }
    visitCopies(1, total, visit);
}

void CatalogueFile::forEachFrom(
    std::uint32_t from,
    const std::function<void(std::uint32_t number, const MixRecordView&)>& visit) const {
    visitCopies(from, count(), visit);
}

void CatalogueFile::forEachBlock(const std::function<void(std::uint32_t count)>& started,
                                 const CatalogueBlockVisit& visit,
                                 const std::function<void()>& released) const {
    const std::uint32_t total = count();
    if (started) {
        started(total);
    }
    visitBlocks(1, total, visit, released);
}

void CatalogueFile::visitBlocks(std::uint32_t from, std::uint32_t last,
                                const CatalogueBlockVisit& visit,
                                const std::function<void()>& released) const {
    forEachBlockIn(from, last, [&](std::uint32_t first, std::uint32_t wanted) {
        {
            // Mapped, not read: the kernel's copy of a large file cost more than a scan of it.
            const MappedFile block(path_, offsetOf(first), bytesOf(wanted));
            const std::string_view bytes = block.bytes();
            visit(first, {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()});
        }
        if (released) {
            released();
        }
    });
}

void CatalogueFile::visitCopies(
    std::uint32_t from, std::uint32_t last,
    const std::function<void(std::uint32_t number, const MixRecordView&)>& visit) const {
    // The caller's code may take its time (a paced load, a pipe that is slow to read): it runs
    // on a copy, read under the file's lock and visited after it is let go, so writers never
    // wait for it.
    const CatalogueBlockVisit decoding = decodingEach(visit);
    std::vector<unsigned char> block;
    forEachBlockIn(from, last, [&](std::uint32_t first, std::uint32_t wanted) {
        block.resize(bytesOf(wanted));
        {
            LockedFile file(path_, O_RDONLY, LockedFile::Lock::Shared);
            file.readAt(block.data(), block.size(), offsetOf(first));
        }
        decoding(first, block);
    });
}

}  // namespace kelvarn
