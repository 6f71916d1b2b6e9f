#include "gui/messagebox/MessageGlyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

#include "gui/controls/FoldedSheet.h"

namespace tapwise {

namespace {

// Outlines are a dark grey rather than black, so nothing in a glyph can ever
// share a colour with an opaque background by accident.
const QColor Ink(48, 48, 48);

// A font size given in points, as pixels on a 96 dpi screen (the size the
// icon's layout was drawn for).
int PointsAsPixels(int points) {
  return (points * 96 + 36) / 72;
}

QFont IconFont(const char* family, int points, bool bold, bool italic) {
  QFont font(family);
  font.setPixelSize(PointsAsPixels(points));
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}

// Text with its top-left corner at (x, y), on a transparent ground.
void DrawTopLeftText(QPainter& canvas, int x, int y, const QString& text) {
  canvas.drawText(QPoint(x, y + canvas.fontMetrics().ascent()), text);
}

// A sheet of paper with its top-right corner folded.
void DrawDocument(QPainter& canvas, const QRectF& sheet, const QColor& paper) {
  const qreal fold = 3;
  canvas.setPen(QPen(Ink, 1));
  canvas.setBrush(paper);
  canvas.drawPath(FoldedSheetPath(sheet, fold));
  canvas.drawLine(QPointF(sheet.right() - fold, sheet.top()),
                  QPointF(sheet.right() - fold, sheet.top() + fold));
  canvas.drawLine(QPointF(sheet.right() - fold, sheet.top() + fold),
                  QPointF(sheet.right(), sheet.top() + fold));
}

void DrawTextLinesOn(QPainter& canvas, const QRectF& sheet) {
  canvas.setPen(QPen(QColor(120, 120, 140), 1));
  for (qreal y = sheet.top() + 5; y < sheet.bottom() - 1; y += 2) {
    canvas.drawLine(QPointF(sheet.left() + 2, y), QPointF(sheet.right() - 2, y));
  }
}

void DrawTick(QPainter& canvas) {
  const QPointF tick[] = {{2.5, 8.5}, {6, 12.5}, {13.5, 3}};
  canvas.setPen(QPen(QColor(0, 90, 0), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  canvas.drawPolyline(tick, 3);
  canvas.setPen(QPen(QColor(40, 190, 40), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  canvas.drawPolyline(tick, 3);
}

void DrawCross(QPainter& canvas) {
  for (const auto& [pen, width] : {std::pair{QColor(120, 0, 0), 4.0}, {QColor(230, 30, 30), 2.0}}) {
    canvas.setPen(QPen(pen, width, Qt::SolidLine, Qt::RoundCap));
    canvas.drawLine(QPointF(4, 4), QPointF(12, 12));
    canvas.drawLine(QPointF(12, 4), QPointF(4, 12));
  }
}

void DrawFloppy(QPainter& canvas) {
  QPainterPath body;
  body.moveTo(1.5, 1.5);
  body.lineTo(13, 1.5);
  body.lineTo(14.5, 3);
  body.lineTo(14.5, 14.5);
  body.lineTo(1.5, 14.5);
  body.closeSubpath();
  canvas.setPen(QPen(Ink, 1));
  canvas.setBrush(QColor(40, 70, 160));
  canvas.drawPath(body);
  // The metal shutter with its window, and the paper label below.
  canvas.setBrush(QColor(200, 200, 210));
  canvas.drawRect(QRectF(4.5, 1.5, 7, 4.5));
  canvas.fillRect(QRectF(9, 2.5, 1.5, 2.5), QColor(40, 70, 160));
  canvas.setBrush(QColor(250, 250, 250));
  canvas.drawRect(QRectF(3.5, 8.5, 9, 6));
  canvas.setPen(QPen(QColor(140, 140, 160), 1));
  canvas.drawLine(QPointF(5, 11), QPointF(11, 11));
}

void DrawQuestionMark(QPainter& canvas) {
  QFont font("Arial");
  font.setPixelSize(16);
  font.setBold(true);
  canvas.setFont(font);
  canvas.setPen(QColor(0, 0, 230));
  canvas.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
}

void DrawCopy(QPainter& canvas) {
  const QRectF back(1.5, 0.5, 8, 10);
  const QRectF front(6.5, 5.5, 8, 10);
  DrawDocument(canvas, back, QColor(250, 250, 250));
  DrawTextLinesOn(canvas, back);
  DrawDocument(canvas, front, QColor(250, 250, 250));
  DrawTextLinesOn(canvas, front);
}

void DrawMove(QPainter& canvas) {
  DrawDocument(canvas, QRectF(0.5, 5.5, 6, 9), QColor(160, 160, 160));
  DrawDocument(canvas, QRectF(9.5, 5.5, 6, 9), QColor(250, 250, 250));
  // A small arrow above the gap says which way the document goes.
  canvas.setPen(QPen(QColor(0, 0, 200), 1));
  canvas.setBrush(QColor(0, 0, 200));
  canvas.drawLine(QPointF(3, 2.5), QPointF(10, 2.5));
  const QPointF head[] = {{13.5, 2.5}, {10, -0.5}, {10, 5.5}};
  canvas.drawPolygon(head, 3);
}

}  // namespace

QPixmap ButtonGlyph(int index) {
  if (index < 0 || index >= ButtonGlyphCount) return QPixmap();
  QPixmap glyph(16, 16);
  glyph.fill(Qt::transparent);
  QPainter canvas(&glyph);
  canvas.setRenderHint(QPainter::Antialiasing);
  switch (index) {
    case 0:
      DrawTick(canvas);
      break;
    case 1:
      DrawCross(canvas);
      break;
    case 2:
      DrawFloppy(canvas);
      break;
    case 3:
      DrawQuestionMark(canvas);
      break;
    case 4:
      DrawCopy(canvas);
      break;
    default:
      DrawMove(canvas);
      break;
  }
  // The button takes the bottom-left pixel's colour as see-through; keep it
  // clear whatever the picture reached.
  canvas.setCompositionMode(QPainter::CompositionMode_Clear);
  canvas.fillRect(QRect(0, 15, 1, 1), Qt::transparent);
  return glyph;
}

void DrawMessageIcon(QPainter& canvas, TMessageKind kind) {
  canvas.save();
  canvas.setRenderHint(QPainter::Antialiasing);
  canvas.setBackgroundMode(Qt::TransparentMode);
  switch (kind) {
    case mkInformation:
      canvas.setPen(QPen(Qt::white, 2));
      canvas.setBrush(QColor(0, 0, 255));
      // Two thirds of the box wide, the box's height less one.
      canvas.drawRect(QRect(1, 1, 34, 51));
      canvas.setFont(IconFont("Times New Roman", 40, true, true));
      canvas.setPen(Qt::white);
      DrawTopLeftText(canvas, 10, -5, QStringLiteral("i"));
      break;
    case mkError: {
      const QPoint triangle[] = {{22, 1}, {43, 43}, {1, 43}};
      canvas.setPen(QPen(Qt::white, 2));
      canvas.setBrush(QColor(255, 0, 0));
      canvas.drawPolygon(triangle, 3);
      canvas.setFont(IconFont("Times New Roman", 31, true, false));
      canvas.setPen(Qt::white);
      DrawTopLeftText(canvas, 16, 2, QStringLiteral("!"));
      break;
    }
    case mkQuestion: {
      const QPoint octagon[] = {{22, 1},  {29, 1},  {50, 22}, {50, 29},
                                {29, 50}, {22, 50}, {1, 29},  {1, 22}};
      canvas.setPen(QPen(Qt::black, 2));
      canvas.setBrush(QColor(255, 255, 0));
      canvas.drawPolygon(octagon, 8);
      canvas.setFont(IconFont("Arial", 34, true, false));
      canvas.setPen(QColor(255, 0, 0));
      DrawTopLeftText(canvas, 13, 1, QStringLiteral("?"));
      break;
    }
    default:
      break;
  }
  canvas.restore();
}

}  // namespace tapwise
