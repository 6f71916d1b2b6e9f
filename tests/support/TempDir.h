#pragma once
// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes.

#include <string>
#include <string_view>

namespace tapwise {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return m_path; }
  // Path + "/" + name.
  std::string operator/(std::string_view name) const;

  // Whole-file helpers for setting up and checking test files.
  static void WriteFile(const std::string& path, std::string_view bytes);
  static std::string ReadFile(const std::string& path);

 private:
  std::string m_path;
};

}  // namespace tapwise
