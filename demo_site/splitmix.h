// SPDX-License-Identifier: GPL-3.0-or-later
// The made-up data of the stand-in site and the benchmarks: splitmix64 gives the same numbers on
// every platform for a seed, which the standard distributions do not.
#pragma once

#include <cstdint>

namespace kelvarn {

class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A whole number in 0..n-1, of n's type.
    template <typename N>
    N below(N n) {
        return static_cast<N>(next() % static_cast<std::uint64_t>(n));
    }
    bool percent(unsigned p) { return below(100u) < p; }
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

private:
    std::uint64_t state_;
};

}  // namespace kelvarn
