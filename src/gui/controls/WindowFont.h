#pragma once
// The font the program's small windows are designed in: "MS Sans Serif" at
// 8 points of a 96-dpi screen (11 pixels). Where the family is missing the
// desktop's nearest sans-serif stands in at the same pixel size, so the
// designed layouts keep their proportions.

#include <QFont>

namespace tapwise {

QFont WindowFont();

}  // namespace tapwise
