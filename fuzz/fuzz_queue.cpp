// List.dnl as found on disk: its entries are read as the download window lists them, the first
// waiting one is taken off, and the compaction keeps exactly the whole entries whose taken-off
// byte is not 1, byte for byte, and nothing of a trailing fragment.
#include <cstdint>
#include <string>
#include <vector>

#include "core/downloader/queue_file.h"
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

    std::string bytes(reinterpret_cast<const char*>(data), size);
    constexpr std::size_t kRemovedAt = 116;
    if (!pending.empty()) {
        queue.markRemoved(pending.front().position);
        bytes[(pending.front().position - 1) * kQueueEntrySize + kRemovedAt] = 1;
        check(fuzz::readFile(queue.path()) == bytes, "taking off writes one byte");
        check(!queue.appendUnlessQueued(pending.front().entry), "a queued ID is not queued");
    }
    std::string kept;
    for (std::size_t at = 0; at + kQueueEntrySize <= bytes.size(); at += kQueueEntrySize) {
        if (bytes[at + kRemovedAt] != 1) {
            kept.append(bytes, at, kQueueEntrySize);
        }
    }
    queue.compact();
    check(fuzz::readFile(queue.path()) == kept, "compaction keeps what is not taken off");
    return 0;
}
