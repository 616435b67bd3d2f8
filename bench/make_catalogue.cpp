// SPDX-License-Identifier: GPL-3.0-or-later
// make_catalogue FOLDER COUNT [--seed N]: writes a catalogue of COUNT made-up records for the
// benchmarks: FOLDER/Base.vlt, its ID list FOLDER/index, and a Setting.ini with both view filters
// off. The same seed on the same day gives the same files (dates count back from today).
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalogue/mix_record.h"
#include "core/catalogue/styles.h"
#include "core/storage/cp1251.h"
#include "core/storage/io_error.h"
#include "core/storage/ole_date.h"
#include "core/storage/settings.h"
#include "demo_site/splitmix.h"

namespace {

using kelvarn::MixRecord;

constexpr std::size_t kBlockRecords = 16384;
constexpr std::uint32_t kIdRange = 900000;  // 100000..999999
constexpr std::uint32_t kIdStride = 7919;   // coprime to kIdRange: IDs repeat only past 900000
constexpr int kDaysBack = 3 * 365;

using Random = kelvarn::SplitMix64;

// Words of authors and titles as users type them: Latin, Cyrillic, and a few signs from the upper
// half of Windows-1251 (Ё, №, «»).
constexpr std::string_view kWordsUtf8[] = {
    "DJ",      "Deep",   "Night",   "Groove",  "Sound",       "Mix",      "Live",        "Session",
    "Vol.",    "Part",   "Summer",  "Winter",  "Club",        "Radio",    "Edit",        "Remix",
    "Dub",     "Acid",   "Tribal",  "Vibes",   "Underground", "Sunset",   "Progressive", "&",
    "-",       "2024",   "#7",      "feat.",   "O'Neil",      "\"Best\"", "MC",          "Kid",
    "Ночь",    "Город",  "Лето",    "Звук",    "Весна",       "Осень",    "Микс",        "Сет",
    "Москва",  "Питер",  "Клуб",    "Ёлка",    "ёж",          "№5",       "«Лучшее»",    "Дождь",
    "Андрей",  "Сергей", "Алексей", "Дмитрий", "Ольга",       "Наталья",  "Бит",         "Волна",
    "Глубина", "Эфир",   "Щит",     "Юг",      "Север",       "Жара",     "Фьюжн",       "Хаус",
};

constexpr std::string_view kDomains[] = {"mail.ru",    "yandex.ru", "gmail.com",
                                         "rambler.ru", "list.ru",   "inbox.ru"};

constexpr std::string_view kLocalChars = "abcdefghijklmnopqrstuvwxyz0123456789._";

std::vector<std::string> cp1251Words() {
    std::vector<std::string> words;
    for (std::string_view w : kWordsUtf8) {
        words.push_back(*kelvarn::utf8ToCp1251(w));
    }
    return words;
}

// Words joined by spaces, cut to a length drawn from 1..capacity.
std::string phrase(Random& random, const std::vector<std::string>& words, std::size_t capacity) {
    std::size_t length = 1 + random.below(static_cast<std::uint32_t>(capacity));
    std::string text;
    while (text.size() < length) {
        if (!text.empty()) {
            text += ' ';
        }
        text += words[random.below(static_cast<std::uint32_t>(words.size()))];
    }
    text.resize(length);
    return text;
}

// An address of up to 30 characters; one in ten records has none.
std::string email(Random& random) {
    if (random.percent(10)) {
        return {};
    }
    std::string_view domain = kDomains[random.below(std::size(kDomains))];
    std::size_t length = 8 + random.below(kelvarn::kEmailCapacity - 8 + 1);
    std::size_t local = length > domain.size() + 2 ? length - domain.size() - 1 : 1;
    std::string text;
    for (std::size_t i = 0; i < local; ++i) {
        text += kLocalChars[random.below(static_cast<std::uint32_t>(kLocalChars.size()))];
    }
    text += '@';
    text += domain;
    return std::string(kelvarn::cutToCapacity(text, kelvarn::kEmailCapacity));
}

MixRecord makeRecord(Random& random, const std::vector<std::string>& words, std::uint32_t index,
                     std::uint32_t idOffset, double today) {
    MixRecord r;
    r.Id = std::to_string(100000 +
                          (idOffset + static_cast<std::uint64_t>(index) * kIdStride) % kIdRange);
    r.Author = phrase(random, words, kelvarn::kAuthorCapacity);
    r.Title = phrase(random, words, kelvarn::kTitleCapacity);
    r.Email = email(random);
    r.Style = static_cast<std::uint8_t>(random.below(kelvarn::kStyleCount));
    r.HasFile = random.percent(30) ? 1 : 0;
    r.Size = static_cast<std::int32_t>(100 + random.below(20000 - 100 + 1));
    r.AddedDate = today - random.below(kDaysBack + 1);
    r.AddedTime = random.below(86400) / 86400.0;
    r.Rating = static_cast<std::uint8_t>(random.below(11));
    r.InRecycleBin = random.percent(5) ? 1 : 0;
    r.IsFavourite = random.percent(5) ? 1 : 0;
    return r;
}

std::optional<std::uint64_t> parseNumber(std::string_view text) {
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

class OutputFile {
public:
    explicit OutputFile(const std::filesystem::path& path)
        : path_(path), file_(std::fopen(path.c_str(), "wb")) {
        if (file_ == nullptr) {
            throw kelvarn::IoError::fromErrno(path_.string(), errno);
        }
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }

    void write(const void* data, std::size_t size) {
        if (std::fwrite(data, 1, size, file_) != size) {
            throw kelvarn::IoError::fromErrno(path_.string(), errno);
        }
    }
    void close() {
        std::FILE* file = file_;
        file_ = nullptr;
        if (std::fclose(file) != 0) {
            throw kelvarn::IoError::fromErrno(path_.string(), errno);
        }
    }

private:
    std::filesystem::path path_;
    std::FILE* file_;
};

void writeCatalogue(const std::filesystem::path& folder, std::uint32_t count, std::uint64_t seed) {
    std::filesystem::create_directories(folder);
    Random random(seed);
    const std::vector<std::string> words = cp1251Words();
    const std::uint32_t idOffset = random.below(kIdRange);
    const double today = kelvarn::oleToday();

    OutputFile base(folder / "Base.vlt");
    OutputFile index(folder / "index");
    std::vector<unsigned char> block;
    std::string ids;
    block.reserve(kBlockRecords * kelvarn::kRecordSize);
    for (std::uint32_t i = 0; i < count; ++i) {
        MixRecord record = makeRecord(random, words, i, idOffset, today);
        kelvarn::RecordBytes bytes = kelvarn::encodeRecord(record);
        block.insert(block.end(), bytes.begin(), bytes.end());
        ids += record.Id;
        ids += "\r\n";
        if (block.size() == block.capacity() || i + 1 == count) {
            base.write(block.data(), block.size());
            index.write(ids.data(), ids.size());
            block.clear();
            ids.clear();
        }
    }
    base.close();
    index.close();

    kelvarn::Settings settings(folder.string() + "/");
    settings.write(kelvarn::keys::News, false);
    settings.write(kelvarn::keys::Zip, false);
}

int usage() {
    std::fputs("usage: make_catalogue FOLDER COUNT [--seed N]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    std::uint64_t seed = 1;
    std::vector<std::string_view> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--seed") {
            std::optional<std::uint64_t> value =
                i + 1 < args.size() ? parseNumber(args[++i]) : std::nullopt;
            if (!value) {
                return usage();
            }
            seed = *value;
        } else {
            positional.push_back(args[i]);
        }
    }
    std::optional<std::uint64_t> count =
        positional.size() == 2 ? parseNumber(positional[1]) : std::nullopt;
    if (!count || *count > 0x7FFFFFFF) {
        return usage();
    }
    try {
        writeCatalogue(std::filesystem::path(positional[0]), static_cast<std::uint32_t>(*count),
                       seed);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_catalogue: %s\n", e.what());
        return 1;
    }
    return 0;
}
