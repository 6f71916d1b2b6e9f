#include "gui/controls/WindowsLib.h"

#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QUrl>
#include <QWidget>

#include "gui/controls/AnsiText.h"

namespace tapwise {

std::string FileVersionString() {
  return TAPWISE_FILE_VERSION;
}

void DrawStyledText(QPainter& canvas, int left, int right, std::string_view text,
                    FontStyles style, int top) {
  const QFont saved = canvas.font();
  QFont styled = saved;
  styled.setBold((style & fsBold) != 0);
  styled.setItalic((style & fsItalic) != 0);
  styled.setUnderline((style & fsUnderline) != 0);
  styled.setStrikeOut((style & fsStrikeOut) != 0);
  canvas.setFont(styled);
  const QFontMetrics metrics(styled);
  canvas.save();
  canvas.setClipRect(QRect(left, top, right - left, metrics.height()), Qt::IntersectClip);
  canvas.drawText(QPoint(left, top + metrics.ascent()), AnsiToQString(text));
  canvas.restore();
  canvas.setFont(saved);
}

void DrawTextLines(QPainter& canvas, int left, int right, std::string_view text,
                   FontStyles style, int top) {
  const int lineHeight = QFontMetrics(canvas.font()).height();
  size_t start = 0;
  for (;;) {
    const size_t bar = text.find('|', start);
    DrawStyledText(canvas, left, right, text.substr(start, bar - start), style, top);
    if (bar == std::string_view::npos) break;
    start = bar + 1;
    top += lineHeight;
  }
}

std::vector<GradientBand> GradientBands(int top, int bottom, const QColor& c1, const QColor& c2) {
  std::vector<GradientBand> bands;
  if (bottom < top) return bands;
  const int n = bottom - top;
  const int from[3] = {c1.red(), c1.green(), c1.blue()};
  const int to[3] = {c2.red(), c2.green(), c2.blue()};
  QColor last = QColor(from[0], from[1], from[2]);
  int bandStart = top;
  for (int y = top; y <= bottom; ++y) {
    int channel[3];
    for (int c = 0; c < 3; ++c) {
      // Division truncates toward zero; adding n/2 first rounds the step.
      channel[c] = n <= 0 ? from[c] : (from[c] + ((y - top) * (to[c] - from[c]) + n / 2) / n) & 0xFF;
    }
    const QColor row(channel[0], channel[1], channel[2]);
    if (row != last || y == bottom) {
      // Each band takes the colour of the row that ends it.
      if (y > bandStart) bands.push_back({bandStart, y, row});
      last = row;
      bandStart = y;
    }
  }
  return bands;
}

void GradientFill(QPainter& canvas, int left, int top, int right, int bottom,
                  const QColor& c1, const QColor& c2) {
  for (const GradientBand& band : GradientBands(top, bottom, c1, c2)) {
    canvas.fillRect(QRect(left, band.FirstRow, right - left, band.EndRow - band.FirstRow),
                    band.Colour);
  }
}

void LineToExclusive(QPainter& canvas, QPoint from, QPoint to) {
  if (from == to) return;
  const QPoint step((to.x() > from.x()) - (to.x() < from.x()),
                    (to.y() > from.y()) - (to.y() < from.y()));
  canvas.drawLine(from, to - step);
}

void PolylineExclusive(QPainter& canvas, std::initializer_list<QPoint> points) {
  const QPoint* previous = nullptr;
  for (const QPoint& point : points) {
    if (previous) LineToExclusive(canvas, *previous, point);
    previous = &point;
  }
}

QColor ButtonFaceColour() {
  return QGuiApplication::palette().color(QPalette::Button);
}

// There is no scroll-bar role in a palette; a shade a fifth darker than the
// button face gives the strips the same gentle fall towards their bottom.
QColor ScrollBarColour() {
  return ButtonFaceColour().darker(120);
}

QColor ButtonHighlightColour() {
  return QGuiApplication::palette().color(QPalette::Light);
}

QColor ButtonShadowColour() {
  return QGuiApplication::palette().color(QPalette::Mid);
}

QColor WindowColour() {
  return QGuiApplication::palette().color(QPalette::Base);
}

QColor WindowTextColour() {
  return QGuiApplication::palette().color(QPalette::Text);
}

QPoint PlaceAtMousePosition(QPoint mouse, QSize window, int desktopWidth, int screenHeight) {
  QPoint place = mouse;
  if (place.x() + window.width() >= desktopWidth) place.setX(desktopWidth - window.width());
  // Keep clear of the band at the bottom where a panel or task bar usually lies.
  if (place.y() + window.height() >= screenHeight - 32) {
    place.setY(screenHeight - window.height() - 32);
  }
  return place;
}

void PlaceAtMouse(QWidget& window) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QSize size = window.frameGeometry().size();
  window.move(PlaceAtMousePosition(QCursor::pos(), size, screen->virtualGeometry().right() + 1,
                                   screen->geometry().height()));
}

void CentreOnScreen(QWidget& window) {
  const QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window.move(frame.topLeft());
}

namespace {

bool HasScheme(const QString& text) {
  const QUrl url(text, QUrl::StrictMode);
  // A one-letter scheme is a drive letter, not an address.
  return url.isValid() && url.scheme().size() > 1;
}

}  // namespace

bool OpenDocument(QWidget*, std::string_view pathOrAddress) {
  const QString text = AnsiToQString(pathOrAddress);
  if (text.isEmpty()) return false;
  const QUrl url = HasScheme(text) ? QUrl(text, QUrl::StrictMode)
                                   : QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
  return QDesktopServices::openUrl(url);
}

}  // namespace tapwise
