// SPDX-License-Identifier: GPL-3.0-or-later
// Shared pieces of the tests: a temporary program folder, file bytes, records, the CLI.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/catalogue/mix_record.h"
#include "core/catalogue/queue_file.h"

namespace kelvarn::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder with its trailing "/".
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);

// A record with every field set, text fields in Windows-1251.
MixRecord sampleRecord(const std::string& id, std::uint8_t style = 0, double addedDate = 45000);

// The 120 bytes List.dnl holds for the entry.
std::string queueEntryBytes(const QueueEntry& entry);

// A ZIP archive of the files (name, bytes), each deflated by libzip.
std::string deflatedArchive(const std::vector<std::pair<std::string, std::string>>& files);

// Writes records as a Base.vlt.
void writeCatalogue(const std::string& path, const std::vector<MixRecord>& records);

// Base.vlt, index and List.dnl of a folder: the files that refer to one another.
struct CatalogueFiles {
    std::string base, ids, queue;
    bool operator==(const CatalogueFiles&) const = default;
};
// Their sizes, where a test shows them.
void PrintTo(const CatalogueFiles& files, std::ostream* out);
CatalogueFiles readCatalogueFiles(const std::string& folder);
void writeCatalogueFiles(const std::string& folder, const CatalogueFiles& files);
// Records "1" to `count`, each with its line and its queue entry.
CatalogueFiles sampleCatalogueFiles(int count);

// Everything `fd` gives until its end; closes it.
std::string drain(int fd);

struct CommandResult {
    int status = 0;
    std::string out;
    std::string err;
};

// Runs kelvarn-cli with the arguments and collects its output; with `stdoutPath` its standard
// output goes to that file instead (say /dev/full), and `out` stays empty. A `fileSizeLimit`
// (bytes) sets RLIMIT_FSIZE for the command.
CommandResult runCli(const std::vector<std::string>& args, const std::string& stdoutPath = "",
                     std::uint64_t fileSizeLimit = 0);

// Runs `body` in a child process that cannot override file permissions (as root it drops to an
// unprivileged user), and returns the child's exit status. Lets tests see refused writes even
// when the suite runs as root.
int runUnprivileged(const std::function<int()>& body);

// A server on 127.0.0.1 that misbehaves as told: each request gets the bytes its answer function
// returns (headers, body and all, or only part of them, at once or trickled), or, when they are
// empty, no word at all.
// After answering (or not) it keeps the connection open, or closes it.
class CannedServer {
public:
    struct Reply {
        Reply(std::string bytes = {}, bool close = false, std::string trickled = {})
            : bytes(std::move(bytes)), close(close), trickled(std::move(trickled)) {}
        std::string bytes;
        bool close;
        std::string trickled;  // then these, one byte every quarter of a second
    };
    using Answer = std::function<Reply(const std::string& request)>;
    enum class After { KeepOpen, Close };

    explicit CannedServer(Answer answer);
    // The same bytes for every request.
    explicit CannedServer(std::string answer, After after = After::KeepOpen);
    ~CannedServer();
    CannedServer(const CannedServer&) = delete;
    CannedServer& operator=(const CannedServer&) = delete;

    std::string baseAddress() const { return "http://127.0.0.1:" + std::to_string(port_); }
    int connections() const { return connections_.load(); }

private:
    void serve();
    void send(int fd, const Reply& reply) const;

    Answer answer_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<int> connections_{0};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace kelvarn::test
