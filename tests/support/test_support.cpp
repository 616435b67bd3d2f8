// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kelvarn::test {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kelvarn-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary folder");
    }
    path_ = pattern + "/";
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

MixRecord sampleRecord(const std::string& id, std::uint8_t style, double addedDate) {
    MixRecord r;
    r.Id = id;
    r.Author = "Author " + id;
    r.Title = "Title " + id;
    r.Email = id + "@mail.ru";
    r.Style = style;
    r.Size = 1234;
    r.AddedDate = addedDate;
    r.AddedTime = 0.5;
    return r;
}

std::string queueEntryBytes(const QueueEntry& entry) {
    QueueEntryBytes bytes = encodeQueueEntry(entry);
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

void writeCatalogue(const std::string& path, const std::vector<MixRecord>& records) {
    std::string bytes;
    for (const MixRecord& r : records) {
        RecordBytes b = encodeRecord(r);
        bytes.append(reinterpret_cast<const char*>(b.data()), b.size());
    }
    writeBytes(path, bytes);
}

void PrintTo(const CatalogueFiles& files, std::ostream* out) {
    *out << files.base.size() << " bytes of records, " << files.ids.size() << " of lines, "
         << files.queue.size() << " of queue";
}

CatalogueFiles readCatalogueFiles(const std::string& folder) {
    return {readBytes(folder + "Base.vlt"), readBytes(folder + "index"),
            readBytes(folder + "List.dnl")};
}

void writeCatalogueFiles(const std::string& folder, const CatalogueFiles& files) {
    writeBytes(folder + "Base.vlt", files.base);
    writeBytes(folder + "index", files.ids);
    writeBytes(folder + "List.dnl", files.queue);
}

CatalogueFiles sampleCatalogueFiles(int count) {
    CatalogueFiles files;
    for (int n = 1; n <= count; ++n) {
        const std::string id = std::to_string(n);
        RecordBytes record = encodeRecord(sampleRecord(id));
        files.base.append(reinterpret_cast<const char*>(record.data()), record.size());
        files.ids += id + "\r\n";
        files.queue += queueEntryBytes({n, id, "A - T", 0, 0});
    }
    return files;
}

std::string drain(int fd) {
    std::string text;
    char buffer[65536];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return text;
}

CommandResult runCli(const std::vector<std::string>& args, const std::string& stdoutPath,
                     std::uint64_t fileSizeLimit) {
    TempFolder scratch;
    std::string outPath = stdoutPath.empty() ? scratch.file("out") : stdoutPath;
    std::string errPath = scratch.file("err");
    // Made before the fork: until it execs, the child of a test with threads may not allocate,
    // since another thread can hold the allocator's lock at the moment of the fork.
    std::string program = KELVARN_CLI;
    std::vector<std::string> copies = args;
    std::vector<char*> argv{program.data()};
    for (std::string& a : copies) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
        if (fileSizeLimit != 0) {
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
            // The signal's default action, whatever the runner does with it: the command must
            // set its own.
            signal(SIGXFSZ, SIG_DFL);
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
            stdoutPath.empty() ? drain(open(outPath.c_str(), O_RDONLY)) : "",
            drain(open(errPath.c_str(), O_RDONLY))};
}

int runUnprivileged(const std::function<int()>& body) {
    pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(125);
        }
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

CannedServer::CannedServer(std::string answer, After after)
    : CannedServer([answer = std::move(answer), after](const std::string&) {
          return Reply{answer, after == After::Close};
      }) {}

CannedServer::CannedServer(Answer answer) : answer_(std::move(answer)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("the canned server cannot listen");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

CannedServer::~CannedServer() {
    stopping_ = true;
    thread_.join();
    ::close(listener_);
}

void CannedServer::send(int fd, const Reply& reply) const {
    ::send(fd, reply.bytes.data(), reply.bytes.size(), MSG_NOSIGNAL);
    for (char byte : reply.trickled) {
        if (stopping_ || ::send(fd, &byte, 1, MSG_NOSIGNAL) != 1) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
}

void CannedServer::serve() {
    std::vector<pollfd> watched{{listener_, POLLIN, 0}};
    while (!stopping_) {
        if (::poll(watched.data(), watched.size(), 20) <= 0) {
            continue;
        }
        for (std::size_t i = watched.size(); i-- > 0;) {
            if ((watched[i].revents & POLLIN) == 0) {
                continue;
            }
            if (i == 0) {
                watched.push_back({::accept(listener_, nullptr, nullptr), POLLIN, 0});
                ++connections_;
                continue;
            }
            // Whatever arrived is taken as one request; a closed connection is dropped.
            char request[4096];
            ssize_t got = ::read(watched[i].fd, request, sizeof request);
            Reply reply;
            if (got > 0) {
                reply = answer_(std::string(request, static_cast<std::size_t>(got)));
                send(watched[i].fd, reply);
            }
            if (got <= 0 || reply.close) {
                ::close(watched[i].fd);
                watched.erase(watched.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
    for (std::size_t i = 1; i < watched.size(); ++i) {
        ::close(watched[i].fd);
    }
}

std::string deflatedArchive(const std::vector<std::pair<std::string, std::string>>& files) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* memory = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(memory);
    zip_t* archive = zip_open_from_source(memory, ZIP_TRUNCATE, &error);
    for (const auto& [name, bytes] : files) {
        zip_int64_t index = zip_file_add(
            archive, name.c_str(), zip_source_buffer(archive, bytes.data(), bytes.size(), 0), 0);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 9);
    }
    if (zip_close(archive) != 0) {
        throw std::runtime_error("cannot make an archive");
    }
    zip_source_open(memory);
    zip_source_seek(memory, 0, SEEK_END);
    std::string out(static_cast<std::size_t>(zip_source_tell(memory)), '\0');
    zip_source_seek(memory, 0, SEEK_SET);
    zip_source_read(memory, out.data(), out.size());
    zip_source_close(memory);
    zip_source_free(memory);
    return out;
}

}  // namespace kelvarn::test
