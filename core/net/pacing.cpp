// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/net/pacing.h"

#include <cmath>
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

void Pace::waitForTurn(const std::atomic<bool>* stop) {
    for (long wait; (wait = untilPaid()) > 0 && (stop == nullptr || !stop->load());) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(wait, 100L)));
    }
}

long Pace::untilPaid() {
    if (rate_ <= 0) {
        return 0;
    }
    const Clock::time_point now = Clock::now();
    const std::chrono::duration<double> since = now - last_;
    credit_ = std::min(rate_ / 10, credit_ + rate_ * since.count());
    last_ = now;
    return credit_ >= 0 ? 0 : static_cast<long>(std::ceil(-credit_ * 1000 / rate_));
}

}  // namespace kelvarn
