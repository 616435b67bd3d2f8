// SPDX-License-Identifier: GPL-3.0-or-later
// The program folder: every data file lives in it. Chosen once at start-up (chooseProgramFolder)
// by both executables, so the windows and kelvarn-cli always agree on it.
#pragma once

#include <stdexcept>
#include <string>

namespace kelvarn {

// The folder with a trailing "/".
const std::string& ProgramFolder();

// Sets the folder (made absolute, given its trailing "/").
void setProgramFolder(const std::string& folder);

// The folder of the running executable, with a trailing "/".
std::string executableFolder();

// Chooses the program folder at start-up:
// - `dataDir` when it is not empty (--data-dir), taken as it is;
// - else the executable's folder when it holds a catalogue (Base.vlt): the build tree and a
//   program folder install (`--component program_folder`), which lay one out;
// - else the user's data folder, $XDG_DATA_HOME/kelvarn (~/.local/share/kelvarn when the
//   variable is unset), made and laid out at every start from the templates an install
//   puts in <prefix>/share/kelvarn (the executables being in <prefix>/lib/kelvarn): what is
//   missing is copied, a file that is there is never replaced, and a folder whose ID list is
//   spelled "Index" gets no "index".
// Whether the executable's folder is writable plays no part: root may write under /usr, and an
// install must not turn /usr/lib/kelvarn into a catalogue.
// Throws NoDataFolder when `dataDir` is no folder, std::runtime_error naming the folder or file
// that cannot be made.
void chooseProgramFolder(const std::string& dataDir);

// --data-dir naming no folder: most likely mistyped, so nothing is made there unasked.
class NoDataFolder : public std::runtime_error {
public:
    explicit NoDataFolder(const std::string& folder);
    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
};

// Lays a new data folder out at `folder`, as a first start does in the user's data folder: from
// the installed templates, or, in a program folder, its texts, pictures and sounds with an empty
// catalogue, ID list, queue and author list. Makes it the program folder. Throws
// std::runtime_error naming what cannot be made.
void layOutNewDataFolder(const std::string& folder);

}  // namespace kelvarn
