#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

namespace quilmarr {

// The about box: icon, product and version, notice line, OK.
class CAboutDlg final : public QDialog {
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);

  [[nodiscard]] QLabel& IconLabel() const noexcept { return *icon_; }
  [[nodiscard]] QLabel& VersionLabel() const noexcept { return *version_; }
  [[nodiscard]] QLabel& NoticeLabel() const noexcept { return *notice_; }
  [[nodiscard]] QPushButton& OkButton() const noexcept { return *ok_; }

 private:
  QLabel* icon_;
  QLabel* version_;
  QLabel* notice_;
  QPushButton* ok_;
};

}  // namespace quilmarr
