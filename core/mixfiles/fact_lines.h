// SPDX-License-Identifier: GPL-3.0-or-later
// The side file of the data folder that keeps what each downloaded mix's project says, so that a
// search by plugin or tempo reads no archive: one line a mix, in UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/mixfiles/archive_reader.h"
#include "core/storage/data_files.h"

namespace kelvarn {

// A mix's line: its first project's tempo, version and channel count, and the plugins of all of
// its projects.
struct MixFacts {
    std::string id;  // UTF-8, as cp1251ToUtf8Printable gives a record's ID
    std::uint32_t tempoMilli = 0;
    std::string version;
    std::uint32_t channels = 0;
    std::vector<ProjectPlugin> plugins;
};

// `contents` may be empty: a downloaded file that is no mix still has its line.
MixFacts mixFacts(std::string id, const MixContents& contents);

// The side file's lines, under its lock: as they stand when the file is whole, else (missing, or
// not ours) what `rebuild` gives, which replaces the file; with `force`, what `rebuild` gives
// whatever the file holds. `rebuild` runs under the lock, so a download's line waits for it.
std::vector<MixFacts> factsFile(const std::string& folder, bool force,
                                const std::function<std::vector<MixFacts>()>& rebuild);

// A completed download's line, from the file the download kept at `path`: appended to the side
// file when it is whole (a mix noted again replaces its earlier line as the file is read); a
// missing one is left to whoever reads it next, who rebuilds it. A side file that cannot take the
// line is removed, for the same reason. Never throws: the download stands whatever becomes of its
// line.
void noteDownloadedMix(const std::string& folder, std::string_view id, const std::string& path);

}  // namespace kelvarn
