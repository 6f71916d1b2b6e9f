#include "gui/controls/ToolIcons.h"

#include <QPainter>
#include <QPainterPath>

#include "gui/controls/FoldedSheet.h"

namespace tapwise {

namespace {

const QColor Ink(40, 40, 40);

void Document(QPainter& p, QRectF r, const QColor& fill) {
  p.setPen(QPen(Ink, 1));
  p.setBrush(fill);
  p.drawPath(FoldedSheetPath(r, 3));
}

void Triangle(QPainter& p, const QColor& fill, double left, double right) {
  p.setPen(QPen(fill.darker(140), 1));
  p.setBrush(fill);
  p.drawPolygon(QPolygonF({QPointF(left, 2.5), QPointF(right, 8), QPointF(left, 13.5)}));
}

void Gear(QPainter& p) {
  p.setPen(QPen(Ink, 1));
  p.setBrush(QColor(150, 150, 160));
  QPainterPath teeth;
  for (int i = 0; i < 8; ++i) {
    p.save();
    p.translate(8, 8);
    p.rotate(i * 45.0);
    p.drawRect(QRectF(-1.5, -7.5, 3, 3));
    p.restore();
  }
  p.drawEllipse(QPointF(8, 8), 5, 5);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(8, 8), 2, 2);
}

}  // namespace

QPixmap DrawToolIcon(ToolIcon icon) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  switch (icon) {
    case ToolIcon::OpenProject: {
      p.setPen(QPen(QColor(140, 100, 20), 1));
      p.setBrush(QColor(250, 210, 90));
      p.drawPolygon(QPolygonF({QPointF(0.5, 3.5), QPointF(5.5, 3.5), QPointF(7, 5.5),
                               QPointF(13.5, 5.5), QPointF(13.5, 13.5), QPointF(0.5, 13.5)}));
      p.setBrush(QColor(255, 230, 140));
      p.drawPolygon(QPolygonF({QPointF(2.5, 7.5), QPointF(15.5, 7.5), QPointF(13.5, 13.5),
                               QPointF(0.5, 13.5)}));
      break;
    }
    case ToolIcon::Freeze: {
      p.setPen(QPen(QColor(30, 90, 200), 1.6));
      for (int i = 0; i < 3; ++i) {
        p.save();
        p.translate(8, 8);
        p.rotate(i * 60.0);
        p.drawLine(QPointF(0, -7), QPointF(0, 7));
        p.drawLine(QPointF(-2.5, -5.5), QPointF(0, -3.5));
        p.drawLine(QPointF(2.5, -5.5), QPointF(0, -3.5));
        p.drawLine(QPointF(-2.5, 5.5), QPointF(0, 3.5));
        p.drawLine(QPointF(2.5, 5.5), QPointF(0, 3.5));
        p.restore();
      }
      break;
    }
    case ToolIcon::Clear: {
      Document(p, QRectF(2.5, 1.5, 10, 13), Qt::white);
      p.setPen(QPen(QColor(200, 30, 30), 2));
      p.drawLine(QPointF(5, 5), QPointF(11, 11));
      p.drawLine(QPointF(11, 5), QPointF(5, 11));
      break;
    }
    case ToolIcon::Play:
      Triangle(p, QColor(30, 160, 50), 3.5, 13.5);
      break;
    case ToolIcon::Record:
      p.setPen(QPen(QColor(150, 0, 0), 1));
      p.setBrush(QColor(220, 30, 30));
      p.drawEllipse(QPointF(8, 8), 5.5, 5.5);
      break;
    case ToolIcon::Stop:
      p.setPen(QPen(QColor(20, 20, 20), 1));
      p.setBrush(QColor(70, 70, 80));
      p.drawRect(QRectF(3.5, 3.5, 9, 9));
      break;
    case ToolIcon::Pause:
      p.setPen(QPen(QColor(20, 40, 120), 1));
      p.setBrush(QColor(50, 90, 200));
      p.drawRect(QRectF(3.5, 2.5, 3, 11));
      p.drawRect(QRectF(9.5, 2.5, 3, 11));
      break;
    case ToolIcon::Options:
      Gear(p);
      break;
    case ToolIcon::UserPackets: {
      Document(p, QRectF(1.5, 1.5, 12, 13), QColor(255, 255, 230));
      p.setPen(QPen(QColor(0, 0, 128), 1));
      QFont font("DejaVu Sans Mono");
      font.setPixelSize(6);
      font.setBold(true);
      p.setFont(font);
      p.drawText(QRectF(2, 3, 11, 6), Qt::AlignCenter, "F1");
      p.drawLine(QPointF(4, 10.5), QPointF(11, 10.5));
      p.drawLine(QPointF(4, 12.5), QPointF(9, 12.5));
      break;
    }
    case ToolIcon::Find:
      // A magnifying glass.
      p.setPen(QPen(QColor(90, 60, 20), 2.4));
      p.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
      p.setPen(QPen(QColor(40, 40, 50), 1.4));
      p.setBrush(QColor(200, 230, 255));
      p.drawEllipse(QPointF(6.5, 6.5), 4.8, 4.8);
      break;
    case ToolIcon::About: {
      p.setPen(QPen(QColor(0, 0, 150), 1));
      p.setBrush(QColor(40, 90, 230));
      p.drawEllipse(QPointF(8, 8), 7, 7);
      p.setPen(QPen(Qt::white, 2));
      p.drawLine(QPointF(8, 7), QPointF(8, 12));
      p.drawPoint(QPointF(8, 4.5));
      break;
    }
    case ToolIcon::PortDisabled:
    case ToolIcon::PortEnabled: {
      const bool on = icon == ToolIcon::PortEnabled;
      // A plug: green when the port listens, grey with a red bar when it is off.
      p.setPen(QPen(Ink, 1));
      p.setBrush(on ? QColor(60, 180, 75) : QColor(170, 170, 170));
      p.drawRoundedRect(QRectF(2.5, 4.5, 11, 7), 2, 2);
      p.setBrush(Ink);
      for (double x : {5.0, 8.0, 11.0}) p.drawEllipse(QPointF(x, 8), 0.8, 0.8);
      if (!on) {
        p.setPen(QPen(QColor(210, 20, 20), 2));
        p.drawLine(QPointF(2, 14), QPointF(14, 2));
      }
      break;
    }
    case ToolIcon::Copy:
      Document(p, QRectF(1.5, 1.5, 9, 10), Qt::white);
      Document(p, QRectF(5.5, 4.5, 9, 10), Qt::white);
      break;
    case ToolIcon::PlayPacket:
      Document(p, QRectF(1.5, 1.5, 9, 12), Qt::white);
      Triangle(p, QColor(30, 160, 50), 7.5, 15.5);
      break;
    case ToolIcon::Cut:
      // Scissors: two blades crossing above two round handles.
      p.setPen(QPen(QColor(90, 90, 100), 1.4));
      p.drawLine(QPointF(5, 1.5), QPointF(10, 10));
      p.drawLine(QPointF(11, 1.5), QPointF(6, 10));
      p.setPen(QPen(QColor(30, 60, 170), 1.4));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(4.5, 12), 2.5, 2.5);
      p.drawEllipse(QPointF(11.5, 12), 2.5, 2.5);
      break;
    case ToolIcon::Paste:
      // A clipboard with a page on it.
      p.setPen(QPen(QColor(110, 70, 20), 1));
      p.setBrush(QColor(200, 150, 80));
      p.drawRoundedRect(QRectF(1.5, 2.5, 10, 12), 1, 1);
      p.setBrush(QColor(150, 150, 160));
      p.drawRect(QRectF(4.5, 1.5, 4, 2));
      Document(p, QRectF(6.5, 5.5, 8, 9), Qt::white);
      break;
    case ToolIcon::Filter:
      // A funnel: wide at the top, a narrow spout below.
      p.setPen(QPen(QColor(20, 70, 130), 1));
      p.setBrush(QColor(90, 160, 230));
      p.drawPolygon(QPolygonF({QPointF(1.5, 2.5), QPointF(14.5, 2.5), QPointF(9.5, 8.5), QPointF(9.5, 14.5),
                               QPointF(6.5, 12.5), QPointF(6.5, 8.5)}));
      break;
    case ToolIcon::Statistics: {
      // Three bars of a chart on its axis.
      p.setPen(QPen(Ink, 1));
      p.drawLine(QPointF(1.5, 14.5), QPointF(14.5, 14.5));
      const QColor bars[] = {QColor(70, 130, 200), QColor(90, 170, 90), QColor(210, 120, 50)};
      const double heights[] = {6, 11, 8};
      for (int i = 0; i < 3; ++i) {
        p.setBrush(bars[i]);
        p.drawRect(QRectF(2.5 + i * 4, 14.5 - heights[i], 3, heights[i]));
      }
      break;
    }
  }
  return pixmap;
}

}  // namespace tapwise
