#pragma once
// A check box whose background lets its parent show through (the trigger
// check boxes sit on a shaded grid).

#include <QCheckBox>

namespace tapwise {

class TCheckBoxTransparent : public QCheckBox {
  Q_OBJECT
 public:
  explicit TCheckBoxTransparent(QWidget* parent = nullptr);
  TCheckBoxTransparent(const QString& text, QWidget* parent = nullptr);
};

}  // namespace tapwise
