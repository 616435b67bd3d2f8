// SPDX-License-Identifier: GPL-3.0-or-later
// List.dnl: the download queue, 120-byte entries back to back. Windows that queue mixes append
// entries; the downloader marks them taken off and compacts the file.
#pragma once

#include <array>
#include <cstdint>
#include <span>
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

// A queue entry still waiting (`Removed` 0) and its 1-based position in the file, which a row keeps
// so that marking it is right even when the file held taken-off entries at load.
struct PendingEntry {
    std::uint32_t position = 0;
    QueueEntry entry;

    bool operator==(const PendingEntry&) const = default;
};

class QueueFile {
public:
    explicit QueueFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // Every entry, taken off or not, in file order. The file is never created here.
    std::vector<QueueEntry> readAll() const;

    // Throws IoError when the file cannot be opened for writing; creates nothing.
    void checkWritable() const;

    // The entries the download window shows: those whose `Removed` is 0, in file order.
    std::vector<PendingEntry> pending() const;

    // Writes the entry after the last whole one; returns its 1-based position.
    std::uint32_t append(const QueueEntry& entry);

    // The main window's queuing: appends the entry unless an entry with the same ID, taken off or
    // not, is already in the file. Returns whether it was appended.
    bool appendUnlessQueued(const QueueEntry& entry);
    // The same for several entries under one lock, in their order (an ID twice goes in once).
    // Returns how many were appended.
    std::size_t appendUnlessQueued(std::span<const QueueEntry> entries);

    // Whether the pending entry still waits, wherever a compaction has moved it since.
    bool isWaiting(const PendingEntry& pending) const;

    // Sets `Removed` of the pending entry to 1. It is looked for at its position first; should
    // another run have compacted the file since, the first waiting entry with its record number
    // and ID is marked instead, and none when another run took it off already.
    void markRemoved(const PendingEntry& pending);

    // Drops the entries whose `Removed` is exactly 1 (2 and other values stay), replacing the file
    // as one step.
    void compact();

private:
    std::string path_;
};

}  // namespace kelvarn
