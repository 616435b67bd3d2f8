// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the music site on 127.0.0.1: the list page, record pages and archives of
// made-up mixes, for tests and the demo.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace httplib {
class Server;
}

namespace kelvarn {

struct DemoSiteOptions {
    int mixes = 300;
    unsigned seed = 1;
    // Adds the awkward lines a parser must cope with (see demo_site/README.md).
    bool trickyLines = true;
};

// One mix as the site lists it. Texts are Windows-1251 bytes, exactly as the page carries them.
struct DemoMix {
    std::string id;
    std::string title;
    std::string author;
    std::string email;
    int category = 0;
    std::int64_t bytes = 0;
    bool hasLength = true;  // false: the archive is sent chunked, without Content-Length
    int status = 200;       // 404: the site lists the mix but its download is missing
};

// IDs of the tricky entries; empty when the page has no such entry. The first three are mixes
// like any other; the last two are no mixes, and the site answers 404 for them.
struct DemoTrickyIds {
    std::string emptyLines;   // empty lines between the marker line and the mail line
    std::string entityTitle;  // the title holds "&amp;"
    std::string badCategory;  // the page gives "abc" as its category; category 0 in mixes()
    std::string indented;     // the marker line starts with a space
    std::string unclosed;     // no '"' after the ID
};

// The mixes of a site made from `seed`, in page order, and the tricky entries among them.
struct DemoContent {
    std::vector<DemoMix> mixes;
    DemoTrickyIds tricky;
    // Mixes and tricky entries in page order; the tricky ones that are no mix are kept here only.
    std::vector<DemoMix> entries;
};

// Throws std::invalid_argument for a count outside 0..800000 (IDs have six digits).
DemoContent makeDemoContent(int mixes, unsigned seed, bool trickyLines);

// The list page of `content` with file links under `baseAddress`: Windows-1251, CR LF lines.
std::string renderListPage(const std::string& baseAddress, const DemoContent& content);

// The list page a site of `mixes` mixes made from `seed` serves at `baseAddress`, without a server.
std::string makeListPage(const std::string& baseAddress, int mixes, unsigned seed,
                         bool trickyLines = true);

// A ZIP archive of the files (name, bytes), stored uncompressed so that its size follows from
// theirs, every entry dated 2005-03-18.
std::string zipArchive(const std::vector<std::pair<std::string, std::string>>& files);

// The archive bytes served for a mix: "PK\3\4", then a pattern drawn from the seed and the ID.
std::string makeArchive(const DemoMix& mix, unsigned seed);

class DemoSite {
public:
    explicit DemoSite(DemoSiteOptions options);
    ~DemoSite();
    DemoSite(const DemoSite&) = delete;
    DemoSite& operator=(const DemoSite&) = delete;

    // Listens on 127.0.0.1 (port 0: any free port). Throws std::runtime_error when it cannot
    // bind, std::logic_error when already serving.
    void start(int port = 0);
    void stop();

    int port() const { return port_; }
    std::string baseAddress() const;

    int listRequests() const { return listRequests_; }
    int pageRequests() const { return pageRequests_; }
    // GETs of download addresses, and HEADs of them (size queries without the body).
    int downloadRequests() const { return downloadRequests_; }
    int sizeRequests() const { return sizeRequests_; }

    const std::vector<DemoMix>& mixes() const { return content_.mixes; }
    const DemoTrickyIds& trickyIds() const { return content_.tricky; }
    // The bytes the list page is served with; empty before the first start().
    std::string listPage() const;
    std::string archive(const DemoMix& mix) const { return makeArchive(mix, options_.seed); }

    // The list page answers with this status (200 serves the page; a 3xx adds a Location).
    void setListStatus(int status) { listStatus_ = status; }
    // A pause before the list page is answered; stop() cuts it short.
    void setListDelayMs(int ms) { listDelayMs_ = ms; }

private:
    void addRoutes();
    void waitBeforeList();

    DemoSiteOptions options_;
    DemoContent content_;
    std::unordered_map<std::string, std::size_t> byId_;
    std::string listPage_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;

    std::atomic<int> listStatus_{200};
    std::atomic<int> listDelayMs_{0};
    std::atomic<int> listRequests_{0};
    std::atomic<int> pageRequests_{0};
    std::atomic<int> downloadRequests_{0};
    std::atomic<int> sizeRequests_{0};

    std::mutex stopMutex_;
    std::condition_variable stopSignal_;
    bool stopping_ = false;
};

}  // namespace kelvarn
