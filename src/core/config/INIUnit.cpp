#include "core/config/INIUnit.h"

#include "core/config/WholeFile.h"
#include "core/util/AnsiStringLib.h"

namespace tapwise {

namespace {

bool IsValidKey(std::string_view key) {
  return key.find_first_of("\t\r\n") == std::string_view::npos;
}

std::string_view KeyOf(std::string_view line) {
  return line.substr(0, line.find('\t'));
}

}  // namespace

void SettingsStore::Create() {
  m_lines.clear();
  m_path.clear();
  m_unreadableReason.clear();
  m_created = true;
}

Result SettingsStore::Load(const std::string& path) {
  Create();
  m_path = path;
  WholeFileRead file = ReadWholeFile(path, MaxFileSize);
  if (!file.Error.empty()) {
    m_unreadableReason = file.Error;
    return Result::Failure("Could not read the settings from " + path + ": " + file.Error +
                           "; using the default settings");
  }
  m_lines = SplitLines(file.Bytes);
  return Result::Success();
}

Result SettingsStore::Save() const {
  if (!m_created || m_path.empty()) return Result::Success();
  // Replacing a file we could not read would throw away whatever the user
  // had in it, for nothing but defaults.
  if (!m_unreadableReason.empty()) {
    return Result::Failure("Settings not saved to " + m_path + ": the file could not be read at start (" +
                           m_unreadableReason + "), so it is left as it was");
  }
  std::string text;
  for (const std::string& line : m_lines) {
    text += line;
    text += "\r\n";
  }
  if (Result replaced = ReplaceWholeFile(m_path, text); !replaced) {
    return Result::Failure("Settings not saved to " + m_path + ": " + replaced.Message());
  }
  return Result::Success();
}

void SettingsStore::Close() {
  m_lines.clear();
  m_lines.shrink_to_fit();
  m_path.clear();
  m_unreadableReason.clear();
  m_created = false;
}

ptrdiff_t SettingsStore::FindLine(std::string_view key) {
  if (!m_created || !IsValidKey(key)) return NoLine;
  for (size_t i = 0; i < m_lines.size(); ++i) {
    if (KeyOf(m_lines[i]) == key) return static_cast<ptrdiff_t>(i);
  }
  m_lines.emplace_back(key);
  return static_cast<ptrdiff_t>(m_lines.size() - 1);
}

std::string SettingsStore::ReadText(std::string_view key) {
  const ptrdiff_t index = FindLine(key);
  if (index == NoLine) return "";
  const std::string& line = m_lines[static_cast<size_t>(index)];
  const size_t tab = line.find('\t');
  if (tab == std::string::npos) return "";
  return line.substr(tab + 1, MaxValueLength);
}

int32_t SettingsStore::ReadInteger(std::string_view key, int32_t defaultValue) {
  const std::string text = ReadText(key);
  if (text.empty()) return defaultValue;
  // A bad number in the settings is no parse error of the caller's.
  const bool earlierError = ParseError;
  size_t pos = 1;
  const int32_t value = ReadSigned(text, pos);
  ParseError = earlierError;
  return value;
}

bool SettingsStore::WriteText(std::string_view key, std::string_view value) {
  if (value.find_first_of("\r\n") != std::string_view::npos) return false;
  const ptrdiff_t index = FindLine(key);
  if (index == NoLine) return false;
  std::string line(key);
  line += '\t';
  line += value;
  m_lines[static_cast<size_t>(index)] = std::move(line);
  return true;
}

bool SettingsStore::WriteInteger(std::string_view key, int32_t value) {
  return WriteText(key, IntToText(value));
}

std::vector<std::string> SettingsStore::SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    const size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    size_t length = end - start;
    if (end < text.size() && length > 0 && text[end - 1] == '\r') --length;
    lines.emplace_back(text.substr(start, length));
    start = next;
  }
  return lines;
}

}  // namespace tapwise
