#include "gui/controls/CheckBoxTransparent.h"

namespace tapwise {

// A check box paints no background of its own as long as it is not asked to
// fill one; keeping it that way lets the parent's shading show through.
TCheckBoxTransparent::TCheckBoxTransparent(QWidget* parent) : QCheckBox(parent) {
  setAutoFillBackground(false);
  setAttribute(Qt::WA_NoSystemBackground);
}

TCheckBoxTransparent::TCheckBoxTransparent(const QString& text, QWidget* parent)
    : TCheckBoxTransparent(parent) {
  setText(text);
}

}  // namespace tapwise
