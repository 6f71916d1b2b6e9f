#pragma once
// An etched rectangle whose four edges can be switched on and off: separator
// lines in the settings windows, the line above the message box's buttons.

#include <QWidget>

namespace tapwise {

class TBox : public QWidget {
  Q_OBJECT
 public:
  explicit TBox(QWidget* parent = nullptr);

  bool LineTop() const { return m_lineTop; }
  void SetLineTop(bool on);
  bool LineBottom() const { return m_lineBottom; }
  void SetLineBottom(bool on);
  bool LineLeft() const { return m_lineLeft; }
  void SetLineLeft(bool on);
  bool LineRight() const { return m_lineRight; }
  void SetLineRight(bool on);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool m_lineTop = true;
  bool m_lineBottom = true;
  bool m_lineLeft = true;
  bool m_lineRight = true;
};

}  // namespace tapwise
