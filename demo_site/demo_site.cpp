// SPDX-License-Identifier: GPL-3.0-or-later
#include "demo_site/demo_site.h"

#include <httplib.h>

#include <chrono>
#include <stdexcept>

#include "core/net/site_address.h"
#include "core/storage/cp1251.h"

namespace kelvarn {
namespace {

constexpr char kHtml[] = "text/html; charset=windows-1251";
// Route patterns are regular expressions.
constexpr char kListPath[] = R"(/fruityloops/loops\.php)";
constexpr char kFilesPath[] = R"(/fruityloops/loops_list/pafiledb\.php)";
constexpr std::size_t kChunk = 16384;

std::string recordPage(const std::string& base, const DemoMix& mix) {
    std::string page =
        "<html>\r\n<head>\r\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\r\n"
        "<title>";
    page += mix.title;
    page += "</title>\r\n</head>\r\n<body>\r\n<h1>";
    page += mix.title;
    page += "</h1>\r\n<p>";
    page += "Автор: "_cp;
    page += "<a href=\"mailto:" + mix.email + "\">" + mix.author + "</a></p>\r\n<p>";
    page += "Размер: "_cp;
    page += std::to_string(mix.bytes);
    page += " байт</p>\r\n<p><a href=\""_cp;
    page += downloadAddress(base, mix.id);
    page += "\">";
    page += "Скачать"_cp;
    page += "</a></p>\r\n</body>\r\n</html>\r\n";
    return page;
}

void answerStatus(httplib::Response& res, int status) {
    res.status = status;
    res.set_content("<html><body><h1>" + std::to_string(status) + "</h1></body></html>\r\n", kHtml);
}

// Only SO_REUSEADDR: the default also sets SO_REUSEPORT, which would let a second server bind
// a port that is taken instead of failing.
void reuseAddressOnly(socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

}  // namespace

DemoSite::DemoSite(DemoSiteOptions options)
    : options_(options),
      content_(makeDemoContent(options.mixes, options.seed, options.trickyLines)) {
    for (std::size_t i = 0; i < content_.mixes.size(); ++i) {
        byId_.emplace(content_.mixes[i].id, i);
    }
}

DemoSite::~DemoSite() {
    stop();
}

std::string DemoSite::baseAddress() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::string DemoSite::listPage() const {
    return listPage_;
}

void DemoSite::start(int port) {
    if (server_) {
        throw std::logic_error("the demo site is already serving");
    }
    auto server = std::make_unique<httplib::Server>();
    server->set_socket_options(reuseAddressOnly);
    server->set_tcp_nodelay(true);
    server->set_keep_alive_max_count(100000);
    // An idle kept-alive connection holds up stop() for this long.
    server->set_keep_alive_timeout(1);
    int bound = port == 0 ? server->bind_to_any_port("127.0.0.1")
                          : (server->bind_to_port("127.0.0.1", port) ? port : -1);
    if (bound <= 0) {
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port));
    }
    port_ = bound;
    listPage_ = renderListPage(baseAddress(), content_);
    {
        std::lock_guard lock(stopMutex_);
        stopping_ = false;
    }
    server_ = std::move(server);
    addRoutes();

    auto ended = std::make_shared<std::atomic<bool>>(false);
    thread_ = std::thread([server = server_.get(), ended] {
        server->listen_after_bind();
        *ended = true;
    });
    while (!server_->is_running() && !*ended) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!server_->is_running()) {
        thread_.join();
        server_.reset();
        throw std::runtime_error("cannot serve on 127.0.0.1:" + std::to_string(port_));
    }
}

void DemoSite::stop() {
    if (!server_) {
        return;
    }
    {
        std::lock_guard lock(stopMutex_);
        stopping_ = true;
    }
    stopSignal_.notify_all();
    server_->stop();
    thread_.join();
    server_.reset();
}

void DemoSite::waitBeforeList() {
    int ms = listDelayMs_;
    if (ms <= 0) {
        return;
    }
    std::unique_lock lock(stopMutex_);
    stopSignal_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

void DemoSite::addRoutes() {
    server_->Get(kListPath, [this](const httplib::Request& req, httplib::Response& res) {
        if (req.method == "GET") {
            ++listRequests_;
        }
        waitBeforeList();
        int status = listStatus_;
        if (status != 200) {
            if (status >= 300 && status < 400) {
                res.set_header("Location", baseAddress() + "/fruityloops/moved.php");
            }
            answerStatus(res, status);
            return;
        }
        // A provider of known length is never compressed, so the bytes are the page's own.
        res.set_content_provider(
            listPage_.size(), kHtml,
            [this](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                return sink.write(listPage_.data() + offset, std::min(length, kChunk));
            });
    });

    server_->Get(kFilesPath, [this](const httplib::Request& req, httplib::Response& res) {
        bool head = req.method == "HEAD";
        std::string action = req.get_param_value("action");
        auto found = byId_.find(req.get_param_value("id"));
        const DemoMix* mix = found == byId_.end() ? nullptr : &content_.mixes[found->second];
        if (action == "file") {
            if (!head) {
                ++pageRequests_;
            }
            if (!mix) {
                answerStatus(res, 404);
                return;
            }
            res.set_content(recordPage(baseAddress(), *mix), kHtml);
            return;
        }
        if (action != "download") {
            answerStatus(res, 404);
            return;
        }
        ++(head ? sizeRequests_ : downloadRequests_);
        if (!mix || mix->status != 200) {
            answerStatus(res, mix ? mix->status : 404);
            return;
        }
        res.set_header("Content-Disposition", "attachment; filename=\"" + mix->id + ".zip\"");
        if (mix->hasLength) {
            res.set_content(archive(*mix), "application/zip");
            return;
        }
        auto body = std::make_shared<std::string>(archive(*mix));
        res.set_chunked_content_provider("application/zip", [body](std::size_t offset,
                                                                   httplib::DataSink& sink) {
            if (offset < body->size()) {
                return sink.write(body->data() + offset, std::min(kChunk, body->size() - offset));
            }
            sink.done();
            return true;
        });
    });
}

}  // namespace kelvarn
