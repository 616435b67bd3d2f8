// The program folder: every data file lives in it. It is the folder of the running executable,
// unless --data-dir names another.
#pragma once

#include <string>

namespace kelvarn {

// The folder with a trailing "/".
const std::string& ProgramFolder();

// Sets the folder (made absolute, given its trailing "/"); called once at start-up.
void setProgramFolder(const std::string& folder);

// The folder of the running executable, with a trailing "/".
std::string executableFolder();

}  // namespace kelvarn
