#pragma once
// The fixed keys of the user packet rows: F1..F12 alone send rows 1..12,
// with Ctrl rows 13..24, with Shift rows 25..36, with Ctrl+Shift rows 37..48;
// rows 49..60 have no key.

#include <string>

namespace tapwise {

// The row that function key fkey (1..12) sends with exactly these modifiers
// held, or 0: Alt, in any combination, sends nothing.
int FunctionKeyRow(int fkey, bool ctrl, bool shift, bool alt);

// The label of a row's key in the grid's "Key" column: "F5", "^F5",
// "Sh F5", "^Sh F5"; empty for rows 49..60 and rows outside 1..60.
std::string KeyLabel(int row);

}  // namespace tapwise
