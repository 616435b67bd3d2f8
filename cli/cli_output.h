// What kelvarn-cli prints: UTF-8 tables, one row a line, cells separated by TAB.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

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
        bool first = true;
        for (std::string_view cell : cells) {
            if (!first) {
                buffer_.push_back('\t');
            }
            first = false;
            appendCell(cell);
        }
        endLine();
    }

    // The grid's records (rows naming a record), headers first.
    void recordGrid(const RecordGrid& grid);

    // Throws IoError naming standard output when the bytes cannot be written (a full disk):
    // output that went nowhere is no success.
    void flush();

private:
    void appendCell(std::string_view cp1251);
    void endLine();

    std::FILE* out_;
    std::string buffer_;
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
