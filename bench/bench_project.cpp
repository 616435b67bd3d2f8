// SPDX-License-Identifier: GPL-3.0-or-later
// bench_project --mixes FOLDER COUNT: a data folder of COUNT downloaded mixes for `kelvarn-cli
// inspect --all` (their records, and the stand-in site's archives in FOLDER/ZIP/).
// bench_project: the project reader on a 10 MB project of small events alone, beside `wc -l`
// reading the same file, as a row of the table bench/run prints.
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/bench_support.h"
#include "core/catalogue/mix_record.h"
#include "core/mixfiles/project_reader.h"
#include "core/storage/data_files.h"
#include "demo_site/demo_project.h"
#include "demo_site/demo_site.h"

namespace bench = kelvarn::bench;

namespace {

void writeMixes(const std::filesystem::path& folder, int count) {
    std::filesystem::create_directories(folder / "ZIP");
    const kelvarn::DemoContent content = kelvarn::makeDemoContent(count * 2, 1, false);
    std::string records;
    std::string ids;
    int written = 0;
    for (const kelvarn::DemoMix& mix : content.mixes) {
        if (written == count) {
            break;
        }
        const std::string archive = kelvarn::makeArchive(mix, 1);
        if (!archive.starts_with("PK")) {
            continue;  // too small for an archive
        }
        bench::writeFile(folder / "ZIP" / (mix.id + ".zip"), archive);
        kelvarn::MixRecord record;
        record.Id = mix.id;
        record.Author = mix.author.substr(0, 50);
        record.Title = mix.title.substr(0, 50);
        record.HasFile = 1;
        const kelvarn::RecordBytes bytes = kelvarn::encodeRecord(record);
        records.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        ids += mix.id + "\r\n";
        ++written;
    }
    bench::writeFile(folder / kelvarn::kCatalogueFileName, records);
    bench::writeFile(folder / kelvarn::kIdListFileName, ids);
    bench::writeFile(folder / kelvarn::kQueueFileName, "");
}

double commandSeconds(const std::string& command) {
    return bench::bestSeconds(5, [&] { bench::runCommand(command); });
}

void readerRow() {
    kelvarn::SplitMix64 random(1);
    const std::string project = kelvarn::makeBusyProject(random, 10 << 20);
    const auto path = std::filesystem::temp_directory_path() / "kelvarn-bench-project.flp";
    bench::writeFile(path, project);
    std::uint32_t channels = 0;
    bench::startPeak();
    const double ours =
        bench::bestSeconds(5, [&] { channels = kelvarn::readProject(project).channels; });
    const double peak = bench::peakMb();
    const double wc = commandSeconds("wc -l '" + path.string() + "' > /dev/null");
    const double cat = commandSeconds("cat '" + path.string() + "' > /dev/null");
    const double mb = static_cast<double>(project.size()) / 1e6;
    std::printf("project: %.1f MB, %u channels, read in %.2f ms: %.0f MB/s\n", mb, channels,
                ours * 1e3, mb / ours);
    bench::printRow("Read a " + std::to_string(static_cast<int>(mb)) + " MB project (" +
                        std::to_string(static_cast<int>(mb / ours)) + " MB/s)",
                    ours, "`wc -l` of the file", wc, "the file", cat, peak);
    std::filesystem::remove(path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--mixes") {
        int count = 0;
        std::from_chars(argv[3], argv[3] + std::char_traits<char>::length(argv[3]), count);
        writeMixes(argv[2], count);
        return 0;
    }
    if (argc != 1) {
        std::fprintf(stderr, "usage: bench_project [--mixes FOLDER COUNT]\n");
        return 2;
    }
    readerRow();
    return 0;
}
