#pragma once
// Reading and replacing small text files (settings, projects) so that bad
// files never hang or crash the program and a failed save never costs the
// user the file they had.

#include <cstddef>
#include <string>
#include <string_view>

#include "core/util/Result.h"

namespace tapwise {

struct WholeFileRead {
  bool Missing = false;  // no such file (or no such folder): not an error
  std::string Error;     // why an existing file could not be read; "" if it was
  std::string Bytes;
};

// Reads the whole file, which must be a regular file of at most maxSize
// bytes. A FIFO or device is refused rather than waited on.
WholeFileRead ReadWholeFile(const std::string& path, size_t maxSize);

// Writes bytes to a new file beside path and renames it over path only when
// every byte reached the disk; the folder is created when missing. A
// symbolic link at path is followed, so the link stays in place. An existing
// file's permissions carry over to its replacement. A failure carries the
// reason, naming the file or folder that failed.
[[nodiscard]] Result ReplaceWholeFile(const std::string& path, std::string_view bytes);

}  // namespace tapwise
