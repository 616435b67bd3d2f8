// SPDX-License-Identifier: GPL-3.0-or-later
// The made-up mixes of the demo site and the list page that carries them.
#include <zip.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string_view>

#include "core/net/site_address.h"
#include "core/storage/cp1251.h"
#include "demo_site/demo_project.h"
#include "demo_site/demo_site.h"
#include "demo_site/splitmix.h"

namespace kelvarn {
namespace {

constexpr int kMaxMixes = 800000;
// Every entry of every archive carries this time: 2005-03-18, the same bytes on every run.
constexpr time_t kArchiveTime = 1111111111;
constexpr std::size_t kMaxTitle = 70;

using Random = SplitMix64;

constexpr std::array<std::string_view, 30> kLatinWords = {
    "Deep",  "Night", "Drive",  "Summer",   "Bass",    "Dream", "Trip",   "Groove",
    "Fire",  "Rain",  "Future", "Space",    "Club",    "Mix",   "Loop",   "(remix)",
    "Funky", "Dark",  "Side",   "Electric", "Love",    "City",  "Lights", "2005",
    "v2",    "Final", "Edit",   "-",        "Sunrise", "#3",
};

constexpr std::array<std::string_view, 30> kCyrillicWords = {
    "Ночной"_cp, "Город"_cp, "Весна"_cp, "Ёлка"_cp,   "Звёзды"_cp, "Дождь"_cp, "Лето"_cp, "Море"_cp,
    "Сон"_cp,    "Ветер"_cp, "Огонь"_cp, "Бас"_cp,    "Полёт"_cp,  "Танец"_cp, "Зима"_cp, "Небо"_cp,
    "Дорога"_cp, "Мечта"_cp, "лёд"_cp,   "Свет"_cp,   "Тьма"_cp,   "Эхо"_cp,   "Шум"_cp,  "Жара"_cp,
    "Юг"_cp,     "микс"_cp,  "№5"_cp,    "«Ритм»"_cp, "Утро"_cp,   "Ещё"_cp,
};

struct Author {
    std::string_view name;
    std::string_view email;
};

// The most frequent first: authors are drawn with a bias towards the top of the list.
constexpr std::array<Author, 24> kAuthors = {{
    {"DJ Vasya", "vasya@example.ru"},
    {"Алексей"_cp, "alexey@example.com"},
    {"MC Пётр"_cp, "petr.mc@example.net"},
    {"Ёжик"_cp, "ezhik@example.ru"},
    {"Dark Angel", "dark.angel@example.com"},
    {"Groovy Boy", "groovyboy@example.org"},
    {"Сергей К."_cp, "sergey.k@example.ru"},
    {"Lena", "lena@example.net"},
    {"Артём"_cp, "artyom@example.ru"},
    {"Nightwalker", "nightwalker@example.com"},
    {"Вова Бит"_cp, "vova.beat@example.ru"},
    {"Бас Ёлкин"_cp, "bas.yolkin@example.ru"},
    {"Tekno Kid", "teknokid@example.org"},
    {"Ольга"_cp, "olga@example.ru"},
    {"Синт Мастер"_cp, "synth.master@example.net"},
    {"Kirill_2004", "kirill_2004@example.ru"},
    {"Дмитрий Соколов"_cp, "dmitry.sokolov.music@example.net"},
    {"Alex B.", "alex.b@example.com"},
    {"Женя"_cp, "zhenya@example.ru"},
    {"Константин"_cp, "konstantin.konstantinov@example.ru"},
    {"Объединённый оркестр электронной музыки города Энска"_cp, "orkestr@example.ru"},
    {"Loop Maker", "loopmaker@example.com"},
    {"Гром"_cp, "grom@example.ru"},
    {"ёлка"_cp, "yolka@example.net"},
}};

constexpr std::array<int, 14> kKnownCategories = {2, 3, 4, 5, 6, 7, 8, 9, 19, 20, 22, 23, 24, 25};
constexpr std::array<int, 3> kUnknownCategories = {21, 1, -1};

unsigned char lowerByte(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDF)) {
        return c + 32;
    }
    return c == 0xA8 ? 0xB8 : c;  // Ё
}

unsigned char upperByte(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || c >= 0xE0) {
        return c - 32;
    }
    return c == 0xB8 ? 0xA8 : c;  // ё
}

template <typename Convert>
std::string convertCase(std::string_view text, Convert convert) {
    std::string out(text);
    for (char& ch : out) {
        ch = static_cast<char>(convert(static_cast<unsigned char>(ch)));
    }
    return out;
}

std::string_view pickWord(Random& rng) {
    return rng.below(2) == 0 ? kLatinWords[rng.below(kLatinWords.size())]
                             : kCyrillicWords[rng.below(kCyrillicWords.size())];
}

// A long title always runs past the catalogue's 50-character field.
std::string makeTitle(Random& rng, bool longTitle) {
    std::size_t target = longTitle ? 51 + rng.below(20) : 0;
    int words = longTitle ? 100 : 1 + rng.below(5);
    std::string title;
    for (int w = 0; w < words; ++w) {
        std::string_view word = pickWord(rng);
        std::size_t grown = title.size() + (title.empty() ? 0 : 1) + word.size();
        if (grown > kMaxTitle) {
            break;
        }
        if (!title.empty()) {
            title += ' ';
        }
        title += word;
        if (longTitle && title.size() >= target) {
            break;
        }
    }
    return title;
}

DemoMix makeMix(Random& rng, int index, unsigned seed) {
    DemoMix mix;
    mix.title = makeTitle(rng, index % 6 == 4);

    // Squaring the draw favours the first authors, so names repeat.
    double draw = rng.unit();
    const Author& author = kAuthors[static_cast<std::size_t>(draw * draw * kAuthors.size())];
    int variant = rng.below(10);
    mix.author = variant == 0   ? convertCase(author.name, lowerByte)
                 : variant == 1 ? convertCase(author.name, upperByte)
                                : std::string(author.name);
    if (rng.below(10) == 0) {
        mix.author += ' ' + std::to_string(1 + rng.below(99));
    }
    mix.email = author.email;

    mix.category = index % 20 == 13
                       ? kUnknownCategories[(index / 20) % kUnknownCategories.size()]
                       : kKnownCategories[(index * 5 + seed) % kKnownCategories.size()];

    // Log-uniform over 1 KB .. 300 KB, with exact edge cases up front.
    double spread = rng.unit();
    switch (index) {
        case 1:
            mix.bytes = 1023;
            break;
        case 2:
            mix.bytes = 2048;
            break;
        case 3:
            mix.bytes = 0;
            break;
        default:
            mix.bytes = std::llround(1000.0 * std::pow(300.0, spread));
    }
    if (index == 7 || (index > 10 && index % 53 == 0)) {
        mix.status = 404;
    } else if (index == 5 || (index > 10 && index % 37 == 0)) {
        mix.hasLength = false;
    }
    return mix;
}

enum class Layout { Regular, EmptyLines, Indented, BadCategory, Unclosed };

Layout layoutOf(const DemoMix& entry, const DemoTrickyIds& tricky) {
    if (entry.id == tricky.emptyLines) {
        return Layout::EmptyLines;
    }
    if (entry.id == tricky.indented) {
        return Layout::Indented;
    }
    if (entry.id == tricky.badCategory) {
        return Layout::BadCategory;
    }
    if (entry.id == tricky.unclosed) {
        return Layout::Unclosed;
    }
    return Layout::Regular;
}

void appendHeader(std::string& page, bool tricky) {
    page +=
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n"
        "<html>\r\n"
        "<head>\r\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\r\n";
    page += "<title>Zentrova — лупы и миксы пользователей</title>\r\n"_cp;
    page +=
        "</head>\r\n"
        "<body>\r\n"
        "<table class=\"nav\"><tr>\r\n";
    page += "<td><a href=\"/\">Главная</a></td>\r\n"_cp;
    page += "<td><a href=\"/fruityloops/loops.php\">Миксы</a></td>\r\n"_cp;
    page += "<td><a href=\"/forum/\">Форум</a></td>\r\n"_cp;
    if (tricky) {
        // Opens like a file link, but the address is not one.
        page += "<a target=\"_blank\" href=\"/fruityloops/help.php\">Помощь</a>\r\n"_cp;
    }
    page += "</tr></table>\r\n<table class=\"news\">\r\n";
    page +=
        "<tr><td>12.03.2005</td><td>Открыт раздел «Миксы»: присылайте свои работы!</td></tr>\r\n"_cp;
    page += "<tr><td>01.04.2005</td><td>Новые лупы каждую неделю.</td></tr>\r\n"_cp;
    if (tricky) {
        // A mail line with no file link before it.
        page +=
            "<a href=\"mailto:admin@example.org\">Администрация</a> | "
            "<a href=\"pafiledb.php?action=category&id=2\">Раздел 2</a>\r\n"_cp;
    }
    page += "</table>\r\n<table class=\"loops\">\r\n";
}

void appendEntry(std::string& page, const std::string& base, const DemoMix& entry, Layout layout,
                 std::size_t row) {
    page += "<tr><td class=\"num\">";
    page += std::to_string(row);
    page += "</td><td class=\"name\">\r\n";
    if (layout == Layout::Indented) {
        page += ' ';
    }
    page += "<a target=\"_blank\" href=\"";
    page += recordPageAddress(base, entry.id);
    if (layout != Layout::Unclosed) {
        page += '"';
    }
    page += '>';
    page += entry.title;
    page += "</a></td><td>\r\n";
    if (layout == Layout::EmptyLines) {
        page += "\r\n\r\n";
    }
    page += "<a href=\"mailto:";
    page += entry.email;
    page += "\">";
    page += entry.author;
    page += "</a> | <a href=\"pafiledb.php?action=category&id=";
    std::string category = layout == Layout::BadCategory ? "abc" : std::to_string(entry.category);
    page += category;
    page += "\">";
    page += "Раздел "_cp;
    page += category;
    page += "</a></td><td class=\"size\">";
    page += std::to_string((entry.bytes + 1023) / 1024);
    page += " Кб</td></tr>\r\n"_cp;
}

}  // namespace

DemoContent makeDemoContent(int mixes, unsigned seed, bool trickyLines) {
    if (mixes < 0 || mixes > kMaxMixes) {
        throw std::invalid_argument("the demo site holds 0.." + std::to_string(kMaxMixes) +
                                    " mixes");
    }
    DemoContent content;
    content.mixes.reserve(mixes);
    content.entries.reserve(mixes + 2);

    Random rng(0x5EED0000ull + seed);
    // Newest first: IDs fall down the page with small gaps and stay six digits.
    int maxGap = std::clamp(kMaxMixes / (mixes + 10), 1, 9);
    int nextId = 999999 - rng.below(1000);
    auto takeId = [&] {
        std::string id = std::to_string(nextId);
        nextId -= 1 + rng.below(maxGap);
        return id;
    };

    // Not mixes, put among the first regular ones after the tenth.
    std::vector<std::string*> pending;
    if (trickyLines) {
        pending = {&content.tricky.indented, &content.tricky.unclosed};
    }
    std::size_t nextPending = 0;
    auto addPending = [&](int index) {
        DemoMix entry = makeMix(rng, index, seed);
        entry.id = takeId();
        entry.status = 404;
        *pending[nextPending++] = entry.id;
        content.entries.push_back(std::move(entry));
    };

    for (int i = 0; i < mixes; ++i) {
        if (i >= 10 && nextPending < pending.size()) {
            addPending(i);
        }
        DemoMix mix = makeMix(rng, i, seed);
        mix.id = takeId();
        if (trickyLines && i == 10) {
            content.tricky.emptyLines = mix.id;
        } else if (trickyLines && i == 11) {
            mix.title = "Drum &amp; Bass по-русски"_cp;
            content.tricky.entityTitle = mix.id;
        } else if (trickyLines && i == 12) {
            // The page calls its category "abc": no number, so an unknown style, as 0 is.
            mix.category = 0;
            content.tricky.badCategory = mix.id;
        }
        content.entries.push_back(mix);
        content.mixes.push_back(std::move(mix));
    }
    while (nextPending < pending.size()) {
        addPending(mixes);
    }
    return content;
}

std::string renderListPage(const std::string& baseAddress, const DemoContent& content) {
    std::string page;
    page.reserve(2048 + content.entries.size() * (330 + baseAddress.size()));
    bool tricky = !content.tricky.indented.empty();
    appendHeader(page, tricky);
    std::size_t row = 0;
    for (const DemoMix& entry : content.entries) {
        appendEntry(page, baseAddress, entry, layoutOf(entry, content.tricky), ++row);
    }
    page += "</table>\r\n";
    page += "<p class=\"footer\">Всего миксов: "_cp;
    page += std::to_string(content.mixes.size());
    page += "</p>\r\n</body>\r\n</html>\r\n";
    return page;
}

std::string makeListPage(const std::string& baseAddress, int mixes, unsigned seed,
                         bool trickyLines) {
    return renderListPage(baseAddress, makeDemoContent(mixes, seed, trickyLines));
}

namespace {

// Numbers drawn from the seed and the ID: the same mix always gives the same file.
Random mixRandom(const DemoMix& mix, unsigned seed) {
    std::uint64_t hash = 0xCBF29CE484222325ull ^ seed;
    for (char ch : mix.id) {
        hash = (hash ^ static_cast<unsigned char>(ch)) * 0x100000001B3ull;
    }
    return Random(hash);
}

std::string patternBytes(const DemoMix& mix, unsigned seed, std::size_t length) {
    std::string body(length, '\0');
    Random rng = mixRandom(mix, seed);
    for (std::size_t at = 0; at < body.size(); at += 8) {
        std::uint64_t bits = rng.next();
        for (std::size_t k = 0; k < 8 && at + k < body.size(); ++k) {
            body[at + k] = static_cast<char>(bits >> (8 * k));
        }
    }
    return body;
}

struct ZipSource {
    zip_source_t* source;
    ~ZipSource() { zip_source_free(source); }
};

}  // namespace

std::string zipArchive(const std::vector<std::pair<std::string, std::string>>& files) {
    zip_error_t error;
    zip_error_init(&error);
    ZipSource memory{zip_source_buffer_create(nullptr, 0, 0, &error)};
    zip_source_keep(memory.source);
    zip_t* archive = zip_open_from_source(memory.source, ZIP_TRUNCATE, &error);
    if (archive == nullptr) {
        throw std::runtime_error("cannot make an archive");
    }
    for (const auto& [name, bytes] : files) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
        zip_file_set_mtime(archive, static_cast<zip_uint64_t>(index), kArchiveTime, 0);
    }
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        throw std::runtime_error("cannot make an archive");
    }
    zip_source_open(memory.source);
    zip_source_seek(memory.source, 0, SEEK_END);
    std::string out(static_cast<std::size_t>(zip_source_tell(memory.source)), '\0');
    zip_source_seek(memory.source, 0, SEEK_SET);
    zip_source_read(memory.source, out.data(), out.size());
    zip_source_close(memory.source);
    return out;
}

std::string makeArchive(const DemoMix& mix, unsigned seed) {
    const auto size = static_cast<std::size_t>(std::max<std::int64_t>(mix.bytes, 0));
    std::string readme = "Kelvarn demo mix " + mix.id + "\r\n";
    // What the archive adds to its files: headers and directory of the two entries.
    const std::size_t overhead = zipArchive({{"mix.flp", ""}, {"readme.txt", readme}}).size();
    if (size < overhead) {
        return patternBytes(mix, seed, size);  // too small to be an archive at all
    }
    Random random = mixRandom(mix, seed);
    std::string project = makeDemoProject(mix, random, size - overhead);
    if (project.empty()) {
        project = patternBytes(mix, seed, size - overhead);  // too small for a project
    }
    return zipArchive({{"mix.flp", project}, {"readme.txt", readme}});
}

}  // namespace kelvarn
