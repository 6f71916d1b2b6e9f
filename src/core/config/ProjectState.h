#pragma once
// Which project file the program is working on (ConfigName) and whether the
// project data changed since it was read or written (ConfigChanged), with
// the reading and saving that go with them, minus the dialogs: the window
// asks SaveChangesQuestion, shows the open or save dialog with
// DialogFileName(), and passes the chosen path here.
//
// Opening another project:    if (ConfigChanged() && user says yes to
//   SaveChangesQuestion && a name was chosen) show the message of a
//   WriteProject that failed; then ReadProject(chosen or ConfigName()) and,
//   whatever it found, ApplyProject, rebuild, reload the option controls.
// Closing: the same save step.

#include <string>
#include <string_view>

#include "core/config/ProjectData.h"
#include "core/config/ProjectFile.h"
#include "core/util/Result.h"

namespace tapwise {

// Texts of the project dialogs and the question before saving, in markup
// where they are shown in the message box. The filter is "description|
// pattern".
extern const std::string_view SaveChangesQuestion;
extern const std::string_view ReadProjectDialogTitle;
extern const std::string_view WriteProjectDialogTitle;
extern const std::string_view ProjectFileFilter;
constexpr std::string_view DefaultProjectName = "Default.TW";

// The file name a chosen name stands for: with the extension "TW". A name
// whose extension is already "tw" in some letter case keeps it as it is,
// since on this system proj.tw and proj.TW are two different files and the
// user chose the one that exists.
std::string ProjectFileName(std::string_view chosen);

class ProjectState {
 public:
  const std::string& ConfigName() const { return m_configName; }
  // Set from the settings store at start-up; it only fills the dialogs.
  void SetConfigName(std::string_view name) { m_configName = name; }
  bool ConfigChanged() const { return m_configChanged; }
  // Every change of project data calls this (ports, options, packet texts).
  void SetConfigChanged(bool changed = true) { m_configChanged = changed; }

  // The name to offer in the open and save dialogs: ConfigName, which first
  // becomes DefaultProjectName when it is empty.
  const std::string& DialogFileName();

  // Reads the project file that chosen names (see ProjectFileName; empty
  // means ConfigName) into data, which should hold the current values, since
  // the options keep theirs unless the file sets them. ConfigChanged is
  // cleared and ConfigName becomes the file's name whether or not it could
  // be read. A missing file is no error: nothing is read, and the caller at
  // most mentions it in passing. A name given with another extension whose
  // NAME.TW is missing, while the file itself exists, is not a project file,
  // and fails as one that cannot be read. A file that was read extends the
  // caption by " - " + ConfigName; one that exists and could not be read
  // fails with markup for MsgError naming the file and the reason.
  [[nodiscard]] ProjectRead ReadProject(std::string_view chosen, ProjectData& data);

  // Saves data to the file that chosen names (empty: ConfigName, or
  // DefaultProjectName). On success ConfigChanged is cleared; on failure the
  // old file is untouched, ConfigChanged stays set, and the message, markup
  // for MsgError, names the file and the reason.
  [[nodiscard]] Result WriteProject(std::string_view chosen, const ProjectData& data);

 private:
  std::string m_configName;
  bool m_configChanged = false;
};

}  // namespace tapwise
