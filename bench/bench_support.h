// SPDX-License-Identifier: GPL-3.0-or-later
// What the benchmark programs share: best-of timing, files and commands, the peak memory of one
// stage, and the rows of the table bench/run prints.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace kelvarn::bench {

// The best wall time in seconds of `runs` runs: the one least disturbed by the rest of the
// machine.
template <typename Work>
double bestSeconds(int runs, Work work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A temporary folder of this run's own, removed with everything in it when it goes: two runs at
// once never meet in it.
class OwnTempFolder {
public:
    OwnTempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelvarn-bench-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        path_ = pattern;
    }
    OwnTempFolder(const OwnTempFolder&) = delete;
    OwnTempFolder& operator=(const OwnTempFolder&) = delete;
    ~OwnTempFolder() { std::filesystem::remove_all(path_); }

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Runs a shell command and says whether it succeeded.
inline bool runCommand(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// Starts a stage: from here peakMb() is the highest resident memory of this process since this
// call (Linux keeps the mark; writing 5 to clear_refs lowers it to what is resident now).
inline void startPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

inline double peakMb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    double kilobytes = 0;
    while (status >> key) {
        if (key == "VmHWM:") {
            status >> kilobytes;
            break;
        }
    }
    return kilobytes / 1024;
}

// One row of the table bench/run prints, on a line of its own: our time, the comparison tool
// and its time, what the floor read or wrote with cat and its time (0: none), our peak memory
// (0: not measured). Times in seconds.
inline void printRow(const std::string& operation, double ours, const std::string& tool,
                     double theirs, const std::string& floor, double floorSeconds, double peak) {
    std::printf("row\t%s\t%.6f\t%s\t%.6f\t%s\t%.6f\t%.1f\n", operation.c_str(), ours, tool.c_str(),
                theirs, floor.c_str(), floorSeconds, peak);
    std::fflush(stdout);
}

}  // namespace kelvarn::bench
