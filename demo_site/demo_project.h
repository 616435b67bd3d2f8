// SPDX-License-Identifier: GPL-3.0-or-later
// The project file inside a demo mix's archive: tempo, signature, channels, plugins and patterns
// drawn for the mix, padded to the size the archive needs.
#pragma once

#include <cstddef>
#include <string>

#include "demo_site/demo_site.h"
#include "demo_site/splitmix.h"

namespace kelvarn {

// A project of exactly `length` bytes made from `random`; empty when `length` is too small for
// one.
std::string makeDemoProject(const DemoMix& mix, SplitMix64& random, std::size_t length);

// A project of at least `length` bytes of small events alone (channels with their plugins, names
// and states, values, pattern numbers), as a reader's hardest case.
std::string makeBusyProject(SplitMix64& random, std::size_t length);

}  // namespace kelvarn
