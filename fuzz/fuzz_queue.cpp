// SPDX-License-Identifier: GPL-3.0-or-later
// List.dnl as found on disk: its entries are read as the download window lists them, the
// compaction keeps exactly the whole entries whose taken-off byte is not 1, byte for byte, and
// nothing of a trailing fragment, and a waiting entry loaded before the compaction is still
// taken off by one byte, its own.
#include <cstdint>
#include <string>
#include <vector>

#include "core/catalogue/queue_file.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvarn;
    using fuzz::check;
    static const fuzz::FuzzFolder folder("queue");
    QueueFile queue(folder.write("List.dnl", data, size));

    const std::vector<QueueEntry> all = queue.readAll();
    const std::vector<PendingEntry> pending = queue.pending();
    check(all.size() == size / kQueueEntrySize, "every whole entry is read");
    std::uint32_t previous = 0;
    for (const PendingEntry& p : pending) {
        check(p.position > previous && p.position <= all.size(), "positions rise within the file");
        check(p.entry == all[p.position - 1] && p.entry.Removed == 0, "a waiting entry");
        previous = p.position;
    }

    const std::string bytes(reinterpret_cast<const char*>(data), size);
    constexpr std::size_t kRemovedAt = 116;
    std::string kept;
    for (std::size_t at = 0; at + kQueueEntrySize <= bytes.size(); at += kQueueEntrySize) {
        if (bytes[at + kRemovedAt] != 1) {
            kept.append(bytes, at, kQueueEntrySize);
        }
    }
    queue.compact();
    check(fuzz::readFile(queue.path()) == kept, "compaction keeps what is not taken off");

    if (!pending.empty()) {
        const PendingEntry& loaded = pending.front();
        queue.markRemoved(loaded);
        const std::string marked = fuzz::readFile(queue.path());
        check(marked.size() == kept.size(), "taking off changes no length");
        int changed = 0;
        for (std::size_t at = 0; at < kept.size(); ++at) {
            if (marked[at] == kept[at]) {
                continue;
            }
            ++changed;
            const std::size_t entry = at - at % kQueueEntrySize;
            const QueueEntry before =
                decodeQueueEntry(reinterpret_cast<const unsigned char*>(kept.data() + entry));
            check(at == entry + kRemovedAt && marked[at] == 1 && before.Removed == 0 &&
                      before.RecordNumber == loaded.entry.RecordNumber &&
                      before.Id == loaded.entry.Id,
                  "the byte taken off is a waiting entry's with the loaded number and ID");
        }
        check(changed == 1, "taking off writes one byte");
        check(!queue.appendUnlessQueued(loaded.entry), "a queued ID is not queued");
    }
    return 0;
}
