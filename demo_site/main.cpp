// SPDX-License-Identifier: GPL-3.0-or-later
// kelvarn-demo-site: serves the stand-in music site on 127.0.0.1 until SIGINT or SIGTERM.
#include <pthread.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>

#include "demo_site/demo_site.h"

namespace {

constexpr char kUsage[] =
    "usage: kelvarn-demo-site [--port N] [--mixes N] [--seed N] [--port-file FILE]\n";

bool parseNumber(const char* text, long long min, long long max, long long& out) {
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < min || value > max) {
        return false;
    }
    out = value;
    return true;
}

// Written whole under another name first, so a script waiting for the file never reads half.
bool writePortFile(const std::string& path, int port) {
    std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << port << '\n';
        if (!out.flush()) {
            return false;
        }
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    kelvarn::DemoSiteOptions options;
    int port = 0;
    std::string portFile;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::cout << kUsage;
            return 0;
        }
        long long number = 0;
        const char* value = i + 1 < argc ? argv[++i] : "";
        bool ok = true;
        if (option == "--port") {
            ok = parseNumber(value, 0, 65535, number);
            port = static_cast<int>(number);
        } else if (option == "--mixes") {
            ok = parseNumber(value, 0, 800000, number);
            options.mixes = static_cast<int>(number);
        } else if (option == "--seed") {
            ok = parseNumber(value, 0, UINT_MAX, number);
            options.seed = static_cast<unsigned>(number);
        } else if (option == "--port-file") {
            ok = *value != '\0';
            portFile = value;
        } else {
            ok = false;
        }
        if (!ok) {
            std::cerr << "kelvarn-demo-site: bad option " << option << ' ' << value << '\n'
                      << kUsage;
            return 2;
        }
    }

    // Blocked before any thread starts, so that only sigwait() below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        kelvarn::DemoSite site(options);
        site.start(port);
        std::cout << "Serving on " << site.baseAddress() << std::endl;
        if (!portFile.empty() && !writePortFile(portFile, site.port())) {
            std::cerr << "kelvarn-demo-site: cannot write " << portFile << '\n';
            return 3;
        }
        int received = 0;
        sigwait(&stopSignals, &received);
        site.stop();
        if (!portFile.empty()) {
            std::remove(portFile.c_str());
        }
    } catch (const std::exception& error) {
        std::cerr << "kelvarn-demo-site: " << error.what() << '\n';
        return 3;
    }
    return 0;
}
