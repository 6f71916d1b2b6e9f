#pragma once
// A push button without a window background of its own: it draws a glyph, a
// caption and a bevel over whatever its parent painted (the message box's
// button strip, the About box). Buttons of one parent that share a non-zero
// GroupIndex release each other, like a row of radio buttons that can also
// all be up.

#include <QPixmap>
#include <QString>
#include <QWidget>

namespace tapwise {

class TBtnTransparent : public QWidget {
  Q_OBJECT
 public:
  explicit TBtnTransparent(QWidget* parent = nullptr);

  QString Caption() const { return m_caption; }
  void SetCaption(const QString& caption);
  // The picture is copied; its bottom-left pixel's colour is see-through.
  const QPixmap& Glyph() const { return m_glyph; }
  void SetGlyph(const QPixmap& glyph);
  bool Down() const { return m_down; }
  void SetDown(bool down);
  int GroupIndex() const { return m_groupIndex; }
  void SetGroupIndex(int groupIndex);
  // Frame lines minus one; negative draws no frame.
  int Bevel() const { return m_bevel; }
  void SetBevel(int bevel);
  // A tag the owner may use to tell buttons apart (the message box keeps each
  // button's index here).
  int Tag() const { return m_tag; }
  void SetTag(int tag) { m_tag = tag; }

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QString m_caption;
  QPixmap m_glyph;
  bool m_down = false;
  int m_groupIndex = 0;
  int m_bevel = 0;
  int m_tag = 0;
  bool m_latch = false;
};

}  // namespace tapwise
