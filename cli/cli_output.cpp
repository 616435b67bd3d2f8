#include "cli/cli_output.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "core/storage/cp1251.h"
#include "core/storage/io_error.h"

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

// Whether all eight bytes are printable ASCII (0x20..0x7F), which print as they are. A byte
// below 0x20 borrows into its top bit, a byte from 0x80 has it set already; as long as no byte
// is below 0x20 nothing borrows across bytes.
bool printableAscii(std::uint64_t eight) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    return (((eight - 0x20 * kOnes) | eight) & (0x80 * kOnes)) == 0;
}

// The number, size, date, time and rating cells: ASCII digits and punctuation, each at the start
// of its own 16-byte field, copied whole.
constexpr bool isFormatted(int column) {
    return column == kColNumber || column == kColSize || column == kColDate || column == kColTime ||
           column == kColRating;
}

char* putFormatted(std::string_view cell, char* out) {
    std::memcpy(out, cell.data(), sizeof RecordCellBuffer::number);
    return out + cell.size();
}

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
    const char* in = cp1251.data();
    const char* end = in + cp1251.size();
    for (; end - in >= 8; in += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, in, 8);
        if (printableAscii(eight)) {
            std::memcpy(out, in, 8);
            out += 8;
        } else {
            for (int i = 0; i < 8; ++i) {
                out = convertByte(in[i], out);
            }
        }
    }
    for (; in != end; ++in) {
        out = convertByte(*in, out);
    }
    return out;
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

void TableWriter::line(std::string_view utf8) {
    char* out = room(utf8.size() + 1);
    std::memcpy(out, utf8.data(), utf8.size());
    endLine(out + utf8.size());
}

void TableWriter::record(std::uint32_t number, const MixRecordView& record) {
    RecordCellBuffer buffer;
    const std::array<std::string_view, kGridColumns> cells = recordCells(number, record, buffer);
    std::size_t bytes = 1 + 5 * sizeof RecordCellBuffer::number;
    for (std::string_view cell : cells) {
        bytes += roomFor(cell);
    }
    char* out = room(bytes);
    for (std::size_t c = 0; c < cells.size(); ++c) {
        if (c > 0) {
            *out++ = '\t';
        }
        out =
            isFormatted(static_cast<int>(c)) ? putFormatted(cells[c], out) : putCell(cells[c], out);
    }
    endLine(out);
}

void printError(std::string_view message) {
    std::fprintf(stderr, "kelvarn-cli: %.*s\n", static_cast<int>(message.size()), message.data());
}

}  // namespace kelvarn::cli
