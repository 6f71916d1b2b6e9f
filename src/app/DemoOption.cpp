#include "app/DemoOption.h"

#include <strings.h>

#include <filesystem>
#include <system_error>

#include "app/CommandLine.h"
#include "core/recorder/RecordFormats.h"

// Set by the build: where the installed demo lies relative to the installed
// program, and where the demo files are in the source tree.
#ifndef TAPWISE_DEMO_FROM_PROGRAM
#define TAPWISE_DEMO_FROM_PROGRAM "../share/tapwise/demo"
#endif
#ifndef TAPWISE_SOURCE_DEMO_DIR
#define TAPWISE_SOURCE_DEMO_DIR ""
#endif

namespace tapwise {

namespace {

namespace fs = std::filesystem;

bool HoldsDemo(const fs::path& folder) {
  std::error_code error;
  return !folder.empty() && fs::is_regular_file(folder / DemoProjectName, error);
}

fs::path InstalledFolderFor(const std::string& executablePath) {
  if (executablePath.empty()) return {};
  return (fs::path(executablePath).parent_path() / TAPWISE_DEMO_FROM_PROGRAM).lexically_normal();
}

std::string ThisProgram() {
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.string();
}

bool StartsWithNoCase(const std::string& arg, const char* prefix) {
  return strncasecmp(arg.c_str(), prefix, std::char_traits<char>::length(prefix)) == 0;
}

// Spelled as the command line spells options, "--demo" too.
bool IsDemoOption(const std::string& arg) { return strcasecmp(OneDash(arg).c_str(), "-demo") == 0; }

// A file of the user's own to play, or (where only one file can be open) to
// record: the demo must not add its recording then.
bool NamesOwnFile(const std::string& arg, bool recordBesidePlay) {
  for (const RecordFormat& format : RecordFormats()) {
    if (recordBesidePlay && IsRecordingState(format.State)) continue;
    if (StartsWithNoCase(OneDash(arg), format.Option)) return true;
  }
  return false;
}

}  // namespace

std::string FindDemoFolder(const std::string& executablePath, const std::string& buildFallback) {
  const fs::path installed = InstalledFolderFor(executablePath);
  if (HoldsDemo(installed)) return installed.string();
  if (HoldsDemo(buildFallback)) return fs::path(buildFallback).lexically_normal().string();
  return {};
}

std::string DemoFolder() { return FindDemoFolder(ThisProgram(), TAPWISE_SOURCE_DEMO_DIR); }

std::string DemoFolderCandidates() {
  std::string text = InstalledFolderFor(ThisProgram()).string();
  const std::string fallback = TAPWISE_SOURCE_DEMO_DIR;
  if (!fallback.empty()) text += (text.empty() ? "" : " and ") + fallback;
  return text;
}

bool HasDemoOption(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (IsDemoOption(arg)) return true;
  }
  return false;
}

std::vector<std::string> ExpandDemoOption(const std::vector<std::string>& args, const std::string& folder,
                                          bool recordBesidePlay) {
  const fs::path base(folder);
  std::vector<std::string> expanded = {
      "-pair:" + std::to_string(DemoPlayPort) + "," + std::to_string(DemoAnswerPort),
      (base / DemoProjectName).string(),
      "-select:" + std::to_string(DemoPlayPort),
  };
  bool ownFile = false;
  for (const std::string& arg : args) ownFile = ownFile || NamesOwnFile(arg, recordBesidePlay);
  if (!ownFile) expanded.push_back("-play:" + (base / DemoRecordingName).string());
  expanded.push_back("-trigger");
  for (const std::string& arg : args) {
    if (!IsDemoOption(arg)) expanded.push_back(arg);
  }
  return expanded;
}

std::string DemoBanner(const std::string& folder, bool headless) {
  if (headless) {
    // The packet lines name ports from COM10 on by one character, which for
    // these two is not a letter; say which.
    return "Demo (files in " + folder + "): COM97 plays " + DemoRecordingName +
           ", a data logger's polls, again and again, and COM98 answers each as the"
           " thermometer through the triggers of " + DemoProjectName +
           " (the lines show COM97 as COM\u00b8 and COM98 as COM\u00b9); stop with Ctrl+C\n";
  }
  return "Demo (files in " + folder + "): COM97 plays " + DemoRecordingName +
         ", a data logger's polls, again and again, and COM98 answers each as the thermometer through the"
         " triggers of " + DemoProjectName + "; F1 on the COM97 tab polls by hand; close the window to stop\n";
}

}  // namespace tapwise
