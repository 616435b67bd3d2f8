// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/net/request_pacer.h"

#include <thread>

namespace kelvarn {

RequestPacer::RequestPacer(int perSecond, const std::atomic<bool>* stop) : stop_(stop) {
    if (perSecond > 0) {
        gap_ = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                   std::chrono::seconds(1)) /
               perSecond;
    }
}

void RequestPacer::beforeRequest() {
    using Clock = std::chrono::steady_clock;
    if (gap_ == Clock::duration::zero()) {
        return;
    }
    while (Clock::now() < due_ && !(stop_ != nullptr && stop_->load())) {
        std::this_thread::sleep_for(
            std::min<Clock::duration>(due_ - Clock::now(), std::chrono::milliseconds(20)));
    }
    due_ = Clock::now() + gap_;
}

}  // namespace kelvarn
