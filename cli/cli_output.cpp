#include "cli/cli_output.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "core/storage/cp1251.h"
#include "core/storage/io_error.h"

namespace kelvarn::cli {
namespace {

constexpr std::size_t kFlushAt = 1 << 20;

// UTF-8 of every byte, built once: a cell is converted by table lookups alone.
struct Utf8Table {
    std::array<std::array<char, 4>, 256> bytes{};
    std::array<unsigned char, 256> lengths{};
    Utf8Table() {
        for (int b = 0; b < 256; ++b) {
            std::string utf8 = cp1251ToUtf8Printable(std::string(1, static_cast<char>(b)));
            lengths[b] = static_cast<unsigned char>(utf8.size());
            std::copy(utf8.begin(), utf8.end(), bytes[b].begin());
        }
    }
};

const Utf8Table& utf8Table() {
    static const Utf8Table table;
    return table;
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
    int filled = std::clamp(percent, 0, 100) * kWidth / 100;
    std::fprintf(stderr, "\r\033[K[%s%s] %3d%% %s", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, ' ').c_str(), percent, text.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void TableWriter::appendCell(std::string_view cp1251) {
    const Utf8Table& table = utf8Table();
    std::size_t i = 0;
    while (i < cp1251.size()) {
        // Printable ASCII, most of any catalogue, goes over in runs.
        std::size_t run = i;
        while (run < cp1251.size() && static_cast<unsigned char>(cp1251[run]) >= 0x20 &&
               static_cast<unsigned char>(cp1251[run]) < 0x80) {
            ++run;
        }
        buffer_.append(cp1251.data() + i, run - i);
        if (run == cp1251.size()) {
            break;
        }
        auto b = static_cast<unsigned char>(cp1251[run]);
        buffer_.append(table.bytes[b].data(), table.lengths[b]);
        i = run + 1;
    }
}

void TableWriter::endLine() {
    buffer_.push_back('\n');
    if (buffer_.size() >= kFlushAt) {
        flush();
    }
}

void TableWriter::flush() {
    bool written = std::fwrite(buffer_.data(), 1, buffer_.size(), out_) == buffer_.size();
    buffer_.clear();
    if (!written || std::fflush(out_) != 0) {
        throw IoError::fromErrno("standard output", errno);
    }
}

void TableWriter::recordGrid(const RecordGrid& grid) {
    row(GridHeaders());
    std::array<std::string_view, kGridColumns> cells;
    for (int r = 1; r < grid.rowCount(); ++r) {
        if (!grid.isRecordRow(r)) {
            continue;
        }
        for (int c = 0; c < kGridColumns; ++c) {
            cells[c] = grid.cell(c, r);
        }
        row(cells);
    }
}

void printError(std::string_view message) {
    std::fprintf(stderr, "kelvarn-cli: %.*s\n", static_cast<int>(message.size()), message.data());
}

}  // namespace kelvarn::cli
