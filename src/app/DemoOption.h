#pragma once
// `tapwise -demo`: a first run that shows traffic without any hardware. The
// option stands for ordinary options over two ordinary files shipped with
// the program, so the front ends run it like any other command line:
//
//   -pair:97,98 FOLDER/demo.TW -select:97 -play:FOLDER/thermometer.DAT -trigger
//
// COM97 and COM98 are the two ends of one pseudo-terminal. COM97 plays the
// recorded polls of a data logger; COM98 stands in for the thermometer, the
// project's triggers answering each poll. The play gap and the repeat come
// from the project (a user who edits demo.TW sees the change); the user's
// real ports open beside the pair as always.

#include <string>
#include <vector>

namespace tapwise {

inline constexpr const char* DemoProjectName = "demo.TW";
inline constexpr const char* DemoRecordingName = "thermometer.DAT";
inline constexpr int DemoPlayPort = 97;
inline constexpr int DemoAnswerPort = 98;

// The folder holding the demo files for the program at executablePath: the
// installed one, which lies at a fixed place relative to the program
// (bin/../share/tapwise/demo), so that a tree installed anywhere, or into a
// DESTDIR, finds its own; else buildFallback (the source tree, for the
// program run from its build folder). Empty when neither holds the project.
std::string FindDemoFolder(const std::string& executablePath, const std::string& buildFallback);

// FindDemoFolder for this running program.
std::string DemoFolder();

// The folders DemoFolder looks in, for the message when it finds none.
std::string DemoFolderCandidates();

// Whether the arguments ask for the demo (-demo or --demo, in any letter case).
bool HasDemoOption(const std::vector<std::string>& args);

// The arguments with -demo taken out and the options it stands for put in
// front, so that whatever the user gives beside it wins: a later -select:,
// -playgap:, -repeat or -triggerpart, and a project named after it. When the
// user names a file to play, the demo leaves its own playing out; so it does
// for a file to record unless recordBesidePlay (the headless monitor, which
// records one file while another plays): the window holds one file at a time.
std::vector<std::string> ExpandDemoOption(const std::vector<std::string>& args, const std::string& folder,
                                          bool recordBesidePlay);

// The one line that says what the demo is doing and how to stop it.
std::string DemoBanner(const std::string& folder, bool headless);

}  // namespace tapwise
