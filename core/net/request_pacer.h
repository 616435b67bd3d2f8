// SPDX-License-Identifier: GPL-3.0-or-later
// Politeness toward the site: requests to it at most so many a second.
#pragma once

#include <atomic>
#include <chrono>

namespace kelvarn {

class RequestPacer {
public:
    // 0 or less: no limit.
    explicit RequestPacer(int perSecond, const std::atomic<bool>* stop = nullptr);

    // Waits until the next request is due; a stop ends the wait at once.
    void beforeRequest();

private:
    std::chrono::steady_clock::duration gap_{};
    std::chrono::steady_clock::time_point due_{};
    const std::atomic<bool>* stop_;
};

}  // namespace kelvarn
