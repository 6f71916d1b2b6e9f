#include "gui/controls/SystemColours.h"

#include <QGuiApplication>
#include <QPalette>

#include "gui/controls/WindowsLib.h"

namespace tapwise {

namespace {

// The classic system colour indices that a settings file may name.
QColor SystemColour(uint8_t index) {
  const QPalette palette = QGuiApplication::palette();
  switch (index) {
    case 0: return ScrollBarColour();                                  // scroll bar
    case 1: return palette.color(QPalette::Window);                    // desktop
    case 2: case 27: return palette.color(QPalette::Highlight);        // active caption
    case 3: case 28: return palette.color(QPalette::Mid);              // inactive caption
    case 4: return palette.color(QPalette::Window);                    // menu
    case 5: return WindowColour();
    case 6: return palette.color(QPalette::Shadow);                    // window frame
    case 7: return palette.color(QPalette::WindowText);                // menu text
    case 8: return WindowTextColour();
    case 9: return palette.color(QPalette::HighlightedText);           // caption text
    case 10: case 11: return palette.color(QPalette::Mid);             // borders
    case 12: return palette.color(QPalette::Dark);                     // app workspace
    case 13: return palette.color(QPalette::Highlight);                // highlight
    case 14: return palette.color(QPalette::HighlightedText);          // highlight text
    case 15: return ButtonFaceColour();
    case 16: return ButtonShadowColour();
    case 17: return palette.color(QPalette::Disabled, QPalette::Text); // grey text
    case 18: return palette.color(QPalette::ButtonText);               // button text
    case 19: return palette.color(QPalette::Disabled, QPalette::WindowText);
    case 20: return ButtonHighlightColour();
    case 21: return palette.color(QPalette::Shadow);                   // 3D dark shadow
    case 22: return palette.color(QPalette::Midlight);                 // 3D light
    case 23: return palette.color(QPalette::ToolTipText);              // info text
    case 24: return palette.color(QPalette::ToolTipBase);              // info background
    case 26: return palette.color(QPalette::Link);                     // hot light
    case 30: return palette.color(QPalette::Window);                   // menu bar
    default: return palette.color(QPalette::Text);
  }
}

}  // namespace

QColor ResolveColour(int32_t value) {
  if (value < 0) return SystemColour(static_cast<uint8_t>(value & 0xFF));
  return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

int32_t PlainColourValue(const QColor& colour) {
  return colour.blue() * 65536 + colour.green() * 256 + colour.red();
}

}  // namespace tapwise
