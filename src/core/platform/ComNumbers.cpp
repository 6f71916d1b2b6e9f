#include "core/platform/ComNumbers.h"

namespace tapwise {

std::string ComName(int n) { return "COM" + std::to_string(n); }

}  // namespace tapwise
