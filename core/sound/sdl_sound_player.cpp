// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/sound/sdl_sound_player.h"

#include <SDL.h>

#include <chrono>
#include <thread>
#include <utility>

namespace kelvarn {
namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

// Frees the loaded samples however playback ends.
struct LoadedWav {
    SDL_AudioSpec format{};
    Uint8* data = nullptr;
    Uint32 length = 0;

    ~LoadedWav() { SDL_FreeWAV(data); }
};

Seconds DurationOf(Uint32 bytes, const SDL_AudioSpec& format) {
    const auto frameBytes =
        static_cast<double>(SDL_AUDIO_BITSIZE(format.format) / 8 * format.channels);
    return Seconds(frameBytes > 0 && format.freq > 0 ? bytes / frameBytes / format.freq : 0.0);
}

}  // namespace

SdlSoundPlayer::SdlSoundPlayer(std::string programFolder) : folder_(std::move(programFolder)) {}

SdlSoundPlayer::~SdlSoundPlayer() {
    if (initialised_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

bool SdlSoundPlayer::audioReady() {
    if (!initTried_) {
        initTried_ = true;
        initialised_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    }
    // -1 means the list cannot be known, not that there is no device: opening will tell.
    return initialised_ && SDL_GetNumAudioDevices(0) != 0;
}

void SdlSoundPlayer::PlaySoundFile(const std::string& fileName) {
    const std::lock_guard lock(mutex_);
    if (!audioReady()) {
        return;
    }
    LoadedWav wav;
    const std::string path = folder_ + "sound/" + fileName;
    if (SDL_LoadWAV(path.c_str(), &wav.format, &wav.data, &wav.length) == nullptr) {
        return;
    }
    wav.format.callback = nullptr;  // we queue the samples instead
    wav.format.userdata = nullptr;
    wav.format.samples = 1024;  // about 50 ms: the sound follows the click that caused it

    SDL_AudioSpec obtained{};
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wav.format, &obtained, 0);
    if (device == 0) {
        return;
    }
    if (SDL_QueueAudio(device, wav.data, wav.length) == 0) {
        SDL_PauseAudioDevice(device, 0);
        // The device's own buffer still holds the tail once the queue is empty.
        const Seconds tail(static_cast<double>(obtained.samples) / obtained.freq);
        // A device that stops taking samples must not hold the caller forever.
        const auto giveUp = Clock::now() + DurationOf(wav.length, wav.format) * 2 + Seconds(1);
        while (SDL_GetQueuedAudioSize(device) > 0 &&
               SDL_GetAudioDeviceStatus(device) == SDL_AUDIO_PLAYING && Clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::this_thread::sleep_for(tail);
    }
    SDL_CloseAudioDevice(device);
}

}  // namespace kelvarn
