#pragma once
// The outline of a sheet of paper with its top-right corner folded: the
// toolbar's document icons and the message glyphs draw the same sheet.

#include <QPainterPath>
#include <QRectF>

namespace tapwise {

// The corner is cut `fold` pixels along the top and down the right side.
QPainterPath FoldedSheetPath(const QRectF& sheet, qreal fold);

}  // namespace tapwise
