#include "core/userpackets/UserPacketKeys.h"

#include "core/util/AnsiStringLib.h"

namespace tapwise {

int FunctionKeyRow(int fkey, bool ctrl, bool shift, bool alt) {
  if (fkey < 1 || fkey > 12 || alt) return 0;
  const int bank = (shift ? 2 : 0) + (ctrl ? 1 : 0);  // none, Ctrl, Shift, Ctrl+Shift
  return bank * 12 + fkey;
}

std::string KeyLabel(int row) {
  static const char* const prefixes[] = {"F", "^F", "Sh F", "^Sh F"};
  if (row < 1 || row > 48) return {};
  return prefixes[(row - 1) / 12] + IntToText((row - 1) % 12 + 1);
}

}  // namespace tapwise
