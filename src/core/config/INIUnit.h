#pragma once
// The settings store: what belongs to the user rather than to a project
// (window placements, the display font, the colours, the last file names).
//
// In memory it is an ordered list of lines, each a key, a TAB and the value,
// or a key alone. Keys compare exactly (case matters); a key that is read or
// written for the first time is added at the end, so a fresh store receives
// its lines in the order the program first touches them. Unknown lines are
// kept as they are and written back.
//
// On disk it is the same list, one line per entry, each ended by CR LF. A
// file that is missing or cannot be read gives an empty store; nothing in it
// can make loading fail. Saving writes a new file beside the old one and
// renames it over the old one only when every byte was written, so a failed
// save leaves the user's earlier file as it was.
//
// Until Create or Load (and again after Close) the store is "not created":
// every operation does nothing, reads give empty text or their default.
//
// Keys never hold TAB, CR or LF, and no value holds CR or LF: a line end in a
// value would turn one setting into two when the file is read back. Such a
// key is refused by every operation; such a value is not written.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/util/Result.h"

namespace tapwise {

class SettingsStore {
 public:
  // Reads give at most this many characters of a value.
  static constexpr size_t MaxValueLength = 9999;
  // A file beyond this size is not a settings file; it is left alone.
  static constexpr size_t MaxFileSize = 16 * 1024 * 1024;
  static constexpr ptrdiff_t NoLine = -1;

  // An empty list with no path: usable, but Save has nowhere to write.
  void Create();
  // Sets the path and fills the list from the file. Succeeds when the file
  // was read or does not exist; otherwise fails with a plain one-line
  // message naming the path and the reason. The store is then empty, and
  // Save will not replace the file it could not read.
  [[nodiscard]] Result Load(const std::string& path);
  // Writes every line to the path, replacing the file. Succeeds also when
  // there is nothing to do (not created, or no path); otherwise fails with a
  // plain one-line message naming the path and the reason.
  [[nodiscard]] Result Save() const;
  // Frees the list; the store is "not created" again.
  void Close();

  bool IsCreated() const { return m_created; }
  const std::string& Path() const { return m_path; }
  const std::vector<std::string>& Lines() const { return m_lines; }

  // The index of the first line whose text before its first TAB (the whole
  // line when it has none) equals key; when there is none a line holding only
  // the key is appended and its index returned. NoLine when the store is not
  // created or the key is not a valid key.
  ptrdiff_t FindLine(std::string_view key);
  // The text after the line's first TAB, at most MaxValueLength characters;
  // empty when the line has no TAB.
  std::string ReadText(std::string_view key);
  // Empty text gives defaultValue; otherwise the signed decimal number at the
  // start of the text (separators skipped; "12abc" is 12; no digits is 0).
  int32_t ReadInteger(std::string_view key, int32_t defaultValue);
  // Replaces the key's line with key, TAB, value. False when nothing was
  // written: store not created, bad key, or a value holding CR or LF (the
  // earlier value is then kept).
  bool WriteText(std::string_view key, std::string_view value);
  bool WriteInteger(std::string_view key, int32_t value);

  // The lines of a settings file: ended by CR LF or LF, the last one perhaps
  // by nothing. Exposed for the tests of odd files.
  static std::vector<std::string> SplitLines(std::string_view text);

 private:
  std::vector<std::string> m_lines;
  std::string m_path;
  std::string m_unreadableReason;  // why Load could not read the file; "" if it could
  bool m_created = false;
};

}  // namespace tapwise
