// SPDX-License-Identifier: GPL-3.0-or-later
// What kelvarn-cli prints: UTF-8 tables, one row a line, cells separated by TAB.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/catalogue/mix_record.h"
#include "core/catalogue/record_grid.h"

namespace kelvarn::cli {

// Buffers standard output and writes it in large blocks; a full table of a million rows is one
// pass. main flushes it when the command returns, so a failed write fails every command alike.
class TableWriter {
public:
    explicit TableWriter(std::FILE* out) : out_(out) {}

    // A row of Windows-1251 cells: control bytes print as spaces, so a cell never breaks a line.
    template <typename Cells>
    void row(const Cells& cells) {
        std::size_t bytes = 1;
        for (std::string_view cell : cells) {
            bytes += roomFor(cell);
        }
        char* out = room(bytes);
        bool first = true;
        for (std::string_view cell : cells) {
            if (!first) {
                *out++ = '\t';
            }
            first = false;
            out = putCell(cell, out);
        }
        endLine(out);
    }

    // The row a grid shows for the record `bytes` (176, as Base.vlt holds them) under `number`.
    // It is only buffered, however much is held: a reader that visits records under a file's lock
    // calls blockDone once the lock is let go, so a slow reader of the output never holds a
    // writer of the file up.
    void record(std::uint32_t number, const unsigned char* bytes) {
        recordInPlace(number, decodeRecordView(bytes));
    }
    // The same for a record already decoded from its 176 bytes, its texts pointing into them.
    void recordInPlace(std::uint32_t number, const MixRecordView& record);
    // Writes out what is held once it is a large block.
    void blockDone();
    // A record's row from a decoded record, for a reader that has no record bytes at hand.
    void record(std::uint32_t number, const MixRecordView& record);
    // A line already in UTF-8, without control bytes but its TABs, written as it stands.
    void line(std::string_view utf8);

    // Throws IoError naming standard output when the bytes cannot be written (a full disk):
    // output that went nowhere is no success.
    void flush();

private:
    // A cell and its separator: three bytes of UTF-8 at most for each byte, and the conversion
    // stores a few bytes past its end.
    static std::size_t roomFor(std::string_view cell) { return cell.size() * 3 + 8; }
    // Where `bytes` more bytes go; the buffer grows when they do not fit.
    char* room(std::size_t bytes);
    // Writes the cell's UTF-8 at `out` and returns its end.
    static char* putCell(std::string_view cp1251, char* out);
    // Ends the row that ends at `end`.
    void endLine(char* end);

    std::FILE* out_;
    // Sized ahead of the text, so cells are written through a pointer; the first used_ bytes count.
    std::string buffer_;
    std::size_t used_ = 0;
};

// A progress bar with a text on one line of stderr, drawn only when stderr is a terminal and
// wiped again at the end.
class TerminalBar {
public:
    TerminalBar();
    ~TerminalBar();
    TerminalBar(const TerminalBar&) = delete;
    TerminalBar& operator=(const TerminalBar&) = delete;

    void show(int percent, const std::string& text);

private:
    bool shown_;
    bool drawn_ = false;
};

// "kelvarn-cli: " + message on stderr.
void printError(std::string_view message);

}  // namespace kelvarn::cli
