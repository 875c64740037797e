#pragma once
// Reads and drives the real main window through its widgets, as a user would
// see and touch it: rows as shown, ticks, buttons, the adapter box.
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <vector>

#include "ui/qt/qt_batch_dialog.h"

namespace quilmarr::test {

// One row of the device list as shown on screen.
struct ShownRow {
  bool ticked = false;
  QString ip;
  QString systemName;
  QString iedName;
  QString bootVersion;
  QString originalAppVersion;
  QString currentAppVersion;
  QString status;
};

class DialogProbe {
 public:
  explicit DialogProbe(QtBatchDialog& dialog) noexcept : dialog_(dialog) {}

  [[nodiscard]] std::vector<ShownRow> Rows() const;
  // Selects the adapter box entry whose text begins with `ip`; false when none does.
  bool SelectAdapter(const QString& ip);
  void Tick(int row);
  void ClickQuery();
  void ClickBatchUpdate();
  [[nodiscard]] QString QueryButtonText() const;

 private:
  // Finds a column by its header text with the padding blanks removed.
  [[nodiscard]] int Column(const QString& header) const;

  QtBatchDialog& dialog_;
};

// Handles events until `done` holds or `timeout` passes; `onEachSlice` runs
// after every slice of event handling. False on time-out.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               const std::function<void()>& onEachSlice = {});

// One line per row: "ticked|ip|system|ied|boot|original|current|status".
[[nodiscard]] QString FormatRow(const ShownRow& row);

}  // namespace quilmarr::test
