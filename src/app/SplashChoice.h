#pragma once
// Whether the window program shows the About box as a splash at start-up:
// not when the command line holds "-nosplash" (any case, the whole word),
// and not on a platform without a screen for anyone to close it on (the
// offscreen and minimal platforms of tests and scripts), where it would
// hold the start-up for ever. The headless monitor never shows one. Free of
// Qt, so the tests reach it without a window.

#include <string_view>

#include "app/CommandLine.h"

namespace tapwise {

bool SplashWanted(const CommandLine& commandLine, std::string_view platformName);

}  // namespace tapwise
