#pragma once
// The main window in Qt 6 Widgets: the controls of the dialog template, the
// control adapters, and the routing of clicks, timer ticks, close requests
// and worker messages to the controller on the user-interface thread.
#include <QDialog>
#include <QMessageBox>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "ui/controls.h"
#include "ui/pendravel_batch_dlg.h"
#include "ui/qt/qt_controls.h"
#include "ui/qt/qt_device_list.h"
#include "ui/qt/qt_message_target.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quilmarr {

// The file-open dialog: the chosen full path, or nullopt on cancel.
using OpenFileFunction = std::function<std::optional<std::u16string>(QWidget* parent)>;

[[nodiscard]] std::optional<std::u16string> ShowOpenFileDialog(QWidget* parent);

// The file-save dialog for a CSV file: the chosen full path, or nullopt on cancel.
using SaveFileFunction =
    std::function<std::optional<std::u16string>(QWidget* parent, std::u16string_view suggested)>;

[[nodiscard]] std::optional<std::u16string> ShowSaveCsvDialog(QWidget* parent,
                                                              std::u16string_view suggested);

class QtBatchDialog final : public QDialog, private DialogHost {
  Q_OBJECT

 public:
  // Builds the window and runs the controller's OnInitDialog.
  explicit QtBatchDialog(FrontEndServices services, QWidget* parent = nullptr,
                         OpenFileFunction openFile = ShowOpenFileDialog);
  QtBatchDialog(const QtBatchDialog&) = delete;
  QtBatchDialog& operator=(const QtBatchDialog&) = delete;
  ~QtBatchDialog() override;

  // A system command from the context menu or F1 (the about item is the only one).
  void OnSysCommand(unsigned commandId);

  // The same close guard for the title bar, Esc and every other way of ending.
  void reject() override;

  // A request to end from outside (a termination signal): ends as a close
  // does, or, during a batch, closes by itself once the running updater has
  // finished and the other devices are skipped.
  void RequestEnd();

  // Replaces the file-save dialog (tests answer it themselves).
  void SetSaveFileFunction(SaveFileFunction saveFile) { saveFile_ = std::move(saveFile); }

  [[nodiscard]] CPendravelBatchDlg& Controller() noexcept { return *controller_; }
  [[nodiscard]] QPushButton& QueryButton() const noexcept { return *queryButton_; }
  [[nodiscard]] QPushButton& BatchUpdateButton() const noexcept { return *batchUpdateButton_; }
  [[nodiscard]] QPushButton& BrowseButton() const noexcept { return *browseButton_; }
  [[nodiscard]] QComboBox& AdapterCombo() const noexcept { return *adapterCombo_; }
  [[nodiscard]] QTableWidget& DeviceList() const noexcept;
  [[nodiscard]] QLineEdit& FileEdit() const noexcept { return *fileEdit_; }
  [[nodiscard]] MessageTarget& WorkerTarget() noexcept { return target_; }
  // The device list grows with the window; this is its size at the template size.
  [[nodiscard]] QSize TemplateSize() const noexcept { return templateSize_; }

 signals:
  void aboutRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // DialogHost
  void SetWindowTitle(std::u16string_view title) override;
  void SetTimer(unsigned id, unsigned milliseconds) override;
  void KillTimer(unsigned id) override;
  void MessageBox(std::u16string_view text, std::u16string_view caption) override;
  [[nodiscard]] bool AskYesNo(std::u16string_view text, std::u16string_view caption) override;
  void PostClose() override;
  [[nodiscard]] std::optional<std::u16string> OpenFileDialog() override;
  [[nodiscard]] std::optional<std::u16string> SaveFileDialog(
      std::u16string_view suggestedName) override;
  void EndDialog() override;
  bool PumpMessagesUntil(const std::function<bool()>& done,
                         std::chrono::milliseconds timeout) override;

  int ShowBox(std::u16string_view text, std::u16string_view caption, QMessageBox::Icon icon,
              QMessageBox::StandardButtons buttons,
              QMessageBox::StandardButton defaultButton = QMessageBox::Ok);

  void CreateControls();
  void PlaceControls();
  void RequestClose();

  QComboBox* adapterCombo_ = nullptr;
  DeviceTableWidget* deviceList_ = nullptr;
  QPushButton* queryButton_ = nullptr;
  QPushButton* batchUpdateButton_ = nullptr;
  QPushButton* browseButton_ = nullptr;
  QLineEdit* fileEdit_ = nullptr;
  QLabel* adapterLabel_ = nullptr;
  QLabel* devicesLabel_ = nullptr;
  QLabel* fileLabel_ = nullptr;
  QSize templateSize_;

  OpenFileFunction openFile_;
  SaveFileFunction saveFile_ = ShowSaveCsvDialog;
  QtMessageTarget target_;
  std::map<unsigned, int> timers_;  // controller's timer id -> Qt timer id
  bool closing_ = false;
  bool ended_ = false;

  std::unique_ptr<QtComboControl> comboControl_;
  std::unique_ptr<QtListControl> listControl_;
  std::unique_ptr<QtButtonControl> queryControl_;
  std::unique_ptr<QtButtonControl> batchUpdateControl_;
  std::unique_ptr<QtButtonControl> browseControl_;
  std::unique_ptr<QtEditControl> fileControl_;
  // Last: destroyed first, while the controls and the target still exist.
  std::unique_ptr<CPendravelBatchDlg> controller_;
};

}  // namespace quilmarr
