// SPDX-License-Identifier: GPL-3.0-or-later
// The two limits a run keeps toward the site: requests at most so many a second (RequestPacer),
// and bytes received at most so many a second, all of a run's transfers together (Pace).
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace kelvarn {

// Politeness toward the site: requests to it at most so many a second.
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

// Holds a run's transfers to their bandwidth cap, all together. Every byte received counts, the
// headers and a small file's whole body too: a piece that comes before what came earlier is paid
// for is held back (libcurl keeps it), and the next transfer waits its turn. No more than a
// tenth of a second's worth is saved up while nothing comes, and a piece is at most a quarter
// of a second's worth, so any 10 s receive within a few per cent of the cap.
class Pace {
public:
    using Clock = std::chrono::steady_clock;
    explicit Pace(std::int64_t bytesPerSecond) : rate_(static_cast<double>(bytesPerSecond)) {}

    // The largest piece a transfer under this cap takes; 1 KB is libcurl's smallest.
    static std::size_t pieceFor(std::int64_t bytesPerSecond, std::size_t largest) {
        if (bytesPerSecond <= 0) {
            return largest;
        }
        return static_cast<std::size_t>(
            std::clamp<std::int64_t>(bytesPerSecond / 4, 1024, static_cast<std::int64_t>(largest)));
    }

    // Bytes that came and could not be held back: the headers.
    void charge(std::size_t bytes) {
        if (rate_ > 0) {
            untilPaid();  // the time gone by is counted first
            credit_ -= static_cast<double>(bytes);
        }
    }
    // Whether a piece of `bytes` goes on now, counted when it does; held back when not.
    bool take(std::size_t bytes) {
        held_ = !paid();
        if (!held_ && rate_ > 0) {
            credit_ -= static_cast<double>(bytes);
        }
        return !held_;
    }
    // A piece held back that may go on now.
    bool release() {
        if (!held_ || !paid()) {
            return false;
        }
        held_ = false;
        return true;
    }
    // While a piece is held back, the milliseconds until it may go on; -1 when none is.
    long heldMilliseconds() { return held_ ? untilPaid() : -1; }
    // Waits until what came before is paid for; a stop ends the wait.
    void waitForTurn(const std::atomic<bool>* stop);

private:
    bool paid() { return untilPaid() == 0; }
    // The milliseconds until what came is paid for, the time gone by counted first.
    long untilPaid();

    double rate_;
    double credit_ = 0;
    Clock::time_point last_ = Clock::now();
    bool held_ = false;
};

}  // namespace kelvarn
