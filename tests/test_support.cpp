#include "tests/test_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

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

void writeCatalogue(const std::string& path, const std::vector<MixRecord>& records) {
    std::string bytes;
    for (const MixRecord& r : records) {
        RecordBytes b = encodeRecord(r);
        bytes.append(reinterpret_cast<const char*>(b.data()), b.size());
    }
    writeBytes(path, bytes);
}

namespace {

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

}  // namespace

CommandResult runCli(const std::vector<std::string>& args, const std::string& stdoutPath) {
    TempFolder scratch;
    std::string outPath = stdoutPath.empty() ? scratch.file("out") : stdoutPath;
    std::string errPath = scratch.file("err");
    pid_t pid = fork();
    if (pid == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> argv;
        std::string program = KELVARN_CLI;
        argv.push_back(program.data());
        std::vector<std::string> copies = args;
        for (std::string& a : copies) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
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

}  // namespace kelvarn::test
