#include "Sheet.h"

#include <QDir>
#include <QPalette>

#include "gui/controls/WindowsLib.h"

namespace tapwise {

Sheet::Sheet(const QString& title, int width) : m_width(width) {
  setAutoFillBackground(true);
  QPalette face = palette();
  face.setColor(QPalette::Window, ButtonFaceColour());
  setPalette(face);
  auto* heading = new QLabel(title, this);
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  heading->move(8, 6);
  heading->adjustSize();
}

void Sheet::NewRow() {
  m_x = 8;
  m_y += m_rowHeight + 8;
  m_rowHeight = 0;
}

void Sheet::Place(const QString& caption, QWidget* control) {
  auto* label = new QLabel(caption, this);
  QFont small = label->font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  label->setFont(small);
  label->adjustSize();
  const int width = std::max(control->width(), label->width());
  if (m_x + width > m_width - 8 && m_x > 8) NewRow();
  label->move(m_x, m_y);
  control->setParent(this);
  control->move(m_x, m_y + label->height() + 2);
  control->show();
  m_rowHeight = std::max(m_rowHeight, label->height() + 2 + control->height());
  m_x += width + 16;
  resize(m_width, m_y + m_rowHeight + 10);
}

bool Sheet::Save(const QString& outDir, const QString& name) {
  resize(m_width, m_y + m_rowHeight + 10);
  return grab().save(QDir(outDir).filePath(name + ".png"));
}

}  // namespace tapwise
