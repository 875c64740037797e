#pragma once
// Controls and window services that remember what the controller did to them.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "ui/controls.h"
#include "tests/support/recording_target.h"

namespace quilmarr::test {

class FakeButton final : public ButtonControl {
 public:
  FakeButton(std::u16string text, bool enabled) : text_(std::move(text)), enabled_(enabled) {}
  void Enable(bool enabled) override {
    enabled_ = enabled;
    ++enableCalls;
  }
  [[nodiscard]] bool IsEnabled() const override { return enabled_; }
  void SetText(std::u16string_view text) override {
    text_ = text;
    ++textCalls;
  }
  [[nodiscard]] std::u16string Text() const override { return text_; }
  int enableCalls = 0;
  int textCalls = 0;

 private:
  std::u16string text_;
  bool enabled_;
};

class FakeCombo final : public ComboControl {
 public:
  int AddString(std::u16string_view text) override {
    items.emplace_back(text);
    return static_cast<int>(items.size()) - 1;
  }
  void SetCurSel(int index) override { selection = index; }
  [[nodiscard]] int GetCurSel() const override { return selection; }
  [[nodiscard]] int GetCount() const override { return static_cast<int>(items.size()); }
  void Enable(bool enabled) override {
    enabled_ = enabled;
    ++enableCalls;
  }
  [[nodiscard]] bool IsEnabled() const override { return enabled_; }
  std::vector<std::u16string> items;
  int selection = -1;
  int enableCalls = 0;

 private:
  bool enabled_ = true;
};

struct FakeColumn {
  std::u16string header;
  int width = 0;
};
struct FakeRow {
  std::vector<std::u16string> cells;
  bool checked = false;
};

// Indexes are checked with at(), so an out-of-range call fails the test.
class FakeList final : public ListControl {
 public:
  void AddReportStyle() override {}
  void SetExtendedStyle(unsigned) override {}
  int InsertColumn(int index, std::u16string_view header, int width) override {
    const auto at = std::min(static_cast<std::size_t>(index), columns.size());
    columns.insert(columns.begin() + static_cast<std::ptrdiff_t>(at),
                   FakeColumn{std::u16string(header), width});
    return static_cast<int>(at);
  }
  void DeleteColumn(int index) override {
    columns.erase(columns.begin() + static_cast<std::ptrdiff_t>(Index(index, columns.size())));
  }
  void SetColumnWidth(int index, int width) override {
    columns.at(static_cast<std::size_t>(index)).width = width;
  }
  void DeleteAllItems() override { rows.clear(); }
  [[nodiscard]] int GetItemCount() const override { return static_cast<int>(rows.size()); }
  int InsertItem(int index, std::u16string_view text) override {
    const auto at = Index(index, rows.size() + 1);
    FakeRow row;
    row.cells.resize(columns.size());
    row.cells.at(0) = text;
    rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
    return static_cast<int>(at);
  }
  void SetItemText(int row, int column, std::u16string_view text) override {
    rows.at(static_cast<std::size_t>(row)).cells.at(static_cast<std::size_t>(column)) = text;
  }
  [[nodiscard]] std::u16string GetItemText(int row, int column) const override {
    return rows.at(static_cast<std::size_t>(row)).cells.at(static_cast<std::size_t>(column));
  }
  void SetCheck(int row, bool checked) override {
    rows.at(static_cast<std::size_t>(row)).checked = checked;
  }
  [[nodiscard]] bool GetCheck(int row) const override {
    return rows.at(static_cast<std::size_t>(row)).checked;
  }
  void Enable(bool enabled) override {
    enabled_ = enabled;
    ++enableCalls;
  }
  [[nodiscard]] bool IsEnabled() const override { return enabled_; }
  void BeginRebuild() override { ++rebuildsBegun; }
  void EndRebuild() override { ++rebuildsEnded; }

  std::vector<FakeColumn> columns;
  std::vector<FakeRow> rows;
  int enableCalls = 0;
  int rebuildsBegun = 0;
  int rebuildsEnded = 0;

 private:
  static std::size_t Index(int index, std::size_t limit) {
    if (index < 0 || static_cast<std::size_t>(index) >= limit) {
      throw std::out_of_range("list index");
    }
    return static_cast<std::size_t>(index);
  }
  bool enabled_ = false;
};

class FakeEdit final : public EditControl {
 public:
  void SetText(std::u16string_view text) override { text_ = text; }
  [[nodiscard]] std::u16string Text() const override { return text_; }

 private:
  std::u16string text_;
};

struct ShownBox {
  std::u16string text;
  std::u16string caption;
};

class FakeHost final : public DialogHost {
 public:
  explicit FakeHost(RecordingTarget& queue) : queue_(queue) {}
  void SetWindowTitle(std::u16string_view) override {}
  void SetTimer(unsigned id, unsigned milliseconds) override {
    timers[id] = milliseconds;
    ++setTimerCalls;
  }
  void KillTimer(unsigned id) override {
    timers.erase(id);
    ++killTimerCalls;
  }
  void MessageBox(std::u16string_view text, std::u16string_view caption) override {
    boxes.push_back({std::u16string(text), std::u16string(caption)});
  }
  // The windows' contract answers the file dialogs and the question.
  [[nodiscard]] std::optional<std::u16string> OpenFileDialog() override { return std::nullopt; }
  [[nodiscard]] std::optional<std::u16string> SaveFileDialog(std::u16string_view) override {
    return std::nullopt;
  }
  void EndDialog() override { ++endDialogCalls; }
  bool AskYesNo(std::u16string_view, std::u16string_view) override { return true; }
  void SetProgress(std::size_t done, std::size_t total) override {
    progress = {done, total};
    progressHistory.push_back(progress);
  }
  void PostClose() override {}
  bool PumpMessagesUntil(const std::function<bool()>& done,
                         std::chrono::milliseconds timeout) override {
    return queue_.PumpUntil(done, timeout);
  }

  [[nodiscard]] std::vector<std::u16string> BoxTexts() const {
    std::vector<std::u16string> texts;
    for (const ShownBox& box : boxes) {
      texts.push_back(box.text);
    }
    return texts;
  }

  std::pair<std::size_t, std::size_t> progress;
  std::vector<std::pair<std::size_t, std::size_t>> progressHistory;
  std::map<unsigned, unsigned> timers;
  int setTimerCalls = 0;
  int killTimerCalls = 0;
  std::vector<ShownBox> boxes;
  int endDialogCalls = 0;

 private:
  RecordingTarget& queue_;
};

}  // namespace quilmarr::test
