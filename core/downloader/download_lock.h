// SPDX-License-Identifier: GPL-3.0-or-later
// The lock a download run holds on the folder, and the claims on single mixes within it.
#pragma once

#include <cstdint>
#include <string>

namespace kelvarn {

// Held by a download run for its whole run, so that no restore swaps Base.vlt under it (the run
// would mark record N of another catalogue). Runs share it, a restore needs it alone; it is a
// file of its own, since the folder's lock is the import's and a download never waits for one.
class DownloadUnderWay {
public:
    explicit DownloadUnderWay(const std::string& folder);
    ~DownloadUnderWay();
    DownloadUnderWay(const DownloadUnderWay&) = delete;
    DownloadUnderWay& operator=(const DownloadUnderWay&) = delete;

    // Claims the mix of record `recordNumber` for this run until releaseMix() or the run's end:
    // false while another run (of this process or another) holds it, so that two runs never
    // write one file at once. A byte of the lock file per record number.
    bool claimMix(std::int32_t recordNumber);
    void releaseMix(std::int32_t recordNumber);

private:
    int fd_ = -1;
};

}  // namespace kelvarn
