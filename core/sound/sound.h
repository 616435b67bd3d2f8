// SPDX-License-Identifier: GPL-3.0-or-later
// Audible feedback: a named sound file from the program folder's "sound/" folder, played to its
// end before the call returns.
#pragma once

#include <string>

namespace kelvarn {

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Plays sound/`fileName` and returns when it has finished. A missing file or a machine
    // without a sound device plays nothing and reports nothing.
    virtual void PlaySoundFile(const std::string& fileName) = 0;
};

// The headless front end's player.
class SilentSoundPlayer final : public SoundPlayer {
public:
    void PlaySoundFile(const std::string&) override {}
};

}  // namespace kelvarn
