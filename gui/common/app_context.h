// SPDX-License-Identifier: GPL-3.0-or-later
// What every window is given at creation: the program folder, the site, the sound player and
// today's date. Tests hand in their own folder, a silent player and a fixed day.
#pragma once

#include <functional>
#include <string>

#include "core/sound/sound.h"

namespace kelvarn {

struct AppContext {
    std::string folder;  // the program folder, with its trailing "/"
    std::string site;    // --site, when given; otherwise "[Main] Site" is read where needed
    SoundPlayer* sound = nullptr;
    std::function<double()> today;
    // The windows' fixed pauses (load pacing, good-bye picture, fade-out, and the import's
    // status pauses on its worker thread); empty for real ones.
    std::function<void(int milliseconds)> sleep;

    std::string file(const std::string& name) const { return folder + name; }
    void PlaySoundFile(const std::string& name) const {
        if (sound != nullptr) {
            sound->PlaySoundFile(name);
        }
    }
};

}  // namespace kelvarn
