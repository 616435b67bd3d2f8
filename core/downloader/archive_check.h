// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a downloaded file is the archive it claims to be.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kelvarn {

// An archive's entries summed as its bytes arrive, from the first: each entry's CRC-32 and sizes,
// a deflated one inflated on the way, so that the check at the end need not read them again.
// It follows the plain layout, one local header after another up to the directory; where it
// cannot (not an archive, a data descriptor, zip64, encryption, another method) it sums no
// further and vouches for nothing.
class ArchiveSums {
public:
    ArchiveSums();
    ~ArchiveSums();
    ArchiveSums(ArchiveSums&&) noexcept;
    ArchiveSums& operator=(ArchiveSums&&) noexcept;

    // The archive's next bytes.
    void feed(std::string_view bytes);
    // How many bytes were fed.
    std::uint64_t size() const { return fed_; }

    struct Entry {
        std::uint16_t method = 0;
        std::uint32_t crc = 0;
        std::uint64_t compressed = 0;  // the bytes its data took
        std::uint64_t size = 0;        // the bytes they came to
    };
    // Where the directory began, once every entry before it was followed.
    std::optional<std::uint64_t> directoryOffset() const;
    // The sums of the one entry under this raw name; nothing when there were none or several,
    // or its deflated data was damaged.
    const Entry* entry(const std::string& name) const;

private:
    struct Inflater;
    enum class Stage { Header, Name, Data, Directory, Lost };

    void startEntry();
    void startData();
    // Sums what of `bytes` belongs to the current entry and returns the rest.
    std::string_view sumData(std::string_view bytes);
    void endEntry();

    Stage stage_ = Stage::Header;
    std::uint64_t fed_ = 0;
    std::uint64_t headerOffset_ = 0;  // where the current local header began
    std::string header_;              // the current local header, as far as it has arrived
    std::uint64_t left_ = 0;          // the current entry's data still to come
    bool damaged_ = false;            // its deflated data made no sense
    Entry current_;
    std::unique_ptr<Inflater> inflater_;
    std::map<std::string, std::optional<Entry>> entries_;  // nothing: a name met twice, or damaged
};

// What is wrong with the ZIP archive at `path`: not an archive at all (an error page served as
// a file), a damaged directory, or an entry whose bytes do not match its CRC-32 (a cut body).
// Nothing when every entry reads back whole. The directory is read from the file; an entry is
// read only where `arrived` holds no sums for it that match the directory, so a file checked
// as it arrived is read again only where it is broken.
std::optional<std::string> archiveDefect(const std::string& path,
                                         const ArchiveSums& arrived = ArchiveSums());

// Why a downloaded body is not the mix.
struct BodyDefect {
    enum class Kind {
        Page,           // an error page served as the file
        BrokenArchive,  // a ZIP archive that fails archiveDefect
    };
    Kind kind;
    std::string detail;  // for a broken archive, archiveDefect's words
};

// Whether the body at `path` is not the mix: a page (the site labels it `text/html`, or it begins
// like one, '<' after any white space or byte-order mark), or a ZIP archive that fails its
// check. Any other body (a RAR archive, a bare project file) is the mix as the site
// has it, kept as it came.
std::optional<BodyDefect> bodyDefect(const std::string& path, std::string_view contentType,
                                     const ArchiveSums& arrived = ArchiveSums());

}  // namespace kelvarn
