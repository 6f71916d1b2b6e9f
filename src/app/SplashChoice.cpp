#include "app/SplashChoice.h"

namespace tapwise {

bool SplashWanted(const CommandLine& commandLine, std::string_view platformName) {
  if (commandLine.NoSplash || commandLine.Headless) return false;
  return platformName != "offscreen" && platformName != "minimal";
}

}  // namespace tapwise
