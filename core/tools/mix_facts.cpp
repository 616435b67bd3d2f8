// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tools/mix_facts.h"

#include <filesystem>
#include <unordered_set>

#include "core/catalogue/queue_file.h"
#include "core/downloader/download_names.h"
#include "core/storage/cp1251.h"
#include "core/storage/data_files.h"
#include "core/storage/io_error.h"

namespace kelvarn {
namespace {

// The names of the regular files in the folder; none when it is missing.
std::unordered_set<std::string> fileNames(const std::string& folder) {
    std::unordered_set<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (entry->is_regular_file(error)) {
            names.insert(entry->path().filename().string());
        }
    }
    return names;
}

std::string nameIn(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

// Latin and Cyrillic capitals of UTF-8 text to small letters, as caseFold does in Windows-1251.
std::string foldUtf8(std::string_view text) {
    std::string folded(text);
    for (std::size_t i = 0; i < folded.size(); ++i) {
        auto& c = reinterpret_cast<unsigned char&>(folded[i]);
        const unsigned char next =
            i + 1 < folded.size() ? static_cast<unsigned char>(folded[i + 1]) : 0;
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<unsigned char>(c + 32);
        } else if (c == 0xD0 && next >= 0x90 && next <= 0x9F) {  // А..П
            folded[++i] = static_cast<char>(next + 0x20);
        } else if (c == 0xD0 && next >= 0xA0 && next <= 0xAF) {  // Р..Я
            c = 0xD1;
            folded[++i] = static_cast<char>(next - 0x20);
        }
    }
    return folded;
}

}  // namespace

std::vector<DownloadedMix> downloadedMixes(const CatalogueFile& catalogue,
                                           const SaveFolder& folder) {
    const std::unordered_set<std::string> names = fileNames(folder.path);
    std::vector<DownloadedMix> mixes;
    if (names.empty()) {
        return mixes;
    }
    catalogue.forEach({}, [&](std::uint32_t, const MixRecordView& record) {
        const std::string track = trackText(record.Author, record.Title);
        for (bool fullNames : {folder.fullNames, !folder.fullNames}) {
            std::string path = downloadFileName(folder.path, record.Id, track, fullNames);
            if (names.contains(nameIn(path))) {
                mixes.push_back({cp1251ToUtf8Printable(record.Id), std::move(path)});
                return;
            }
        }
    });
    return mixes;
}

std::vector<MixFacts> downloadedMixFacts(const std::string& folder, bool rebuild,
                                         const InspectProgress& progress) {
    return factsFile(folder, rebuild, [&] {
        const std::vector<DownloadedMix> mixes = downloadedMixes(
            CatalogueFile(folder + kCatalogueFileName), saveFolderOf(Settings(folder)));
        std::vector<MixFacts> all;
        for (const DownloadedMix& mix : mixes) {
            MixContents contents;
            try {
                contents = readMixContents(mix.path);
            } catch (const IoError&) {
                // Kept, but no mix the reader knows: a line with its ID alone.
            }
            all.push_back(mixFacts(mix.id, contents));
            if (progress) {
                progress(all.size(), mixes.size());
            }
        }
        return all;
    });
}

FactsTest usesPlugin(std::string_view utf8) {
    return [text = foldUtf8(utf8)](const MixFacts& facts) {
        return std::any_of(facts.plugins.begin(), facts.plugins.end(),
                           [&](const ProjectPlugin& plugin) {
                               return foldUtf8(plugin.name).find(text) != std::string::npos ||
                                      foldUtf8(plugin.vendor).find(text) != std::string::npos;
                           });
    };
}

FactsTest tempoWithin(std::uint32_t lowest, std::uint32_t highest) {
    return [=](const MixFacts& facts) {
        return facts.tempoMilli != 0 && facts.tempoMilli >= lowest && facts.tempoMilli <= highest;
    };
}

void forEachWithFacts(const CatalogueFile& catalogue, const std::vector<MixFacts>& facts,
                      const FactsTest& test, const FoundVisit& found) {
    std::unordered_set<std::string> ids;
    for (const MixFacts& mix : facts) {
        if (test(mix)) {
            ids.insert(mix.id);
        }
    }
    if (ids.empty()) {
        return;
    }
    catalogue.forEach({}, [&](std::uint32_t number, const MixRecordView& record) {
        if (ids.contains(cp1251ToUtf8Printable(record.Id))) {
            found(number, record);
        }
    });
}

}  // namespace kelvarn
