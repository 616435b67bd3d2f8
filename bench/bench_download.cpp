// SPDX-License-Identifier: GPL-3.0-or-later
// Download throughput on loopback: one large file against the curl command line on the same
// file, and a batch of many small files against one curl process fetching the same files.
// Prints figures; passes or fails on nothing but errors.
// Usage: bench_download                  the stand-in server in this process
//        bench_download --files DIR      writes the files another server is to serve, each named
//                                        by its ID: the 256 MB archive and the 1,000 small files
//        bench_download --site ADDRESS   those from a server at ADDRESS: the archive checked and
//                                        not, and the small files in one batch
//        bench_download --cap            batches under MaxKBPerSecond=100: the most received in
//                                        any 10 s, against the cap
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/mix_record.h"
#include "core/catalogue/queue_file.h"
#include "core/downloader/archive_check.h"
#include "core/downloader/download_lock.h"
#include "core/downloader/download_run.h"
#include "core/mixfiles/fact_lines.h"
#include "core/net/http_client.h"
#include "core/net/site_address.h"
#include "core/sound/sound.h"
#include "core/storage/output_file.h"
#include "demo_site/demo_site.h"

namespace {

namespace bench = kelvarn::bench;
using bench::writeFile;

constexpr std::size_t kLargeBytes = 256u << 20;
constexpr std::size_t kSmallBytes = 2048;
constexpr int kSmallFiles = 1000;
constexpr std::size_t kCutEvery = 32u << 20;

// A program folder whose catalogue and queue hold one record per ID.
void layOutQueue(const std::filesystem::path& root, const std::vector<std::string>& ids) {
    std::string base, queue;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        kelvarn::MixRecord record;
        record.Id = ids[i];
        kelvarn::RecordBytes r = kelvarn::encodeRecord(record);
        base.append(reinterpret_cast<const char*>(r.data()), r.size());
        kelvarn::QueueEntryBytes q = kelvarn::encodeQueueEntry(
            {static_cast<std::int32_t>(i + 1), ids[i], "bench - " + ids[i], 0, 0});
        queue.append(reinterpret_cast<const char*>(q.data()), q.size());
    }
    writeFile(root / "Base.vlt", base);
    writeFile(root / "List.dnl", queue);
    std::filesystem::create_directories(root / "ZIP");
}

double runBatch(const std::filesystem::path& root, const std::string& site,
                const std::function<void(kelvarn::DownloadSettings&)>& adjust = {},
                kelvarn::DownloadObserver* watching = nullptr) {
    kelvarn::DownloadRows rows;
    rows.load(kelvarn::QueueFile((root / "List.dnl").string()).pending());
    kelvarn::DownloadObserver silent;
    kelvarn::DownloadObserver& observer = watching != nullptr ? *watching : silent;
    kelvarn::SilentSoundPlayer silence;
    std::atomic<bool> stop{false}, paused{false};
    kelvarn::DownloadSettings settings;
    settings.folder = root.string() + "/";
    settings.site = site;
    settings.savePath = settings.folder + "ZIP/";
    settings.checkArchives = false;  // the large bodies are no archives; their check is timed apart
    if (adjust) {
        adjust(settings);
    }
    kelvarn::DownloadRun run(settings, rows, observer, silence, stop, paused);
    kelvarn::DownloadResult result;
    const double seconds = bench::bestSeconds(1, [&] { result = run.batch(); });
    if (result.outcome != kelvarn::DownloadResult::Outcome::Done) {
        std::fprintf(stderr, "the batch failed: %s\n", result.error.c_str());
        std::exit(1);
    }
    return seconds;
}

// Each small file is a mix's archive, so that the batch checks it as a user's would.
std::string smallArchive() {
    kelvarn::DemoMix mix;
    mix.id = "100000";
    mix.bytes = static_cast<std::int64_t>(kSmallBytes);
    return kelvarn::makeArchive(mix, 1);
}

// What each step of a small file's download costs on its own, in microseconds a file: every
// step over the whole queue in turn, on the files the batch itself uses.
void timeSteps(const std::filesystem::path& root, const std::string& site,
               const std::vector<std::string>& ids) {
    layOutQueue(root, ids);
    const std::string folder = root.string() + "/";
    const std::string zip = folder + "ZIP/";
    kelvarn::CatalogueFile base(folder + "Base.vlt");
    kelvarn::QueueFile queue(folder + "List.dnl");
    const std::vector<kelvarn::PendingEntry> pending = queue.pending();
    kelvarn::HttpConnections connections;
    kelvarn::FileTransfer transfer(connections, nullptr, nullptr);
    auto step = [&](const char* name, const std::function<void(std::size_t)>& one) {
        const double seconds = bench::bestSeconds(1, [&] {
            for (std::size_t i = 0; i < ids.size(); ++i) {
                one(i);
            }
        });
        std::printf("step\t%s\t%.1f\n", name, seconds * 1e6 / static_cast<double>(ids.size()));
    };
    step("the GET into its .part", [&](std::size_t i) {
        kelvarn::OutputFile file(zip + ids[i] + ".zip.part", false);
        transfer.fetch(
            kelvarn::downloadAddress(site, ids[i]), 0, -1, [](const auto&) {},
            [&](std::string_view piece) { file.write(piece); });
        file.close();
    });
    step("the .part renamed", [&](std::size_t i) {
        std::filesystem::rename(zip + ids[i] + ".zip.part", zip + ids[i] + ".zip");
    });
    kelvarn::ArchiveSums sums;
    sums.feed(smallArchive());
    step("the archive checked", [&](std::size_t i) {
        if (kelvarn::bodyDefect(zip + ids[i] + ".zip", "application/zip", sums)) {
            std::fprintf(stderr, "a small archive was refused\n");
            std::exit(1);
        }
    });
    kelvarn::DownloadUnderWay running(folder);
    step("the mix claimed and let go", [&](std::size_t i) {
        running.claimMix(pending[i].entry.RecordNumber);
        running.releaseMix(pending[i].entry.RecordNumber);
    });
    step("the queue entry looked up", [&](std::size_t i) { queue.isWaiting(pending[i]); });
    step("the record looked up", [&](std::size_t i) {
        base.readIfHolding(
            {static_cast<std::uint32_t>(pending[i].entry.RecordNumber), pending[i].entry.Id});
    });
    step("the record marked", [&](std::size_t i) {
        base.updateIfHolds(
            {static_cast<std::uint32_t>(pending[i].entry.RecordNumber), pending[i].entry.Id},
            [](kelvarn::MixRecord& mix) {
                mix.HasFile = 1;
                return true;
            });
    });
    step("the queue entry marked", [&](std::size_t i) { queue.markRemoved(pending[i]); });
    kelvarn::factsFile(folder, true, [] { return std::vector<kelvarn::MixFacts>(); });
    step("the facts line",
         [&](std::size_t i) { kelvarn::noteDownloadedMix(folder, ids[i], zip + ids[i] + ".zip"); });
}

std::vector<std::string> smallIds() {
    std::vector<std::string> ids;
    ids.reserve(kSmallFiles);
    for (int i = 0; i < kSmallFiles; ++i) {
        ids.push_back(std::to_string(100000 + i));
    }
    return ids;
}

// The 1,000 small files in one batch against one curl process fetching the same addresses,
// taken in turns, then what each step of the batch costs. `from` names the server in the rows.
void timeSmallBatch(const std::filesystem::path& root, const std::string& site,
                    const std::string& from) {
    const std::vector<std::string> ids = smallIds();
    std::string curlConfig;
    const auto curlFolder = root / "curl";
    for (const std::string& id : ids) {
        curlConfig += "url = \"" + kelvarn::downloadAddress(site, id) + "\"\noutput = \"" +
                      (curlFolder / (id + ".zip")).string() + "\"\n";
    }
    writeFile(root / "curl.cfg", curlConfig);
    double batchSeconds = 1e9, curlBatchSeconds = 1e9;
    bench::startPeak();
    for (int round = 0; round < 3; ++round) {
        std::filesystem::remove_all(root / "ZIP");
        layOutQueue(root, ids);
        batchSeconds = std::min(
            batchSeconds,
            runBatch(root, site, [](kelvarn::DownloadSettings& s) { s.checkArchives = true; }));
        std::filesystem::remove_all(curlFolder);
        std::filesystem::create_directories(curlFolder);
        curlBatchSeconds =
            std::min(curlBatchSeconds, bench::bestSeconds(1, [&] {
                         bench::runCommand("curl -s -K '" + (root / "curl.cfg").string() + "'");
                     }));
    }
    const double batchPeak = bench::peakMb();
    const double batchCat = bench::bestSeconds(
        3, [&] { bench::runCommand("cat '" + curlFolder.string() + "'/* > /dev/null"); });
    std::printf("%d files of %zu bytes in one batch%s: %.2f s, %.0f files per second\n",
                kSmallFiles, kSmallBytes, from.c_str(), batchSeconds, kSmallFiles / batchSeconds);
    bench::printRow("Download 1,000 files of 2 KB in one batch" + from, batchSeconds,
                    "`curl -K`, one process for the 1,000", curlBatchSeconds, "the 1,000 files",
                    batchCat, batchPeak);
    std::filesystem::remove_all(root / "ZIP");
    timeSteps(root, site, ids);
    std::printf("step\tthe whole batch, a file\t%.1f\nstep\tcurl -K, a file\t%.1f\n",
                batchSeconds * 1e6 / kSmallFiles, curlBatchSeconds * 1e6 / kSmallFiles);
}

kelvarn::DemoMix largeMix() {
    kelvarn::DemoMix mix;
    mix.id = "777777";
    mix.bytes = static_cast<std::int64_t>(kLargeBytes);
    return mix;
}

// The 256 MB archive from a real web server: a batch with the archive check and one without it,
// each beside `curl -o` of the same address, taken in turns.
int timeSite(const std::string& site) {
    const bench::OwnTempFolder temp;
    const auto root = temp.path() / "site";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    const std::string curlCommand = "curl -sf -o " + (root / "curl.zip").string() + " '" +
                                    kelvarn::downloadAddress(site, largeMix().id) + "'";
    const auto ours = root / "ZIP" / (largeMix().id + ".zip");
    // Each run starts from the same disk: no earlier file to replace, and no dirty pages of the
    // run before still being written back, which the run after would pay for.
    auto settle = [&] {
        std::filesystem::remove(root / "curl.zip");
        std::filesystem::remove(ours);
        ::sync();
    };
    double curlSeconds = 1e9, checkedSeconds = 1e9, uncheckedSeconds = 1e9;
    double checkedPeak = 0;
    for (int round = 0; round < 6; ++round) {
        // Each of the three goes first, second and last in turn.
        for (int turn = 0; turn < 3; ++turn) {
            const int which = (round + turn) % 3;
            settle();
            if (which == 0) {
                curlSeconds = std::min(curlSeconds, bench::bestSeconds(1, [&] {
                                           if (!bench::runCommand(curlCommand)) {
                                               std::fprintf(stderr, "curl failed\n");
                                               std::exit(1);
                                           }
                                       }));
                continue;
            }
            const bool check = which == 1;
            layOutQueue(root, {largeMix().id});
            bench::startPeak();
            const double seconds = runBatch(
                root, site, [check](kelvarn::DownloadSettings& s) { s.checkArchives = check; });
            double& best = check ? checkedSeconds : uncheckedSeconds;
            best = std::min(best, seconds);
            if (check) {
                checkedPeak = std::max(checkedPeak, bench::peakMb());
            }
            if (!std::filesystem::exists(ours)) {
                std::fprintf(stderr, "the archive from %s was refused\n", site.c_str());
                std::exit(1);
            }
        }
    }
    const double cat = bench::bestSeconds(3, [&] {
        bench::runCommand("cat '" + ours.string() + "' > '" + (root / "copy.zip").string() + "'");
    });
    std::printf("256 MB archive from %s: curl -o %.3f s, checked %.3f s, unchecked %.3f s\n",
                site.c_str(), curlSeconds, checkedSeconds, uncheckedSeconds);
    bench::printRow("Download a 256 MB archive from nginx, checked", checkedSeconds,
                    "`curl -o` from the same nginx", curlSeconds, "the file, into a new one", cat,
                    checkedPeak);
    bench::printRow("Download a 256 MB archive from nginx, unchecked", uncheckedSeconds,
                    "`curl -o` from the same nginx", curlSeconds, "the file, into a new one", cat,
                    0);
    timeSmallBatch(root, site, " from nginx");
    std::filesystem::remove_all(root);
    return 0;
}

// What a capped batch received over time: each piece with when it came.
class Arrivals final : public kelvarn::DownloadObserver {
public:
    void rowStatus(std::size_t, const kelvarn::DownloadState& state) override {
        if (state.kind() == kelvarn::DownloadState::Kind::Preparing) {
            shown_ = 0;  // a new transfer
        }
    }
    void transferProgress(std::int64_t kilobytes, std::int64_t) override { note(kilobytes); }
    void note(std::int64_t kilobytes) {
        if (kilobytes > shown_) {
            pieces.push_back({std::chrono::steady_clock::now(), (kilobytes - shown_) * 1024});
            shown_ = kilobytes;
        }
    }

    struct Piece {
        std::chrono::steady_clock::time_point at;
        std::int64_t bytes;
    };
    std::vector<Piece> pieces;

private:
    std::int64_t shown_ = 0;
};

// The most bytes among `pieces` that came within any `window` (each piece's time opening one).
std::int64_t mostInAnyWindow(const std::vector<Arrivals::Piece>& pieces,
                             std::chrono::steady_clock::duration window) {
    std::int64_t most = 0, sum = 0;
    for (std::size_t first = 0, last = 0; first < pieces.size(); sum -= pieces[first++].bytes) {
        for (; last < pieces.size() && pieces[last].at - pieces[first].at < window; ++last) {
            sum += pieces[last].bytes;
        }
        most = std::max(most, sum);
    }
    return most;
}

// Batches under a cap of 100 KB/s, each long enough for several 10 s windows: files of 2 KB, of
// 30 KB, and one of 2 MB. Received is counted twice: as the run reports its progress (whole
// kilobytes, at most every 50 ms), and as the server's writes (which run ahead by what the
// connection's buffers hold: the client's receive buffer under the cap, the server's small send
// buffer).
int timeCap() {
    constexpr std::int64_t kCap = std::int64_t{100} * 1024;
    struct Case {
        const char* what;
        std::size_t bytes;
        int files;
    };
    const Case cases[] = {{"2 KB files", 2048, 1500},
                          {"30 KB files", std::size_t{30} * 1024, 100},
                          {"one 2 MB file", 2u << 20, 1}};
    std::mutex mutex;
    std::vector<Arrivals::Piece> written;
    std::size_t size = 0;
    httplib::Server server;
    server.set_tcp_nodelay(true);
    server.set_keep_alive_max_count(100000);
    // A small send buffer, so that what the server has written is about what has left it.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        int bytes = 16 * 1024;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        setsockopt(sock, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
    });
    server.Get("/fruityloops/loops_list/pafiledb.php", [&](const httplib::Request&,
                                                           httplib::Response& res) {
        res.set_content_provider(
            size, "application/zip",
            [&](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                static const std::string chunk(std::size_t{64} * 1024, 'c');
                const std::size_t piece = std::min({length, chunk.size(), size - offset});
                sink.write(chunk.data(), piece);
                std::lock_guard lock(mutex);
                written.push_back(
                    {std::chrono::steady_clock::now(), static_cast<std::int64_t>(piece)});
                return true;
            });
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { server.listen_after_bind(); });
    while (!server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const std::string site = "http://127.0.0.1:" + std::to_string(port);
    const bench::OwnTempFolder temp;
    const auto root = temp.path() / "cap";
    for (const Case& c : cases) {
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
        std::vector<std::string> ids;
        ids.reserve(static_cast<std::size_t>(c.files));
        for (int i = 0; i < c.files; ++i) {
            ids.push_back(std::to_string(100000 + i));
        }
        layOutQueue(root, ids);
        size = c.bytes;
        written.clear();
        Arrivals arrivals;
        const double seconds = runBatch(
            root, site, [](kelvarn::DownloadSettings& s) { s.limits.maxBytesPerSecond = kCap; },
            &arrivals);
        const double total = static_cast<double>(c.bytes) * c.files;
        const auto window = std::chrono::seconds(10);
        const double capped = static_cast<double>(kCap) * 10;
        std::lock_guard lock(mutex);
        std::printf(
            "cap 100 KB/s, %d x %s: %.1f s, %.1f KB/s on average (%+.1f %%); most in any 10 s: "
            "%+.1f %% of the cap as the run received it, %+.1f %% as the server wrote it\n",
            c.files, c.what, seconds, total / seconds / 1024,
            100 * (total / seconds / static_cast<double>(kCap) - 1),
            100 * (static_cast<double>(mostInAnyWindow(arrivals.pieces, window)) / capped - 1),
            100 * (static_cast<double>(mostInAnyWindow(written, window)) / capped - 1));
    }
    server.stop();
    serving.join();
    std::filesystem::remove_all(root);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "--files") {
        const std::filesystem::path folder = args[1];
        std::filesystem::create_directories(folder);
        writeFile(folder / largeMix().id, kelvarn::makeArchive(largeMix(), 1));
        for (const std::string& id : smallIds()) {
            writeFile(folder / id, smallArchive());
        }
        return 0;
    }
    if (args.size() == 2 && args[0] == "--site") {
        return timeSite(args[1]);
    }
    if (args.size() == 1 && args[0] == "--cap") {
        return timeCap();
    }
    if (!args.empty()) {
        std::fprintf(stderr, "usage: bench_download [--files DIR | --site ADDRESS | --cap]\n");
        return 2;
    }
    // Every byte of a file is the same, so the server holds one chunk of it, not the file.
    const std::string largeChunk(1 << 20, 'L');
    const std::string small = smallArchive();
    httplib::Server server;
    server.set_tcp_nodelay(true);
    server.set_keep_alive_max_count(100000);
    std::atomic<int> resumed{0};
    // ID 888888 is the large file on a line that breaks after every 32 MB of an answer.
    server.Get("/fruityloops/loops_list/pafiledb.php", [&](const httplib::Request& req,
                                                           httplib::Response& res) {
        const std::string id = req.get_param_value("id");
        const bool large = id == "999999" || id == "888888";
        const std::string& chunk = large ? largeChunk : small;
        const bool cut = id == "888888";
        if (cut && req.has_header("Range")) {
            ++resumed;
        }
        auto first = std::make_shared<std::size_t>(std::string::npos);
        res.set_content_provider(
            large ? kLargeBytes : small.size(), "application/zip",
            [&chunk, cut, first](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                if (*first == std::string::npos) {
                    *first = offset;
                }
                if (cut && offset - *first >= kCutEvery) {
                    return false;
                }
                sink.write(chunk.data(), std::min(length, chunk.size()));
                return true;
            });
    });
    int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { server.listen_after_bind(); });
    while (!server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const std::string site = "http://127.0.0.1:" + std::to_string(port);
    const bench::OwnTempFolder temp;
    const auto root = temp.path() / "download";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);

    const std::string address = site + "/fruityloops/loops_list/pafiledb.php?action=download&id=";
    const std::string curlCommand =
        "curl -s -o " + (root / "curl.zip").string() + " '" + address + "999999'";
    // Taken in turns, the best of five each, so that both see the same machine.
    double curlSeconds = 1e9, ourSeconds = 1e9;
    bench::startPeak();
    for (int round = 0; round < 5; ++round) {
        curlSeconds = std::min(curlSeconds, bench::bestSeconds(1, [&] {
                                   if (!bench::runCommand(curlCommand)) {
                                       std::fprintf(stderr, "curl failed\n");
                                   }
                               }));
        layOutQueue(root, {"999999"});
        ourSeconds = std::min(ourSeconds, runBatch(root, site));
    }
    const double largePeak = bench::peakMb();
    const double largeCat = bench::bestSeconds(3, [&] {
        bench::runCommand("cat '" + (root / "curl.zip").string() + "' > '" +
                          (root / "copy.zip").string() + "'");
    });
    const double megabytes = static_cast<double>(kLargeBytes) / (1 << 20);
    std::printf("256 MB file: curl -o %.0f MB/s, kelvarn %.0f MB/s (%.0f %% of curl)\n",
                megabytes / curlSeconds, megabytes / ourSeconds, 100.0 * curlSeconds / ourSeconds);
    bench::printRow("Download a 256 MB file on loopback", ourSeconds, "`curl -o`", curlSeconds,
                    "the file, into a new one", largeCat, largePeak);

    // The same file cut every 32 MB: each try resumes where the last one broke off.
    layOutQueue(root, {"888888"});
    double cutSeconds = runBatch(root, site, [](kelvarn::DownloadSettings& s) {
        s.retries = 20;
        s.retryDelaysMs = {0};
    });
    std::printf(
        "256 MB file cut every 32 MB: %.2f s in %d resumed answers, against %.2f s uncut "
        "(%+.0f %%)\n",
        cutSeconds, resumed.load(), ourSeconds, 100.0 * (cutSeconds / ourSeconds - 1));

    timeSmallBatch(root, site, "");

    // The archive check of a 256 MB archive: of the file at rest, and where the download summed
    // its entries as they arrived (in pieces of 16 KB, as libcurl hands them over).
    const std::string archive = kelvarn::makeArchive(largeMix(), 1);
    const std::string archivePath = (root / "large.zip").string();
    writeFile(archivePath, archive);
    std::optional<std::string> defect, summedDefect;
    const double checkSeconds =
        bench::bestSeconds(3, [&] { defect = kelvarn::archiveDefect(archivePath); });
    const double summedSeconds = bench::bestSeconds(3, [&] {
        kelvarn::ArchiveSums sums;
        for (std::size_t at = 0; at < archive.size(); at += 16384) {
            sums.feed(std::string_view(archive).substr(at, 16384));
        }
        summedDefect = kelvarn::archiveDefect(archivePath, sums);
    });
    std::printf(
        "archive check of a 256 MB archive: %.0f ms at rest, %.0f ms summed as it arrives%s\n",
        1000 * checkSeconds, 1000 * summedSeconds,
        defect || summedDefect ? " (found it broken!)" : "");

    server.stop();
    serving.join();
    std::filesystem::remove_all(root);
    return 0;
}
