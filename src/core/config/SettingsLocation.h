#pragma once
// Where the settings file lives. It is named after the program file: the
// file's name without folder and extension, every letter after the first in
// lower case, then ".ini" ("TAPWISE" and "Tapwise.bin" both use
// "Tapwise.ini"; "tapwise" uses "tapwise.ini"). So a copy of the program
// under another name keeps settings of its own.
//
// It sits beside the program when that folder is writable (and is not an
// installed program's bin folder, one with ../share/tapwise) or already holds
// the file; otherwise in the user's configuration folder,
// $XDG_CONFIG_HOME/tapwise/ (~/.config/tapwise/ when that variable is unset
// or not an absolute path), which Save creates when needed.

#include <functional>
#include <string>
#include <string_view>

namespace tapwise {

// What the rule depends on, so tests can place the program anywhere.
struct SettingsEnvironment {
  std::string ProgramPath;    // the running program's file
  std::string XdgConfigHome;  // "" when unset
  std::string Home;           // "" when unknown
  // Whether a new file can be created in the folder.
  std::function<bool(const std::string& folder)> IsWritableFolder;
};

// The running process: /proc/self/exe, the environment, access(2).
SettingsEnvironment SystemSettingsEnvironment();

// "Tapwise.ini" for ".../TAPWISE.EXE": the name only, no folder.
std::string SettingsFileName(std::string_view programPath);

// The full path the store loads from and saves to.
std::string SettingsFilePath(const SettingsEnvironment& environment);

}  // namespace tapwise
