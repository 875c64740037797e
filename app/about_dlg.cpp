#include "app/about_dlg.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "app/app_icon.h"
#include "ui/qt/dialog_units.h"

namespace quilmarr {

namespace {
constexpr int kWidth = 170;
constexpr int kHeight = 62;
}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      icon_(new QLabel(this)),
      version_(new QLabel(QStringLiteral("Quilmarr, Version 1.0"), this)),
      notice_(new QLabel(QStringLiteral("Copyright (C) 2023"), this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)) {
  setWindowTitle(QStringLiteral("About Quilmarr"));
  const DialogUnits units = DialogUnits::ForFont(font());
  setFixedSize(units.Size(kWidth, kHeight));

  const QRect iconRect = units.Rect(14, 14, 21, 20);
  const int iconSide = std::min(iconRect.width(), iconRect.height()) >= 32 ? 32 : 24;
  icon_->setPixmap(ApplicationIcon().pixmap(iconSide, iconSide));
  icon_->setGeometry(iconRect.x(), iconRect.y(), std::max(iconSide, iconRect.width()),
                     std::max(iconSide, iconRect.height()));
  icon_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  icon_->setAccessibleName(QStringLiteral("Quilmarr icon"));

  for (QLabel* label : {version_, notice_}) {
    label->setTextFormat(Qt::PlainText);
  }
  version_->setGeometry(units.Rect(42, 14, 114, 8).adjusted(0, 0, 0, 2));
  notice_->setGeometry(units.Rect(42, 26, 114, 8).adjusted(0, 0, 0, 2));

  ok_->setGeometry(units.Rect(113, 41, 50, 14));
  ok_->setDefault(true);
  ok_->setFocus();
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace quilmarr
