#include "gui/controls/FoldedSheet.h"

namespace tapwise {

QPainterPath FoldedSheetPath(const QRectF& sheet, qreal fold) {
  QPainterPath path;
  path.moveTo(sheet.left(), sheet.top());
  path.lineTo(sheet.right() - fold, sheet.top());
  path.lineTo(sheet.right(), sheet.top() + fold);
  path.lineTo(sheet.right(), sheet.bottom());
  path.lineTo(sheet.left(), sheet.bottom());
  path.closeSubpath();
  return path;
}

}  // namespace tapwise
