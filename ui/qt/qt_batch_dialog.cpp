#include "ui/qt/qt_batch_dialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QThread>
#include <QTimerEvent>
#include <algorithm>
#include <initializer_list>

#include "res/dialog_layout.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/input_blocker.h"
#include "ui/qt/labelled_combo_accessible.h"
#include "ui/qt/qt_text.h"

namespace quilmarr {

namespace {

using layout::DialogRect;

constexpr int kPumpSliceMs = 5;

const char16_t kAboutItem[] = u"&About Quilmarr...";

QRect ToPixels(const DialogUnits& units, const DialogRect& rect) {
  return units.Rect(rect.x, rect.y, rect.width, rect.height);
}

// A label keeps its template place but is never cut short by a wider font.
QRect LabelPixels(const DialogUnits& units, const DialogRect& rect, const QLabel& label) {
  QRect pixels = ToPixels(units, rect);
  pixels.setWidth(std::max(pixels.width(), label.sizeHint().width()));
  pixels.setHeight(std::max(pixels.height(), label.sizeHint().height()));
  return pixels;
}

}  // namespace

std::optional<std::u16string> ShowOpenFileDialog(QWidget* parent) {
  const QString path = QFileDialog::getOpenFileName(parent);
  if (path.isEmpty()) {
    return std::nullopt;
  }
  return ToU16String(QDir::toNativeSeparators(path));
}

std::optional<std::u16string> ShowSaveCsvDialog(QWidget* parent, std::u16string_view suggested) {
  const QString path = QFileDialog::getSaveFileName(
      parent, ToQString(kExportListItem).remove(QStringLiteral("...")), ToQString(suggested),
      QStringLiteral("CSV files (*.csv);;All files (*)"));
  if (path.isEmpty()) {
    return std::nullopt;
  }
  return ToU16String(QDir::toNativeSeparators(path));
}

QtBatchDialog::QtBatchDialog(FrontEndServices services, QWidget* parent, OpenFileFunction openFile)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      openFile_(std::move(openFile)),
      target_(*this) {
  setWindowTitle(QStringLiteral("Quilmarr"));
  CreateControls();
  templateSize_ =
      DialogUnits::ForFont(font()).Size(layout::kMainDialog.width, layout::kMainDialog.height);
  setMinimumSize(templateSize_);
  resize(templateSize_);
  PlaceControls();

  comboControl_ = std::make_unique<QtComboControl>(*adapterCombo_);
  listControl_ = std::make_unique<QtListControl>(*deviceList_);
  queryControl_ = std::make_unique<QtButtonControl>(*queryButton_);
  batchUpdateControl_ = std::make_unique<QtButtonControl>(*batchUpdateButton_);
  browseControl_ = std::make_unique<QtButtonControl>(*browseButton_);
  fileControl_ = std::make_unique<QtEditControl>(*fileEdit_);

  DialogHost& host = *this;
  controller_ = std::make_unique<CPendravelBatchDlg>(
      DialogControls{*comboControl_, *listControl_, *queryControl_, *batchUpdateControl_,
                     *browseControl_, *fileControl_, host},
      WithWindow(target_, std::move(services)));
  target_.SetHandler([this](const Message& message) {
    if (controller_) {
      controller_->OnMessage(message);
    }
  });

  connect(queryButton_, &QPushButton::clicked, this, [this] { controller_->OnQueryClicked(); });
  connect(browseButton_, &QPushButton::clicked, this, [this] { controller_->OnBrowseClicked(); });
  connect(batchUpdateButton_, &QPushButton::clicked, this,
          [this] { controller_->OnBatchUpdateClicked(); });
  auto* aboutShortcut = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(aboutShortcut, &QShortcut::activated, this, [this] { OnSysCommand(IDM_ABOUTBOX); });

  controller_->OnInitDialog();
  // As a dialog manager does: the focus starts on the first enabled control in tab order.
  for (QWidget* control :
       std::initializer_list<QWidget*>{batchUpdateButton_, queryButton_, adapterCombo_, deviceList_,
                                       fileEdit_, browseButton_}) {
    if (control->isEnabled()) {
      control->setFocus(Qt::OtherFocusReason);
      break;
    }
  }
}

QtBatchDialog::~QtBatchDialog() {
  // A capture worker may be blocked in a send to this window: the controller
  // ends the workers while handling their messages, so joining them then
  // cannot wait on this thread.
  if (controller_) {
    controller_->OnDestroy();
  }
  controller_.reset();
  for (const auto& [id, qtId] : timers_) {
    killTimer(qtId);
  }
}

QTableWidget& QtBatchDialog::DeviceList() const noexcept { return *deviceList_; }

void QtBatchDialog::CreateControls() {
  // Created in the template's tab order.
  batchUpdateButton_ = new QPushButton(QStringLiteral("Batch Update"), this);
  batchUpdateButton_->setObjectName(QStringLiteral("batchUpdateButton"));
  batchUpdateButton_->setEnabled(false);
  batchUpdateButton_->setDefault(true);

  queryButton_ = new QPushButton(QStringLiteral("Query Device"), this);
  queryButton_->setObjectName(QStringLiteral("queryButton"));
  queryButton_->setEnabled(false);
  // As in a Windows dialog: a focused push button takes Enter itself; the
  // default button takes it only while the focus is on another kind of control.
  queryButton_->setAutoDefault(true);

  adapterCombo_ = new QComboBox(this);
  KeepAccessibleName(*adapterCombo_);
  adapterCombo_->setObjectName(QStringLiteral("adapterCombo"));
  adapterCombo_->setEditable(true);
  adapterCombo_->setInsertPolicy(QComboBox::NoInsert);
  adapterCombo_->setAccessibleName(QStringLiteral("Network Adapter"));

  adapterLabel_ = new QLabel(QStringLiteral("Network Adapter:"), this);
  adapterLabel_->setBuddy(adapterCombo_);
  devicesLabel_ = new QLabel(QStringLiteral("Device In Ethernet:"), this);

  deviceList_ = new DeviceTableWidget(this);
  deviceList_->setObjectName(QStringLiteral("deviceList"));
  deviceList_->setEnabled(false);
  deviceList_->setAccessibleName(QStringLiteral("Device In Ethernet"));
  devicesLabel_->setBuddy(deviceList_);

  fileLabel_ = new QLabel(QStringLiteral("File:"), this);
  fileEdit_ = new QLineEdit(this);
  fileEdit_->setObjectName(QStringLiteral("fileEdit"));
  fileEdit_->setReadOnly(true);
  fileEdit_->setAccessibleName(QStringLiteral("File"));
  fileLabel_->setBuddy(fileEdit_);

  browseButton_ = new QPushButton(QStringLiteral("Browse"), this);
  browseButton_->setObjectName(QStringLiteral("browseButton"));
  browseButton_->setAutoDefault(true);

  for (QLabel* label : {adapterLabel_, devicesLabel_, fileLabel_}) {
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setTextFormat(Qt::PlainText);
  }

  setTabOrder(batchUpdateButton_, queryButton_);
  setTabOrder(queryButton_, adapterCombo_);
  setTabOrder(adapterCombo_, deviceList_);
  setTabOrder(deviceList_, fileEdit_);
  setTabOrder(fileEdit_, browseButton_);
}

void QtBatchDialog::PlaceControls() {
  const DialogUnits units = DialogUnits::ForFont(font());
  const int dx = std::max(0, width() - templateSize_.width());
  const int dy = std::max(0, height() - templateSize_.height());

  batchUpdateButton_->setGeometry(ToPixels(units, layout::kBatchUpdateButton).translated(0, dy));
  queryButton_->setGeometry(ToPixels(units, layout::kQueryButton));
  QRect combo = ToPixels(units, layout::kAdapterCombo);
  combo.setHeight(
      adapterCombo_->sizeHint().height());  // the template height includes the drop-down
  adapterCombo_->setGeometry(combo);
  adapterLabel_->setGeometry(LabelPixels(units, layout::kAdapterLabel, *adapterLabel_));
  devicesLabel_->setGeometry(LabelPixels(units, layout::kDevicesLabel, *devicesLabel_));
  deviceList_->setGeometry(ToPixels(units, layout::kDeviceList).adjusted(0, 0, dx, dy));
  fileLabel_->setGeometry(LabelPixels(units, layout::kFileLabel, *fileLabel_).translated(0, dy));
  fileEdit_->setGeometry(ToPixels(units, layout::kFileEdit).translated(0, dy));
  browseButton_->setGeometry(ToPixels(units, layout::kBrowseButton).translated(0, dy));
}

void QtBatchDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (deviceList_ != nullptr) {
    PlaceControls();
  }
}

void QtBatchDialog::OnSysCommand(unsigned commandId) {
  if (CPendravelBatchDlg::IsAboutCommand(commandId)) {
    emit aboutRequested();
  }
}

void QtBatchDialog::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  if (deviceList_->geometry().contains(event->pos())) {
    for (const ListMenuItem& item : controller_->ListMenu()) {
      QAction* action = menu.addAction(ToQString(item.text));
      action->setEnabled(item.enabled);
      connect(action, &QAction::triggered, this,
              [this, command = item.command] { controller_->OnListMenuCommand(command); });
    }
    menu.exec(event->globalPos());
    return;
  }
  QAction* about = menu.addAction(ToQString(kAboutItem));
  connect(about, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
  menu.exec(event->globalPos());
}

void QtBatchDialog::reject() { RequestClose(); }

void QtBatchDialog::closeEvent(QCloseEvent* event) {
  if (!ended_) {
    RequestClose();
  }
  if (ended_) {
    event->accept();
  } else {
    event->ignore();
  }
}

void QtBatchDialog::RequestClose() {
  // OnClose may pump messages while the capture worker ends; a second close
  // request meanwhile must not start a second guard.
  if (closing_ || ended_ || !controller_) {
    return;
  }
  closing_ = true;
  const bool accepted = controller_->OnClose();
  closing_ = false;
  if (accepted && !ended_) {
    EndDialog();
  }
}

void QtBatchDialog::RequestEnd() {
  // As RequestClose: never inside a close that is being handled, nor after the end.
  if (closing_ || ended_ || !controller_) {
    return;
  }
  closing_ = true;
  controller_->OnEndRequested();
  closing_ = false;
}

void QtBatchDialog::SetWindowTitle(std::u16string_view title) { setWindowTitle(ToQString(title)); }

void QtBatchDialog::SetTimer(unsigned id, unsigned milliseconds) {
  KillTimer(id);
  timers_[id] = startTimer(static_cast<int>(std::min(milliseconds, 0x7FFFFFFFu)));
}

void QtBatchDialog::KillTimer(unsigned id) {
  const auto found = timers_.find(id);
  if (found != timers_.end()) {
    killTimer(found->second);
    timers_.erase(found);
  }
}

void QtBatchDialog::timerEvent(QTimerEvent* event) {
  for (const auto& [id, qtId] : timers_) {
    if (qtId == event->timerId()) {
      listControl_->BeginRebuild();
      controller_->OnTimer(id);
      listControl_->EndRebuild();
      return;
    }
  }
  QDialog::timerEvent(event);
}

void QtBatchDialog::MessageBox(std::u16string_view text, std::u16string_view caption) {
  static_cast<void>(ShowBox(text, caption, QMessageBox::NoIcon, QMessageBox::Ok));
}

bool QtBatchDialog::AskYesNo(std::u16string_view text, std::u16string_view caption) {
  return ShowBox(text, caption, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                 QMessageBox::No) == QMessageBox::Yes;
}

// Modal, plain text, `defaultButton` also the answer to Esc when it is not OK.
int QtBatchDialog::ShowBox(std::u16string_view text, std::u16string_view caption,
                           QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                           QMessageBox::StandardButton defaultButton) {
  QMessageBox box(this);
  box.setWindowTitle(ToQString(caption));
  box.setTextFormat(Qt::PlainText);
  box.setText(ToQString(text));
  box.setIcon(icon);
  box.setStandardButtons(buttons);
  box.setDefaultButton(defaultButton);
  if (defaultButton != QMessageBox::Ok) box.setEscapeButton(defaultButton);
  return box.exec();
}

void QtBatchDialog::PostClose() {
  QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

std::optional<std::u16string> QtBatchDialog::OpenFileDialog() {
  return openFile_ ? openFile_(this) : std::nullopt;
}

std::optional<std::u16string> QtBatchDialog::SaveFileDialog(std::u16string_view suggestedName) {
  return saveFile_ ? saveFile_(this, suggestedName) : std::nullopt;
}

void QtBatchDialog::EndDialog() {
  ended_ = true;
  done(0);
}

bool QtBatchDialog::PumpMessagesUntil(const std::function<bool()>& done,
                                      std::chrono::milliseconds timeout) {
  // The workers' messages and painting only: a click meanwhile must not start
  // anything in a window that is about to close.
  const InputBlocker blocker(*this);
  QElapsedTimer elapsed;
  elapsed.start();
  while (!done() && elapsed.elapsed() < timeout.count()) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, kPumpSliceMs);
    if (!done()) {
      QThread::msleep(kPumpSliceMs);
    }
  }
  return done();
}

}  // namespace quilmarr
