// SPDX-License-Identifier: GPL-3.0-or-later
// Base.vlt: the catalogue, a flat file of 176-byte records numbered from 1 in file order. Records
// are read, updated in place and appended; nothing rewrites or reorders the file, and only a
// failed save takes back the records it appended.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "core/catalogue/mix_record.h"
#include "core/storage/file_lock.h"

namespace kelvarn {

// The records in a catalogue of `bytes` bytes (a trailing fragment is no record). Record numbers
// are 32-bit and the queue stores them signed: a longer file is an IoError naming `path`, never
// a count that wrapped around.
std::uint32_t recordsInBytes(std::uint64_t bytes, const std::string& path);

// A block of whole records as Base.vlt stores them, the first numbered `first`.
using CatalogueBlockVisit =
    std::function<void(std::uint32_t first, std::span<const unsigned char> records)>;

// A record as a grid row showed it: its number and the ID it held. A write that starts from a row
// goes only into the record that still holds that ID at that number.
struct RecordRef {
    std::uint32_t number = 0;
    std::string id;
};

// What became of a write that named its record by a RecordRef.
enum class CheckedWrite {
    Written,
    Declined,  // the record is the row's, but not as the row showed it (in another view)
    Replaced,  // the number is past the end or holds another mix: nothing was written
};

class CatalogueFile {
public:
    explicit CatalogueFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // File size divided by 176: a trailing fragment is not a record.
    std::uint32_t count() const;

    // Record n (1-based); "Read beyond end of file" past the last record.
    MixRecord read(std::uint32_t n) const;

    // Reads record n, lets `change` edit it, writes the whole record back. Bytes the record does
    // not use (leftovers after a text, padding) keep their values.
    void update(std::uint32_t n, const std::function<void(MixRecord&)>& change);

    // The same for a write that starts from a row the user saw: under the lock, `change` sees the
    // record only when it still holds `ref.id`, and says whether to write it.
    CheckedWrite updateIfHolds(const RecordRef& ref, const std::function<bool(MixRecord&)>& change);

    // Record `ref.number` when it still holds `ref.id`; nothing when it is gone or replaced.
    std::optional<MixRecord> readIfHolding(const RecordRef& ref) const;
    // Reads the records `refs` name under one shared lock, each only where it still holds its ID
    // (nothing for one gone or replaced), and hands them to `use` before the lock is let go: a
    // write decided from them (a queue entry) lands before anyone can change them.
    void readIfHolding(
        std::span<const RecordRef> refs,
        const std::function<void(std::span<const std::optional<MixRecord>>)>& use) const;

    // Writes the record at the record count (over a trailing fragment, if any) and returns its
    // number, the old count + 1.
    std::uint32_t append(const MixRecord& record);

    // Calls `visit` for every record in file order with its number; the view is valid during
    // the call only. Reads in blocks, each copied under the file's lock and visited after it is
    // let go, so a long pass never keeps other writers waiting. `started` gets the count before
    // the first record.
    void forEach(
        const std::function<void(std::uint32_t count)>& started,
        const std::function<void(std::uint32_t number, const MixRecordView&)>& visit) const;
    // The same for the records from number `from` on.
    void forEachFrom(
        std::uint32_t from,
        const std::function<void(std::uint32_t number, const MixRecordView&)>& visit) const;

    // The same pass a block of records at a time, for a reader that looks at the bytes itself:
    // `visit` runs while the block is mapped under the file's lock, so it must not wait on
    // anything (a writer waits for it); `released`, when given, runs after each block's lock is
    // let go, for what may take its time.
    void forEachBlock(const std::function<void(std::uint32_t count)>& started,
                      const CatalogueBlockVisit& visit,
                      const std::function<void()>& released = {}) const;

private:
    void visitBlocks(std::uint32_t from, std::uint32_t last, const CatalogueBlockVisit& visit,
                     const std::function<void()>& released) const;
    void visitCopies(
        std::uint32_t from, std::uint32_t last,
        const std::function<void(std::uint32_t number, const MixRecordView&)>& visit) const;

    std::string path_;
};

// Appends records one after another as one operation: the file stays locked from the first to
// the last, so nothing else writes in between.
class CatalogueAppender {
public:
    explicit CatalogueAppender(const std::string& path);

    // Writes the record at the record count and returns its number.
    std::uint32_t append(const MixRecord& record);

    std::uint32_t count() const { return count_; }
    // Takes back the records appended after the first `count`: a save that failed half-way
    // leaves nothing of itself.
    void truncateTo(std::uint32_t count);
    // Calls `visit` for every record from number `from` on.
    void forEachFrom(
        std::uint32_t from,
        const std::function<void(std::uint32_t number, const MixRecordView&)>& visit) const;
    void sync() { file_.sync(); }

private:
    LockedFile file_;
    std::uint32_t count_;
};

}  // namespace kelvarn
