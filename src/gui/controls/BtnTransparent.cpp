#include "gui/controls/BtnTransparent.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include "gui/controls/WindowsLib.h"

namespace tapwise {

TBtnTransparent::TBtnTransparent(QWidget* parent) : QWidget(parent) {}

void TBtnTransparent::SetCaption(const QString& caption) {
  m_caption = caption;
  update();
}

void TBtnTransparent::SetGlyph(const QPixmap& glyph) {
  // The bottom-left pixel names the see-through colour, so a glyph drawn on
  // a plain background needs no mask of its own.
  QImage image = glyph.toImage().convertToFormat(QImage::Format_ARGB32);
  if (!image.isNull()) {
    const QRgb clear = image.pixel(0, image.height() - 1);
    for (int y = 0; y < image.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x) {
        if (line[x] == clear) line[x] = qRgba(0, 0, 0, 0);
      }
    }
  }
  m_glyph = QPixmap::fromImage(image);
  update();
}

void TBtnTransparent::SetDown(bool down) {
  m_down = down;
  update();
}

void TBtnTransparent::SetGroupIndex(int groupIndex) {
  m_groupIndex = groupIndex;
  update();
}

void TBtnTransparent::SetBevel(int bevel) {
  m_bevel = bevel;
  update();
}

void TBtnTransparent::paintEvent(QPaintEvent*) {
  QPainter canvas(this);
  const QFontMetrics metrics(font());
  const int tw = m_caption.isEmpty() ? 0 : metrics.horizontalAdvance(m_caption);
  const int th = metrics.height();
  const int gw = m_glyph.isNull() ? 0 : m_glyph.width();
  const int gh = m_glyph.isNull() ? 0 : m_glyph.height();
  const int spacing = tw > 0 && gw > 0 ? 4 : 0;
  const int x = (width() - (tw + spacing + gw)) / 2;
  if (gw > 0) canvas.drawPixmap(x, (height() - gh) / 2, m_glyph);
  if (tw > 0) {
    canvas.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                  QPalette::ButtonText));
    canvas.drawText(QPoint(x + gw + spacing, (height() - th) / 2 + metrics.ascent()), m_caption);
  }
  const QColor upper = m_down ? ButtonShadowColour() : ButtonHighlightColour();
  const QColor lower = m_down ? ButtonHighlightColour() : ButtonShadowColour();
  const int w = width();
  const int h = height();
  for (int i = 0; i <= m_bevel; ++i) {
    canvas.setPen(upper);
    PolylineExclusive(canvas, {{i, h - i - 1}, {i, i}, {w - i - 1, i}});
    canvas.setPen(lower);
    PolylineExclusive(canvas, {{w - i - 1, i}, {w - i - 1, h - i - 1}, {i, h - i - 1}});
  }
}

void TBtnTransparent::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  m_latch = m_groupIndex > 0 && !m_down;
  SetDown(true);
  if (m_groupIndex != 0 && parentWidget()) {
    const auto siblings =
        parentWidget()->findChildren<TBtnTransparent*>(Qt::FindDirectChildrenOnly);
    for (TBtnTransparent* other : siblings) {
      if (other != this && other->GroupIndex() == m_groupIndex) other->SetDown(false);
    }
  }
}

void TBtnTransparent::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (!m_latch) SetDown(false);
  if (rect().contains(event->position().toPoint())) emit clicked();
}

}  // namespace tapwise
