#include "support/PtyGroup.h"

namespace tapwise::bench {

std::vector<Pty> MakePtys(size_t count, std::string& problem) {
  std::vector<Pty> ptys;
  ptys.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    ptys.emplace_back();
    if (!ptys.back().Ok()) {
      problem = ptys.back().Error();
      return {};
    }
  }
  return ptys;
}

}  // namespace tapwise::bench
