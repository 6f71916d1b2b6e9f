#include "core/platform/StableName.h"

#include <filesystem>

namespace tapwise {

std::string StableDeviceName(const std::string& path, const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path device = fs::canonical(path, error);
  if (error) return "";
  // The folder is absent until udev has seen its first adapter.
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const fs::path link = it->path();
    std::error_code linkError;
    if (!fs::is_symlink(link, linkError) || fs::canonical(link, linkError) != device || linkError) continue;
    if (fs::absolute(path) == link) return "";
    return link.string();
  }
  return "";
}

}  // namespace tapwise
