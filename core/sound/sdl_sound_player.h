// SPDX-License-Identifier: GPL-3.0-or-later
// The windows' player: SDL2 audio, one sound at a time, the caller waiting until it has been heard.
#pragma once

#include <mutex>
#include <string>

#include "core/sound/sound.h"

namespace kelvarn {

class SdlSoundPlayer final : public SoundPlayer {
public:
    // `programFolder` ends in "/"; sounds are read from its "sound/" folder.
    explicit SdlSoundPlayer(std::string programFolder);
    ~SdlSoundPlayer() override;

    SdlSoundPlayer(const SdlSoundPlayer&) = delete;
    SdlSoundPlayer& operator=(const SdlSoundPlayer&) = delete;

    // Safe from any thread; concurrent calls play one after another.
    void PlaySoundFile(const std::string& fileName) override;

private:
    // Starts SDL's audio on first use; false when it cannot start or there is nothing to play on.
    bool audioReady();

    std::string folder_;
    std::mutex mutex_;
    bool initTried_ = false;
    bool initialised_ = false;
};

}  // namespace kelvarn
