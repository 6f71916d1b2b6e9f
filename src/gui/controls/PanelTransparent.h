#pragma once
// A container that paints no background, so its parent shows through, with an
// optional two-line raised or sunken frame.

#include <QWidget>

namespace tapwise {

class TPanelTransparent : public QWidget {
  Q_OBJECT
 public:
  explicit TPanelTransparent(QWidget* parent = nullptr);

  bool Raised() const { return m_raised; }
  void SetRaised(bool raised);
  bool Lowered() const { return m_lowered; }
  void SetLowered(bool lowered);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool m_raised = false;
  bool m_lowered = false;
};

}  // namespace tapwise
