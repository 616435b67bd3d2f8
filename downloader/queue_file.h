// List.dnl: the download queue, 120-byte entries back to back. Windows that queue mixes append
// entries; the downloader marks them taken off and compacts the file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvarn {

inline constexpr std::size_t kQueueEntrySize = 120;
inline constexpr std::size_t kTrackCapacity = 100;
using QueueEntryBytes = std::array<unsigned char, kQueueEntrySize>;

// Texts are Windows-1251, within their capacities.
struct QueueEntry {
    std::int32_t RecordNumber = 0;
    std::string Id;
    std::string Track;
    std::int32_t Size = 0;
    std::uint8_t Removed = 0;

    bool operator==(const QueueEntry&) const = default;
};

QueueEntry decodeQueueEntry(const unsigned char* bytes);
// Texts longer than their field are cut; padding is zero.
QueueEntryBytes encodeQueueEntry(const QueueEntry& entry);

// "Author - Title", the track text of a queued record.
std::string trackText(std::string_view author, std::string_view title);

class QueueFile {
public:
    explicit QueueFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // Every entry, taken off or not, in file order. The file is never created here.
    std::vector<QueueEntry> readAll() const;

    // Throws IoError when the file cannot be opened for writing; creates nothing.
    void checkWritable() const;

    // Writes the entry after the last whole one; returns its 1-based position.
    std::uint32_t append(const QueueEntry& entry);

private:
    std::string path_;
};

}  // namespace kelvarn
