// SPDX-License-Identifier: GPL-3.0-or-later
// What every fuzz target stands on: a folder of its own where each input becomes a real file
// for the real readers, and checks that end the run as a crash the fuzzer keeps.
#pragma once

#include <string>
#include <string_view>

namespace kelvarn::fuzz {

// The site the list pages of the corpus link to. libcurl knows no such scheme, so a size query
// for one of its mixes fails at once and contacts nothing.
inline constexpr std::string_view kSite = "fuzz://site";

// <temp>/kelvarn-fuzz-NAME-PID/, emptied when made and removed with the object. Fuzzers running
// side by side (-jobs) each get their own.
class FuzzFolder {
public:
    explicit FuzzFolder(std::string_view name);
    ~FuzzFolder();
    FuzzFolder(const FuzzFolder&) = delete;
    FuzzFolder& operator=(const FuzzFolder&) = delete;

    // With its trailing "/", as the core's program folders are given.
    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const { return path_ + std::string(name); }

    // Replaces the file with the bytes and returns its path.
    std::string write(std::string_view name, std::string_view bytes) const;
    std::string write(std::string_view name, const unsigned char* data, std::size_t size) const {
        return write(name, std::string_view(reinterpret_cast<const char*>(data), size));
    }

private:
    std::string path_;
};

// The whole file as it stands now.
std::string readFile(const std::string& path);

// A broken promise of the code under test: says which, and aborts so the fuzzer saves the input.
void check(bool holds, const char* promise);

}  // namespace kelvarn::fuzz
