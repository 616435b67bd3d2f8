// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_output.h"

#include <unistd.h>

#if defined(__x86_64__)
#include <tmmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "core/catalogue/styles.h"
#include "core/storage/cp1251.h"
#include "core/storage/io_error.h"
#include "core/storage/ole_date.h"

namespace kelvarn::cli {
namespace {

constexpr std::size_t kFlushAt = 1 << 20;

// UTF-8 of every byte, built once: up to three bytes and, in the top byte, how many count. A byte
// converts by one lookup and one four-byte store; what lies past its length is overwritten next.
struct Utf8Table {
    std::array<std::uint32_t, 256> entries{};

    Utf8Table() {
        for (std::size_t b = 0; b < entries.size(); ++b) {
            std::string utf8 = cp1251ToUtf8Printable(std::string(1, static_cast<char>(b)));
            std::uint32_t entry = static_cast<std::uint32_t>(utf8.size()) << 24;
            for (std::size_t i = 0; i < utf8.size(); ++i) {
                entry |= std::uint32_t{static_cast<unsigned char>(utf8[i])} << (8 * i);
            }
            entries[b] = entry;
        }
    }
};

const Utf8Table kUtf8;

char* convertByte(char c, char* out) {
    const std::uint32_t entry = kUtf8.entries[static_cast<unsigned char>(c)];
    std::memcpy(out, &entry, 4);
    return out + (entry >> 24);
}

constexpr std::uint64_t kOnes = 0x0101010101010101;

// Whether all eight bytes are printable ASCII (0x20..0x7F), which print as they are. A byte
// below 0x20 borrows into its top bit, a byte from 0x80 has it set already; as long as no byte
// is below 0x20 nothing borrows across bytes.
bool printableAscii(std::uint64_t eight) {
    return (((eight - 0x20 * kOnes) | eight) & (0x80 * kOnes)) == 0;
}

// Eight bytes from `in`, of which the first `valid` count. The rest read as spaces, so a text's
// last bytes take the quick road when they are printable ASCII; `mayReadPast` says the eight
// bytes may all be read (a field inside its record), else only the valid ones are.
std::uint64_t loadEight(const char* in, std::size_t valid, bool mayReadPast) {
    std::uint64_t eight = 0x20 * kOnes;
    if (valid >= 8) {
        std::memcpy(&eight, in, 8);
    } else if (mayReadPast) {
        std::uint64_t read;
        std::memcpy(&read, in, 8);
        // Bytes in memory order: the low `valid` bytes of a little-endian word, the high ones of a
        // big-endian word.
        const std::uint64_t keep = std::endian::native == std::endian::little
                                       ? (std::uint64_t{1} << (8 * valid)) - 1
                                       : ~(~std::uint64_t{0} >> (8 * valid));
        eight = (read & keep) | (eight & ~keep);
    } else {
        std::memcpy(&eight, in, valid);
    }
    return eight;
}

// Writes the UTF-8 of `size` Windows-1251 bytes at `out` and returns its end; up to 24 bytes past
// it are scratch. Eight bytes at a time: copied whole when all are printable ASCII, else each
// through the table, a byte past the text counting for nothing (a cmov, not a branch: where a
// text ends is no more predictable than what it holds).
char* putText(const char* in, std::size_t size, char* out, bool mayReadPast) {
    for (std::size_t done = 0; done < size; done += 8) {
        const std::size_t valid = std::min<std::size_t>(size - done, 8);
        const std::uint64_t eight = loadEight(in + done, valid, mayReadPast);
        if (printableAscii(eight)) {
            std::memcpy(out, &eight, 8);
            out += valid;
            continue;
        }
        unsigned char bytes[8];
        std::memcpy(bytes, &eight, 8);
        for (std::size_t i = 0; i < 8; ++i) {
            const std::uint32_t entry = kUtf8.entries[bytes[i]];
            std::memcpy(out, &entry, 4);
            out += i < valid ? entry >> 24 : 0;
        }
    }
    return out;
}

// A record's fields are converted sixteen bytes at a time from their first character on: the
// last sixteen may pass the text's end, never the record's.
static_assert(kIdField + 1 + kIdCapacity + 15 <= kRecordSize &&
              kAuthorField + 1 + kAuthorCapacity + 15 <= kRecordSize &&
              kTitleField + 1 + kTitleCapacity + 15 <= kRecordSize &&
              kEmailField + 1 + kEmailCapacity + 15 <= kRecordSize);

#if defined(__x86_64__)

// For eight bytes, each a printable ASCII byte (one byte of UTF-8) or a letter from А to я (two:
// D0 or D1, then the byte moved down), which bit of the mask says: the shuffle that keeps each
// letter's pair and each ASCII byte's second half of its pair, and how many bytes that is.
struct PairPacking {
    std::array<std::array<char, 16>, 256> shuffle{};
    std::array<unsigned char, 256> size{};

    constexpr PairPacking() {
        for (std::size_t mask = 0; mask < 256; ++mask) {
            std::size_t at = 0;
            for (std::size_t i = 0; i < 8; ++i) {
                if ((mask >> i) & 1) {
                    shuffle[mask][at++] = static_cast<char>(2 * i);
                }
                shuffle[mask][at++] = static_cast<char>(2 * i + 1);
            }
            size[mask] = static_cast<unsigned char>(at);
            while (at < 16) {
                shuffle[mask][at++] = static_cast<char>(0x80);
            }
        }
    }
};

constexpr PairPacking kPairs;

// Sixteen bytes at a time, with no byte looked up: most text is Latin and Cyrillic letters,
// digits and punctuation, whose UTF-8 is the byte itself or two bytes computed from it. Any other
// byte (a control byte, Ё, «, №) ends a run and goes through the table.
__attribute__((target("ssse3"))) char* putFieldVector(const char* in, std::size_t size, char* out) {
    const __m128i lanes = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    for (std::size_t done = 0; done < size;) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done));
        // Signed compares: 0x20..0x7F are the printable ASCII bytes, 0xC0..0xFF the negative
        // bytes above -65 (0xBF), F0..FF those above -17 (0xEF).
        const __m128i negative = _mm_cmplt_epi8(bytes, _mm_setzero_si128());
        const __m128i letter =
            _mm_and_si128(negative, _mm_cmpgt_epi8(bytes, _mm_set1_epi8(static_cast<char>(0xBF))));
        const auto runs = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(0x1F)), letter)));
        const std::size_t run =
            std::min<std::size_t>(size - done, static_cast<std::size_t>(std::countr_one(runs)));
        // Bytes past the run count as ASCII, one byte each, taken off the end again.
        const __m128i inRun = _mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(run)), lanes);
        const __m128i runLetter = _mm_and_si128(inRun, letter);
        // А..п (C0..EF) are D0 90..D0 BF, р..я (F0..FF) D1 80..D1 8F.
        const __m128i late =
            _mm_and_si128(runLetter, _mm_cmpgt_epi8(bytes, _mm_set1_epi8(static_cast<char>(0xEF))));
        const __m128i second =
            _mm_sub_epi8(_mm_sub_epi8(bytes, _mm_and_si128(runLetter, _mm_set1_epi8(0x30))),
                         _mm_and_si128(late, _mm_set1_epi8(0x40)));
        const __m128i first = _mm_sub_epi8(_mm_set1_epi8(static_cast<char>(0xD0)), late);
        const auto letters = static_cast<unsigned>(_mm_movemask_epi8(runLetter));
        const unsigned low = letters & 0xFF, high = letters >> 8;
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(out),
            _mm_shuffle_epi8(
                _mm_unpacklo_epi8(first, second),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(kPairs.shuffle[low].data()))));
        out += kPairs.size[low];
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(out),
            _mm_shuffle_epi8(
                _mm_unpackhi_epi8(first, second),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(kPairs.shuffle[high].data()))));
        out +=
            static_cast<std::ptrdiff_t>(kPairs.size[high]) - static_cast<std::ptrdiff_t>(16 - run);
        done += run;
        if (done < size && run < 16) {
            out = convertByte(in[done++], out);
        }
    }
    return out;
}

const bool kVectors = __builtin_cpu_supports("ssse3");

char* putField(std::string_view field, char* out) {
    return kVectors ? putFieldVector(field.data(), field.size(), out)
                    : putText(field.data(), field.size(), out, true);
}

#else

char* putField(std::string_view field, char* out) {
    return putText(field.data(), field.size(), out, true);
}

#endif

// The UTF-8 of a cell that takes few values (a style, a rating, the file flag), made once for
// each value of its byte and copied whole.
struct ReadyCell {
    std::array<char, 32> utf8{};
    std::size_t size = 0;
};

template <typename Text>
std::array<ReadyCell, 256> readyCells(Text text) {
    std::array<ReadyCell, 256> cells;
    for (std::size_t b = 0; b < cells.size(); ++b) {
        const std::string utf8 = cp1251ToUtf8Printable(text(static_cast<std::uint8_t>(b)));
        cells[b].size = std::min(utf8.size(), cells[b].utf8.size());
        std::memcpy(cells[b].utf8.data(), utf8.data(), cells[b].size);
    }
    return cells;
}

const std::array<ReadyCell, 256> kStyles =
    readyCells([](std::uint8_t code) { return std::string(StyleName(code)); });
const std::array<ReadyCell, 256> kFileFlags =
    readyCells([](std::uint8_t flag) { return std::string(FileFlagText(flag)); });
const std::array<ReadyCell, 256> kRatings =
    readyCells([](std::uint8_t rating) { return std::to_string(rating); });

char* putReady(const ReadyCell& cell, char* out) {
    std::memcpy(out, cell.utf8.data(), cell.utf8.size());
    return out + cell.size;
}

template <typename Number>
char* putDecimal(Number value, char* out) {
    return std::to_chars(out, out + 16, value).ptr;
}

// The date cells of the dates seen, by the bits of the stored date: a catalogue holds a few
// thousand days, and formatting one costs a calendar calculation.
class DateCells {
public:
    char* put(double date, char* out) {
        std::uint64_t bits;
        std::memcpy(&bits, &date, sizeof bits);
        Slot& slot = slots_[(bits * 0x9E3779B97F4A7C15u) >> 53];
        if (slot.bits != bits || slot.size == kEmpty) {
            slot.bits = bits;
            slot.size = static_cast<std::uint8_t>(formatOleDate(date, slot.text.data()));
        }
        std::memcpy(out, slot.text.data(), slot.text.size());
        return out + slot.size;
    }

private:
    static constexpr std::uint8_t kEmpty = 0xFF;
    struct Slot {
        std::uint64_t bits = 0;
        std::array<char, 15> text{};
        std::uint8_t size = kEmpty;
    };
    std::array<Slot, 2048> slots_{};
};

// The longest row of a record: every text byte three bytes of UTF-8, the rest at their longest,
// and the scratch past the last cell.
constexpr std::size_t kLongestRecordRow =
    3 * (kIdCapacity + kAuthorCapacity + kTitleCapacity + kEmailCapacity) + 3 * std::size_t{32} +
    5 * std::size_t{16} + 11 + 32;

}  // namespace

TerminalBar::TerminalBar() : shown_(isatty(STDERR_FILENO) != 0) {}

TerminalBar::~TerminalBar() {
    if (shown_ && drawn_) {
        std::fputs("\r\033[K", stderr);
    }
}

void TerminalBar::show(int percent, const std::string& text) {
    if (!shown_) {
        return;
    }
    constexpr int kWidth = 30;
    const auto filled = static_cast<std::size_t>(std::clamp(percent, 0, 100) * kWidth / 100);
    std::fprintf(stderr, "\r\033[K[%s%s] %3d%% %s", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, ' ').c_str(), percent, text.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

char* TableWriter::putCell(std::string_view cp1251, char* out) {
    return putText(cp1251.data(), cp1251.size(), out, false);
}

char* TableWriter::room(std::size_t bytes) {
    if (buffer_.size() - used_ < bytes) {
        buffer_.resize(std::max(used_ + bytes, kFlushAt + kFlushAt / 4));
    }
    return buffer_.data() + used_;
}

void TableWriter::endLine(char* end) {
    *end = '\n';
    used_ = static_cast<std::size_t>(end + 1 - buffer_.data());
    if (used_ >= kFlushAt) {
        flush();
    }
}

void TableWriter::flush() {
    bool written = std::fwrite(buffer_.data(), 1, used_, out_) == used_;
    used_ = 0;
    if (!written || std::fflush(out_) != 0) {
        throw IoError::fromErrno("standard output", errno);
    }
}

void TableWriter::recordInPlace(std::uint32_t number, const MixRecordView& record) {
    static DateCells dates;
    char* out = room(kLongestRecordRow);
    out = putDecimal(number, out);
    *out++ = '\t';
    out = putField(record.Id, out);
    *out++ = '\t';
    out = putField(record.Author, out);
    *out++ = '\t';
    out = putField(record.Title, out);
    *out++ = '\t';
    out = putField(record.Email, out);
    *out++ = '\t';
    out = putReady(kStyles[record.Style], out);
    *out++ = '\t';
    out = putDecimal(record.Size, out);
    *out++ = '\t';
    out = dates.put(record.AddedDate, out);
    *out++ = '\t';
    out += formatOleTime(record.AddedTime, out);
    *out++ = '\t';
    out = putReady(kRatings[record.Rating], out);
    *out++ = '\t';
    out = putReady(kFileFlags[record.HasFile], out);
    *out = '\n';
    used_ = static_cast<std::size_t>(out + 1 - buffer_.data());
}

void TableWriter::blockDone() {
    if (used_ >= kFlushAt) {
        flush();
    }
}

void TableWriter::line(std::string_view utf8) {
    char* out = room(utf8.size() + 1);
    std::memcpy(out, utf8.data(), utf8.size());
    endLine(out + utf8.size());
}

void TableWriter::record(std::uint32_t number, const MixRecordView& record) {
    RecordCellBuffer buffer{};
    row(recordCells(number, record, buffer));
}

void printError(std::string_view message) {
    std::fprintf(stderr, "kelvarn-cli: %.*s\n", static_cast<int>(message.size()), message.data());
}

}  // namespace kelvarn::cli
