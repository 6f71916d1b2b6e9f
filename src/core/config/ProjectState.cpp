#include "core/config/ProjectState.h"

#include <filesystem>
#include <system_error>

#include "core/util/AnsiStringLib.h"

namespace tapwise {

const std::string_view SaveChangesQuestion = R"(\b\1Configuration has changed\nSave Changes?)";
const std::string_view ReadProjectDialogTitle = "Read Configuration: Select File";
const std::string_view WriteProjectDialogTitle = "Write Configuration: Select File";
const std::string_view ProjectFileFilter = "Tapwise Config File (*.TW)|*.tw";

namespace {

// The extension of the file-name part, as ReplaceFileExt finds it: after
// the last '.' that is not the name's first character.
std::string_view Extension(std::string_view name) {
  const size_t folderEnd = name.find_last_of("\\/");
  const size_t nameStart = folderEnd == std::string_view::npos ? 0 : folderEnd + 1;
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot <= nameStart) return {};
  return name.substr(dot + 1);
}

// Message markup has no escape for a backslash, so one in a path would vanish
// with the character after it; a slash shows the path legibly instead.
std::string ForMarkup(std::string text) {
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  return text;
}

}  // namespace

std::string ProjectFileName(std::string_view chosen) {
  if (SameTextAscii(Extension(chosen), "TW")) return std::string(chosen);
  return ReplaceFileExt(chosen, "TW");
}

const std::string& ProjectState::DialogFileName() {
  if (m_configName.empty()) m_configName = DefaultProjectName;
  return m_configName;
}

ProjectRead ProjectState::ReadProject(std::string_view chosen, ProjectData& data) {
  m_configChanged = false;
  const std::string named(chosen.empty() ? std::string_view(DialogFileName()) : chosen);
  m_configName = ProjectFileName(named);
  ProjectRead read = ReadProjectFile(m_configName, data);
  // Only NAME.TW is read for a name given with another extension. When that
  // is missing but the file given is there (a recording named in its place,
  // say), the user meant that file, and it is not a project: saying that no
  // NAME.TW exists would send them looking for the wrong thing.
  std::error_code error;
  if (read.Missing && named != m_configName && std::filesystem::exists(named, error)) {
    read.Missing = false;
    read.Outcome = Result::Failure(named + " is not a project file (a project file's name ends in .TW)");
  }
  if (!read.Outcome) {
    read.Outcome = Result::Failure("\\b\\1Project not read\\b\\n" + ForMarkup(read.Outcome.Message()));
  }
  return read;
}

Result ProjectState::WriteProject(std::string_view chosen, const ProjectData& data) {
  m_configName = ProjectFileName(chosen.empty() ? std::string_view(DialogFileName()) : chosen);
  if (Result written = WriteProjectFile(m_configName, data); !written) {
    return Result::Failure("\\b\\1Project not saved\\b\\n" + ForMarkup(written.Message()));
  }
  m_configChanged = false;
  return Result::Success();
}

}  // namespace tapwise
