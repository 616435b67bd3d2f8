// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/catalogue/queue_file.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "core/catalogue/mix_record.h"
#include "core/storage/backups.h"
#include "core/storage/file_lock.h"
#include "core/storage/io_error.h"

namespace kelvarn {
namespace {

constexpr std::size_t kNumberAt = 0;
constexpr std::size_t kIdAt = 4;
constexpr std::size_t kTrackAt = 11;
constexpr std::size_t kSizeAt = 112;
constexpr std::size_t kRemovedAt = 116;

}  // namespace

QueueEntry decodeQueueEntry(const unsigned char* bytes) {
    QueueEntry e;
    std::memcpy(&e.RecordNumber, bytes + kNumberAt, 4);
    e.Id = readShortString(bytes + kIdAt, kIdCapacity);
    e.Track = readShortString(bytes + kTrackAt, kTrackCapacity);
    std::memcpy(&e.Size, bytes + kSizeAt, 4);
    e.Removed = bytes[kRemovedAt];
    return e;
}

QueueEntryBytes encodeQueueEntry(const QueueEntry& e) {
    QueueEntryBytes bytes{};
    std::memcpy(bytes.data() + kNumberAt, &e.RecordNumber, 4);
    writeShortString(bytes.data() + kIdAt, kIdCapacity, e.Id);
    writeShortString(bytes.data() + kTrackAt, kTrackCapacity, e.Track);
    std::memcpy(bytes.data() + kSizeAt, &e.Size, 4);
    bytes[kRemovedAt] = e.Removed;
    return bytes;
}

std::string trackText(std::string_view author, std::string_view title) {
    std::string text(author);
    text.append(" - ").append(title);
    return std::string(cutToCapacity(text, kTrackCapacity));
}

namespace {

// The whole entries of the file's bytes; a trailing fragment is no entry.
template <typename Visit>
void forEachEntry(const std::string& bytes, Visit visit) {
    for (std::size_t at = 0; at + kQueueEntrySize <= bytes.size(); at += kQueueEntrySize) {
        visit(reinterpret_cast<const unsigned char*>(bytes.data() + at));
    }
}

std::string readWhole(const std::string& path) {
    return LockedFile(path, O_RDONLY, LockedFile::Lock::Shared).readAll();
}

}  // namespace

std::vector<QueueEntry> QueueFile::readAll() const {
    std::vector<QueueEntry> entries;
    forEachEntry(readWhole(path_),
                 [&](const unsigned char* bytes) { entries.push_back(decodeQueueEntry(bytes)); });
    return entries;
}

std::vector<PendingEntry> QueueFile::pending() const {
    std::vector<PendingEntry> entries;
    std::uint32_t position = 0;
    forEachEntry(readWhole(path_), [&](const unsigned char* bytes) {
        ++position;
        if (bytes[kRemovedAt] == 0) {
            entries.push_back({position, decodeQueueEntry(bytes)});
        }
    });
    return entries;
}

void QueueFile::checkWritable() const {
    LockedFile(path_, O_RDWR, LockedFile::Lock::Shared);
}

namespace {

std::uint32_t appendTo(LockedFile& file, const QueueEntry& entry) {
    auto count = static_cast<std::uint32_t>(file.size() / kQueueEntrySize);
    QueueEntryBytes bytes = encodeQueueEntry(entry);
    file.writeAt(bytes.data(), bytes.size(), static_cast<std::uint64_t>(count) * kQueueEntrySize);
    return count + 1;
}

}  // namespace

std::uint32_t QueueFile::append(const QueueEntry& entry) {
    LockedFile file(backedUpBeforeWriting(path_), O_RDWR, LockedFile::Lock::Exclusive);
    return appendTo(file, entry);
}

bool QueueFile::appendUnlessQueued(const QueueEntry& entry) {
    return appendUnlessQueued(std::span(&entry, 1)) == 1;
}

std::size_t QueueFile::appendUnlessQueued(std::span<const QueueEntry> entries) {
    LockedFile file(backedUpBeforeWriting(path_), O_RDWR, LockedFile::Lock::Exclusive);
    std::unordered_set<std::string> queued;
    forEachEntry(file.readAll(), [&](const unsigned char* bytes) {
        queued.emplace(readShortString(bytes + kIdAt, kIdCapacity));
    });
    // One write for them all, after the last whole entry.
    std::string appended;
    for (const QueueEntry& entry : entries) {
        if (queued.insert(entry.Id).second) {
            const QueueEntryBytes bytes = encodeQueueEntry(entry);
            appended.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        }
    }
    if (!appended.empty()) {
        file.writeAt(appended.data(), appended.size(),
                     file.size() / kQueueEntrySize * kQueueEntrySize);
    }
    return appended.size() / kQueueEntrySize;
}

namespace {

// Where the pending entry stands in the file: at its position, or, should another run have
// compacted the file since, at the first waiting entry with its record number and ID. npos when
// it waits no more. Only a moved or taken-off entry costs a read of the whole file.
std::size_t findWaiting(const LockedFile& file, const PendingEntry& pending) {
    auto isIt = [&](const char* bytes) {
        QueueEntry entry = decodeQueueEntry(reinterpret_cast<const unsigned char*>(bytes));
        return entry.Removed == 0 && entry.RecordNumber == pending.entry.RecordNumber &&
               entry.Id == pending.entry.Id;
    };
    const std::uint64_t whole = file.size() / kQueueEntrySize * kQueueEntrySize;
    const std::uint64_t loadedAt = std::uint64_t{pending.position - 1} * kQueueEntrySize;
    if (pending.position > 0 && loadedAt < whole) {
        char entry[kQueueEntrySize];
        file.readAt(entry, kQueueEntrySize, loadedAt);
        if (isIt(entry)) {
            return static_cast<std::size_t>(loadedAt);
        }
    }
    const std::string bytes = file.readAll();
    for (std::size_t at = 0; at + kQueueEntrySize <= bytes.size(); at += kQueueEntrySize) {
        if (isIt(bytes.data() + at)) {
            return at;
        }
    }
    return std::string::npos;
}

}  // namespace

bool QueueFile::isWaiting(const PendingEntry& pending) const {
    const LockedFile file(path_, O_RDONLY, LockedFile::Lock::Shared);
    return findWaiting(file, pending) != std::string::npos;
}

void QueueFile::markRemoved(const PendingEntry& pending) {
    LockedFile file(backedUpBeforeWriting(path_), O_RDWR, LockedFile::Lock::Exclusive);
    const std::size_t at = findWaiting(file, pending);
    if (at != std::string::npos) {
        const unsigned char removed = 1;
        file.writeAt(&removed, 1, at + kRemovedAt);
    }
}

void QueueFile::compact() {
    LockedFile file(backedUpBeforeWriting(path_), O_RDWR, LockedFile::Lock::Exclusive);
    std::string bytes = file.readAll();
    std::string kept;
    kept.reserve(bytes.size());
    forEachEntry(bytes, [&](const unsigned char* entry) {
        if (entry[kRemovedAt] != 1) {
            kept.append(reinterpret_cast<const char*>(entry), kQueueEntrySize);
        }
    });
    // Every compaction holds the lock we hold: a temporary beside the file is a killed one's.
    removeAbandonedReplacements(path_);
    replaceFileContents(path_, kept);
}

}  // namespace kelvarn
