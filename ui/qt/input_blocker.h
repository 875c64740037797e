#pragma once
#include <QObject>
#include <QWidget>

namespace quilmarr {

// While it lives, drops the user's input to one window and its controls;
// other windows (a message box opened meanwhile) still get theirs.
class InputBlocker final : public QObject {
 public:
  explicit InputBlocker(QWidget& window);
  InputBlocker(const InputBlocker&) = delete;
  InputBlocker& operator=(const InputBlocker&) = delete;
  ~InputBlocker() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& window_;
};

}  // namespace quilmarr
