#include "app/about_dlg.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "app/app_icon.h"
#include "quilmarr_version.h"
#include "res/dialog_layout.h"
#include "ui/qt/dialog_units.h"

namespace quilmarr {

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      icon_(new QLabel(this)),
      version_(new QLabel(QString::fromUtf16(kAboutVersionLine), this)),
      notice_(new QLabel(QStringLiteral("Copyright (C) 2023"), this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)) {
  setWindowTitle(QStringLiteral("About Quilmarr"));
  const DialogUnits units = DialogUnits::ForFont(font());
  setFixedSize(units.Size(layout::kAboutBox.width, layout::kAboutBox.height));

  const QRect iconRect = units.Rect(layout::kAboutIcon);
  const int iconSide = std::min(iconRect.width(), iconRect.height()) >= 32 ? 32 : 24;
  icon_->setPixmap(ApplicationIcon().pixmap(iconSide, iconSide));
  icon_->setGeometry(iconRect.x(), iconRect.y(), std::max(iconSide, iconRect.width()),
                     std::max(iconSide, iconRect.height()));
  icon_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  icon_->setAccessibleName(QStringLiteral("Quilmarr icon"));

  for (QLabel* label : {version_, notice_}) {
    label->setTextFormat(Qt::PlainText);
  }
  version_->setGeometry(units.Rect(layout::kAboutVersion).adjusted(0, 0, 0, 2));
  notice_->setGeometry(units.Rect(layout::kAboutNotice).adjusted(0, 0, 0, 2));

  ok_->setGeometry(units.Rect(layout::kAboutOk));
  ok_->setDefault(true);
  ok_->setFocus();
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace quilmarr
