#include "downloader/queue_file.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>

#include "catalogue/file_lock.h"
#include "catalogue/mix_record.h"

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

std::vector<QueueEntry> QueueFile::readAll() const {
    std::string bytes = LockedFile(path_, O_RDONLY, LockedFile::Lock::Shared).readAll();
    std::vector<QueueEntry> entries;
    for (std::size_t at = 0; at + kQueueEntrySize <= bytes.size(); at += kQueueEntrySize) {
        entries.push_back(
            decodeQueueEntry(reinterpret_cast<const unsigned char*>(bytes.data() + at)));
    }
    return entries;
}

void QueueFile::checkWritable() const {
    LockedFile(path_, O_RDWR, LockedFile::Lock::Shared);
}

std::uint32_t QueueFile::append(const QueueEntry& entry) {
    LockedFile file(path_, O_RDWR, LockedFile::Lock::Exclusive);
    auto count = static_cast<std::uint32_t>(file.size() / kQueueEntrySize);
    QueueEntryBytes bytes = encodeQueueEntry(entry);
    file.writeAt(bytes.data(), bytes.size(), static_cast<std::uint64_t>(count) * kQueueEntrySize);
    return count + 1;
}

}  // namespace kelvarn
