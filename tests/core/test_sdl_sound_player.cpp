// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/sound/sdl_sound_player.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace kelvarn {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

const fs::path kShippedSounds = fs::path(KELVARN_SOURCE_DIR) / "resources" / "sound";

// What a RIFF/WAVE header says, read straight from the bytes.
struct WavHeader {
    std::uint16_t format = 0;  // 1 is integer PCM
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint32_t dataBytes = 0;

    double seconds() const {
        const double bytesPerSecond = double(sampleRate) * channels * bitsPerSample / 8;
        return dataBytes / bytesPerSecond;
    }
};

std::uint32_t LittleEndian(const std::vector<unsigned char>& bytes, std::size_t at, int width) {
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = value << 8 | bytes.at(at + i);
    }
    return value;
}

std::vector<unsigned char> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Walks the chunks after "RIFF....WAVE" for "fmt " and "data"; fails the test on a bad layout.
WavHeader ReadWavHeader(const fs::path& path) {
    const std::vector<unsigned char> bytes = ReadBytes(path);
    WavHeader header;
    const auto tag = [&](std::size_t at) {
        const auto from = bytes.begin() + static_cast<std::ptrdiff_t>(at);
        return std::string(from, from + 4);
    };
    if (bytes.size() < 12 || tag(0) != "RIFF" || tag(8) != "WAVE") {
        ADD_FAILURE() << path << " is not a RIFF/WAVE file";
        return header;
    }
    EXPECT_EQ(LittleEndian(bytes, 4, 4), bytes.size() - 8) << path << ": RIFF size";
    bool seenFormat = false;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::uint32_t size = LittleEndian(bytes, at + 4, 4);
        if (tag(at) == "fmt ") {
            header.format = LittleEndian(bytes, at + 8, 2);
            header.channels = LittleEndian(bytes, at + 10, 2);
            header.sampleRate = LittleEndian(bytes, at + 12, 4);
            header.bitsPerSample = LittleEndian(bytes, at + 22, 2);
            seenFormat = true;
        } else if (tag(at) == "data") {
            EXPECT_TRUE(seenFormat) << path << ": data chunk before fmt chunk";
            EXPECT_LE(at + 8 + size, bytes.size()) << path << ": data chunk runs past the end";
            header.dataBytes = size;
            return header;
        }
        at += 8 + size + size % 2;
    }
    ADD_FAILURE() << path << " has no data chunk";
    return header;
}

TEST(ShippedSounds, AreShortSixteenBitMonoPcm) {
    const std::array<const char*, 8> names = {"add.wav",    "del.wav",  "fav.wav",     "rest.wav",
                                              "Search.wav", "done.wav", "alldone.wav", "STOP.wav"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const fs::path path = kShippedSounds / name;
        ASSERT_TRUE(fs::is_regular_file(path));
        EXPECT_LT(fs::file_size(path), 30u * 1024);
        const WavHeader wav = ReadWavHeader(path);
        EXPECT_EQ(wav.format, 1);
        EXPECT_EQ(wav.channels, 1);
        EXPECT_EQ(wav.bitsPerSample, 16);
        EXPECT_EQ(wav.sampleRate, 22050u);
        EXPECT_GE(wav.seconds(), 0.05);
        EXPECT_LE(wav.seconds(), 1.0);
    }
}

// A program folder of its own in the temporary directory, played through the silent driver that
// still consumes samples at the real rate.
class SdlSoundPlayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("SDL_AUDIODRIVER", "dummy", 1); }

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kelvarn-sound-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        fs::create_directory(folder_ / "sound");
    }

    void TearDown() override { fs::remove_all(folder_); }

    std::string programFolder() const { return folder_.string() + "/"; }

    void writeSound(const std::string& name, const std::string& bytes) const {
        std::ofstream(folder_ / "sound" / name, std::ios::binary) << bytes;
    }

    // Copies a shipped sound in and returns how long it lasts.
    double installShipped(const std::string& name) const {
        fs::copy_file(kShippedSounds / name, folder_ / "sound" / name);
        return ReadWavHeader(folder_ / "sound" / name).seconds();
    }

    static double timed(const std::function<void()>& action) {
        const auto start = Clock::now();
        action();
        return Seconds(Clock::now() - start).count();
    }

    fs::path folder_;
};

TEST_F(SdlSoundPlayerTest, UnplayableFilesReturnAtOnceWithoutThrowing) {
    writeSound("garbage.wav", std::string(4000, '\x5a') + "not a wave file at all");
    writeSound("empty.wav", "");
    // A header that promises far more samples than follow.
    writeSound("cut.wav", std::string("RIFF\xff\xff\x00\x00WAVEfmt ", 16) + std::string(4, '\x10'));

    SdlSoundPlayer player(programFolder());
    for (const char* name : {"missing.wav", "garbage.wav", "empty.wav", "cut.wav"}) {
        SCOPED_TRACE(name);
        const double elapsed = timed([&] { EXPECT_NO_THROW(player.PlaySoundFile(name)); });
        EXPECT_LT(elapsed, 0.5);
    }
}

TEST_F(SdlSoundPlayerTest, WaitsUntilTheSoundHasPlayed) {
    const double duration = installShipped("done.wav");
    ASSERT_GT(duration, 0.1);

    SdlSoundPlayer player(programFolder());
    const double elapsed = timed([&] { player.PlaySoundFile("done.wav"); });
    EXPECT_GE(elapsed, 0.8 * duration);
    EXPECT_LT(elapsed, duration + 1.0);
}

TEST_F(SdlSoundPlayerTest, CallsFromTwoThreadsPlayOneAfterTheOther) {
    const double duration = installShipped("done.wav");

    SdlSoundPlayer player(programFolder());
    const double elapsed = timed([&] {
        std::thread worker([&] { player.PlaySoundFile("done.wav"); });
        player.PlaySoundFile("done.wav");
        worker.join();
    });
    EXPECT_GE(elapsed, 2 * 0.8 * duration);
}

TEST_F(SdlSoundPlayerTest, PlaysAgainAfterAnotherPlayerHasShutAudioDown) {
    const double duration = installShipped("done.wav");

    SdlSoundPlayer(programFolder()).PlaySoundFile("done.wav");
    SdlSoundPlayer player(programFolder());
    const double elapsed = timed([&] { player.PlaySoundFile("done.wav"); });
    EXPECT_GE(elapsed, 0.8 * duration);
}

}  // namespace
}  // namespace kelvarn
