#include "core/config/SettingsLocation.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tapwise {

namespace {

namespace fs = std::filesystem;

// The name the program is known by when its own file cannot be found.
constexpr std::string_view FallbackTitle = "Tapwise";
constexpr std::string_view Extension = ".ini";

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view FileNamePart(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string FolderPart(std::string_view path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return "";
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

std::string JoinPath(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return path;
}

std::string ReadProgramPath() {
  std::error_code ec;
  std::string path = fs::read_symlink("/proc/self/exe", ec).string();
  if (ec) return "";
  // The kernel marks a program file that was replaced while it runs (as a
  // rebuild does); the settings belong to the name, not to the old inode.
  constexpr std::string_view Deleted = " (deleted)";
  if (path.size() > Deleted.size() && path.ends_with(Deleted)) path.resize(path.size() - Deleted.size());
  return path;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  const passwd* entry = ::getpwuid(::getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

// The user's configuration folder for this program; "" when there is none.
std::string UserConfigFolder(const SettingsEnvironment& environment) {
  // Relative values are to be ignored, so one started from another folder
  // does not find a different file.
  if (environment.XdgConfigHome.starts_with('/')) return JoinPath(environment.XdgConfigHome, "tapwise");
  if (environment.Home.empty()) return "";
  return JoinPath(JoinPath(environment.Home, ".config"), "tapwise");
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

}  // namespace

SettingsEnvironment SystemSettingsEnvironment() {
  SettingsEnvironment environment;
  environment.ProgramPath = ReadProgramPath();
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  environment.XdgConfigHome = xdg != nullptr ? xdg : "";
  environment.Home = HomeFolder();
  environment.IsWritableFolder = [](const std::string& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
  };
  return environment;
}

std::string SettingsFileName(std::string_view programPath) {
  std::string_view name = FileNamePart(programPath);
  // A dot at the very start belongs to the name (a hidden file), not to an
  // extension.
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
  std::string title(name.empty() ? FallbackTitle : name);
  for (size_t i = 1; i < title.size(); ++i) title[i] = LowerAscii(title[i]);
  return title + std::string(Extension);
}

std::string SettingsFilePath(const SettingsEnvironment& environment) {
  const std::string fileName = SettingsFileName(environment.ProgramPath);
  const std::string programFolder = FolderPart(environment.ProgramPath);
  if (!programFolder.empty()) {
    const std::string beside = JoinPath(programFolder, fileName);
    // An installed program (its data in ../share/tapwise) shares its folder
    // with every other program; run as root it could write there, but its
    // settings belong to the user, not to /usr/bin.
    const bool installed = Exists(JoinPath(programFolder, "../share/tapwise"));
    const bool writable =
        !installed && environment.IsWritableFolder && environment.IsWritableFolder(programFolder);
    if (writable || Exists(beside)) return beside;
  }
  const std::string userFolder = UserConfigFolder(environment);
  if (!userFolder.empty()) return JoinPath(userFolder, fileName);
  // Nowhere better: beside the program, where saving will say why it failed.
  return programFolder.empty() ? fileName : JoinPath(programFolder, fileName);
}

}  // namespace tapwise
