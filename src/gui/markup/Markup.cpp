#include "gui/markup/Markup.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <optional>

#include "gui/controls/AnsiText.h"
#include "gui/markup/MarkupLayout.h"

namespace tapwise {

namespace {

// Real font metrics for the layout. Sizes are whole numbers in the start
// font's own unit (pixels when it was given in pixels, else points); the
// start size itself always maps back to the start font exactly.
class QtMarkupMetrics final : public MarkupMetrics {
 public:
  QtMarkupMetrics(const QFont& startFont, QPaintDevice* device)
      : m_plain(startFont), m_device(device) {
    m_plain.setBold(false);
    m_plain.setItalic(false);
    m_plain.setUnderline(false);
    m_plain.setStrikeOut(false);
    m_inPixels = m_plain.pixelSize() > 0;
    m_startSize = m_inPixels ? m_plain.pixelSize() : std::max(m_plain.pointSize(), 1);
  }

  int StartSize() const { return m_startSize; }

  QFont FontFor(const MarkupFont& font) const {
    QFont result = m_plain;
    if (font.Size != m_startSize) {
      if (m_inPixels) {
        result.setPixelSize(font.Size);
      } else {
        result.setPointSize(font.Size);
      }
    }
    result.setBold(font.Bold);
    result.setItalic(font.Italic);
    result.setUnderline(font.Underline);
    return result;
  }

  const QFontMetrics& MetricsFor(const MarkupFont& font) const {
    if (!m_cached || !(m_cachedFont == font)) {
      m_cachedFont = font;
      m_cached.emplace(m_device ? QFontMetrics(FontFor(font), m_device)
                                : QFontMetrics(FontFor(font)));
    }
    return *m_cached;
  }

  int TextWidth(std::string_view text, const MarkupFont& font) const override {
    return MetricsFor(font).horizontalAdvance(AnsiToQString(text));
  }

  int TextHeight(const MarkupFont& font) const override { return MetricsFor(font).height(); }

 private:
  QFont m_plain;
  QPaintDevice* m_device;
  bool m_inPixels = false;
  int m_startSize = 1;
  mutable MarkupFont m_cachedFont;
  mutable std::optional<QFontMetrics> m_cached;
};

QColor ColourOf(int colour, const QColor& startColour) {
  if (colour <= MarkupStartColour || colour > static_cast<int>(MarkupPalette.size())) {
    return startColour;
  }
  const MarkupRgb& rgb = MarkupPalette[colour - 1];
  return QColor(rgb.R, rgb.G, rgb.B);
}

// The colour a highlighted run's letters take: the ground the text is drawn
// on, which is the brush when one is set and the background otherwise.
QColor GroundColour(const QPainter& canvas) {
  return canvas.brush().style() != Qt::NoBrush ? canvas.brush().color()
                                               : canvas.background().color();
}

void DrawRun(QPainter& canvas, const QtMarkupMetrics& metrics, const MarkupRun& run,
             const QPen& startPen) {
  const QFont font = metrics.FontFor(run.Font);
  canvas.setFont(font);
  QColor colour = ColourOf(run.Colour, startPen.color());
  if (run.Highlight) {
    canvas.fillRect(QRect(run.X, run.Y, run.Width, run.Height), colour);
    colour = GroundColour(canvas);
  }
  QPen pen = startPen;
  pen.setColor(colour);
  canvas.setPen(pen);
  canvas.drawText(QPoint(run.X, run.Y + metrics.MetricsFor(run.Font).ascent()),
                  AnsiToQString(run.Text));
}

void DrawTriangle(QPainter& canvas, const MarkupTriangle& triangle, const QPen& startPen) {
  QPen pen = startPen;
  pen.setColor(ColourOf(triangle.Colour, startPen.color()));
  canvas.setPen(pen);
  const int left = triangle.Left;
  const int s = triangle.Half;
  const QPoint outline[] = {{left, triangle.Base},
                            {left + s, triangle.Base - 2 * s},
                            {left + 2 * s, triangle.Base},
                            {left, triangle.Base}};
  canvas.drawPolyline(outline, 4);
}

}  // namespace

MarkupExtent DrawMarkup(QPainter& canvas, int x, int y, std::string_view text, int gap) {
  const QFont startFont = canvas.font();
  const QPen startPen = canvas.pen();
  const QtMarkupMetrics metrics(startFont, canvas.device());
  const MarkupLayout layout = LayoutMarkup(metrics, metrics.StartSize(), x, y, text, gap);
  for (const MarkupItem& item : layout.Items) {
    if (const auto* run = std::get_if<MarkupRun>(&item)) {
      DrawRun(canvas, metrics, *run, startPen);
    } else {
      DrawTriangle(canvas, std::get<MarkupTriangle>(item), startPen);
    }
  }
  // Size and colour go back to what they were on entry; the style stays as
  // the text left it (every call starts plain anyway).
  QFont endFont = startFont;
  endFont.setBold(layout.EndFont.Bold);
  endFont.setItalic(layout.EndFont.Italic);
  endFont.setUnderline(layout.EndFont.Underline);
  endFont.setStrikeOut(false);
  canvas.setFont(endFont);
  canvas.setPen(startPen);
  return {layout.Right, layout.Bottom};
}

MarkupExtent MeasureMarkup(const QFont& font, int x, int y, std::string_view text, int gap) {
  const QtMarkupMetrics metrics(font, nullptr);
  const MarkupLayout layout = LayoutMarkup(metrics, metrics.StartSize(), x, y, text, gap);
  return {layout.Right, layout.Bottom};
}

}  // namespace tapwise
