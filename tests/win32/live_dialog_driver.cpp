// win32_live_driver: the real Windows main window on the real services
// (wpcap.dll, the Windows INI functions in the user's application-data
// folder, CreateProcessW), created modeless and walked through a query and a
// batch with window messages, as a user would: pick the adapter by its
// address, Query Device, tick rows, choose the package, Batch Update, wait
// until the ticked devices are back with the new version, close.
//
//   win32_live_driver --adapter-ip IP --devices N --tick ROW [--tick ROW...]
//                     --package PATH --new-version V [--timeout SECONDS]
//
// Standard output, in the demo driver's format (tests/e2e/driver_report.h):
// "settings PATH" (the settings file the window uses), "adapter TEXT", then
// "rows STAGE" and one "row ticked|ip|system|ied|boot|original|current|status"
// per row at each stage, "updating IP" each time the "Updating" mark reaches
// another row, "box CAPTION: TEXT" for each message box, "closed" once the
// close guard ended the dialog, and last "result ok" (exit 0) or
// "result failed: WHY" (exit 1). The package's file dialog is answered with
// --package; everything else is the program's own.
#include "ui/win32/windows_api.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/win32/win32_dialog_services.h"
#include "modal_watcher.h"
#include "platform/text.h"
#include "res/resource.h"
#include "ui/win32/win32_batch_dialog.h"
#include "ui/win32/win32_text.h"
#include "update/batch_outcomes.h"

namespace quilmarr::test {
namespace {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

constexpr std::u16string_view kUpdating = u"Updating";

struct Options {
  std::u16string adapterIp;
  int devices = 0;
  std::vector<int> tickRows;
  std::u16string package;
  std::u16string newVersion;
  std::chrono::seconds timeout{30};
};

// Nullopt on a malformed command line.
std::optional<Options> ParseOptions(int argc, wchar_t** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::wstring_view name = argv[i];
    const std::u16string value = FromWide(argv[i + 1]);
    const int number = static_cast<int>(std::wcstol(argv[i + 1], nullptr, 10));
    if (name == L"--adapter-ip") {
      options.adapterIp = value;
    } else if (name == L"--devices") {
      options.devices = number;
    } else if (name == L"--tick") {
      options.tickRows.push_back(number);
    } else if (name == L"--package") {
      options.package = value;
    } else if (name == L"--new-version") {
      options.newVersion = value;
    } else if (name == L"--timeout") {
      options.timeout = std::chrono::seconds(number);
    } else {
      return std::nullopt;
    }
  }
  if (argc % 2 == 0 || options.adapterIp.empty() || options.devices <= 0 ||
      options.tickRows.empty() || options.package.empty() || options.newVersion.empty()) {
    return std::nullopt;
  }
  return options;
}

void Say(std::u16string_view line) {
  std::fputs((ToUtf8(line) + '\n').c_str(), stdout);
  std::fflush(stdout);
}

struct ShownRow {
  bool ticked = false;
  std::array<std::u16string, 7> cells;  // IP ... Status, as the columns are ordered
};

constexpr std::array<std::u16string_view, 7> kColumnHeaders = {u"IP",
                                                               u"Sys Name",
                                                               u"IED Name",
                                                               u"Boot Version",
                                                               u"Original App Version",
                                                               u"Current App Version",
                                                               u"Status"};
constexpr std::size_t kIp = 0;
constexpr std::size_t kCurrentApp = 5;
constexpr std::size_t kStatus = 6;

std::u16string Trimmed(std::u16string text) {
  const auto first = text.find_first_not_of(u' ');
  if (first == std::u16string::npos) return {};
  return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

// False while the row's device waits, runs or is still watched.
bool ShowsFinalOutcome(std::u16string_view status) {
  for (const DeviceOutcome pending :
       {DeviceOutcome::Waiting, DeviceOutcome::Updating, DeviceOutcome::Done}) {
    DeviceResult result;
    result.outcome = pending;
    if (status == OutcomeText(result)) return false;
  }
  return true;
}

class Walkthrough {
 public:
  Walkthrough(Win32BatchDialog& dialog, const Options& options, const ModalWatcher& boxes)
      : dialog_(dialog), options_(options), boxes_(boxes) {}

  // Empty on success, else what went wrong.
  std::u16string Run() {
    if (!SelectAdapter()) return u"adapter " + options_.adapterIp + u" not offered";
    Click(IDC_BUTTON_QUERY);
    if (!PumpUntil([&] { return RowCount() >= options_.devices; })) {
      return u"fewer than " + FromUtf8(std::to_string(options_.devices)) + u" devices listed";
    }
    Stage(u"devices");

    for (const int row : options_.tickRows) Tick(row);
    std::vector<std::u16string> tickedIps;
    for (const ShownRow& row : Rows()) {
      if (row.ticked) tickedIps.push_back(row.cells[kIp]);
    }
    Stage(u"ticked");

    Click(IDC_BUTTON_BROWSE);
    if (WindowText(Item(IDC_EDIT_FILE)) != options_.package) return u"package not chosen";
    Click(IDC_BUTTON_BATCH_UPDATE);
    if (dialog_.Controller().Mode() != UiMode::Updating) return u"batch did not start";
    if (!PumpUntil([&] { return dialog_.Controller().Mode() == UiMode::Querying; })) {
      return u"batch did not end";
    }
    // Back with the new version, and the watch over: the row shows the outcome.
    const auto allBack = [&] {
      const std::vector<ShownRow> rows = Rows();
      return std::all_of(tickedIps.begin(), tickedIps.end(), [&](const std::u16string& ip) {
        return std::any_of(rows.begin(), rows.end(), [&](const ShownRow& row) {
          return row.cells[kIp] == ip && row.cells[kCurrentApp] == options_.newVersion &&
                 ShowsFinalOutcome(row.cells[kStatus]);
        });
      });
    };
    if (!PumpUntil(allBack)) return u"the ticked devices did not come back";
    Stage(u"updated");

    SendMessageW(dialog_.Window(), WM_CLOSE, 0, 0);
    if (!PumpUntil([&] { return dialog_.Ended(); })) return u"did not close";
    // The close waits for the capture's own report of its end.
    if (dialog_.Controller().Mode() != UiMode::Idle) return u"the capture outlived the close";
    Say(u"closed");
    return {};
  }

 private:
  [[nodiscard]] HWND Item(int id) const { return GetDlgItem(dialog_.Window(), id); }
  void Click(int id) { SendMessageW(Item(id), BM_CLICK, 0, 0); }

  bool SelectAdapter() {
    const HWND combo = Item(IDC_COMBO_ADAPTER);
    const auto count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
      const auto length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
      if (length <= 0) continue;
      std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
      SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(text.data()));
      text.resize(static_cast<std::size_t>(length));
      if (FromWide(text).starts_with(options_.adapterIp + u' ')) {
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(dialog_.Window(), WM_COMMAND, MAKEWPARAM(IDC_COMBO_ADAPTER, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
        Say(u"adapter " + FromWide(text));
        return true;
      }
    }
    return false;
  }

  [[nodiscard]] int RowCount() const { return ListView_GetItemCount(Item(IDC_LIST_DEVICES)); }

  // The state image of the row's check box, as a click on it sets it.
  void Tick(int row) const {
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(2);
    SendMessageW(Item(IDC_LIST_DEVICES), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
  }

  // Each column found by its header text without the padding blanks.
  [[nodiscard]] std::vector<ShownRow> Rows() const {
    const HWND list = Item(IDC_LIST_DEVICES);
    const HWND header = ListView_GetHeader(list);
    std::array<int, kColumnHeaders.size()> columns{};
    columns.fill(-1);
    const int columnCount = Header_GetItemCount(header);
    for (int column = 0; column < columnCount; ++column) {
      const std::u16string text = Trimmed(HeaderText(header, column));
      const auto* known = std::find(kColumnHeaders.begin(), kColumnHeaders.end(), text);
      if (known != kColumnHeaders.end()) {
        columns[static_cast<std::size_t>(known - kColumnHeaders.begin())] = column;
      }
    }
    std::vector<ShownRow> rows(static_cast<std::size_t>(RowCount()));
    for (std::size_t row = 0; row < rows.size(); ++row) {
      const int index = static_cast<int>(row);
      rows[row].ticked = ListView_GetCheckState(list, index) != FALSE;
      for (std::size_t field = 0; field < columns.size(); ++field) {
        if (columns[field] >= 0) rows[row].cells[field] = CellText(list, index, columns[field]);
      }
    }
    return rows;
  }

  static std::u16string HeaderText(HWND header, int column) {
    std::array<wchar_t, 128> text{};
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    Header_GetItem(header, column, &item);
    return FromWide(text.data());
  }

  static std::u16string CellText(HWND list, int row, int column) {
    std::array<wchar_t, 512> text{};
    ListView_GetItemText(list, row, column, text.data(), static_cast<int>(text.size()));
    return FromWide(text.data());
  }

  void Stage(std::u16string_view name) const {
    Say(u"rows " + std::u16string(name));
    for (const ShownRow& row : Rows()) {
      std::u16string line = u"row ";
      line += row.ticked ? u"x" : u"-";
      for (const std::u16string& cell : row.cells) line += u"|" + cell;
      Say(line);
    }
  }

  // Handles messages as the program's loop does (IsDialogMessageW first),
  // notes each new "Updating" row and each message box, until `done` holds.
  bool PumpUntil(const std::function<bool()>& done) {
    const auto deadline = SteadyClock::now() + options_.timeout;
    for (;;) {
      NoteUpdatingRow();
      NoteBoxes();
      if (done()) return true;
      if (SteadyClock::now() >= deadline) return false;
      MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        const HWND window = dialog_.Window();
        if (window == nullptr || !IsDialogMessageW(window, &message)) {
          TranslateMessage(&message);
          DispatchMessageW(&message);
        }
      }
    }
  }

  void NoteUpdatingRow() {
    if (dialog_.Window() == nullptr || dialog_.Ended()) return;
    for (const ShownRow& row : Rows()) {
      if (row.cells[kStatus] == kUpdating && row.cells[kIp] != lastUpdating_) {
        lastUpdating_ = row.cells[kIp];
        Say(u"updating " + lastUpdating_);
      }
    }
  }

  void NoteBoxes() {
    for (; boxesSaid_ < boxes_.seen.size(); ++boxesSaid_) {
      const SeenDialog& box = boxes_.seen[boxesSaid_];
      std::wstring text;
      for (const std::wstring& part : box.texts) text += part;
      // The batch's question, answered Yes, is not one of the boxes a test counts.
      const bool question =
          std::find(box.buttons.begin(), box.buttons.end(), L"&Yes") != box.buttons.end();
      Say((question ? u"asked " : u"box ") + FromWide(box.caption) + u": " +
          FromWide(text.substr(0, text.find(L'\n'))));
    }
  }

  Win32BatchDialog& dialog_;
  const Options& options_;
  const ModalWatcher& boxes_;
  std::u16string lastUpdating_;
  std::size_t boxesSaid_ = 0;
};

int Drive(const Options& options) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  std::u16string failure;
  {
    PlatformServices services;
    // Every message box is recorded and closed with OK, as a user would.
    ModalWatcher boxes;
    Win32DialogOptions dialogOptions;
    dialogOptions.openFile = [&options](HWND) { return options.package; };
    Win32BatchDialog dialog(Win32ServicesFor(services), std::move(dialogOptions));
    Say(u"settings " + services.settings.FilePath());
    if (dialog.CreateModeless() == nullptr) {
      failure = u"no window";
    } else {
      failure = Walkthrough(dialog, options, boxes).Run();
    }
    // The dialog goes first, writing [UDP] back; then the services.
  }
  Say(failure.empty() ? u"result ok" : u"result failed: " + failure);
  return failure.empty() ? 0 : 1;
}

}  // namespace
}  // namespace quilmarr::test

int wmain(int argc, wchar_t** argv) {
  const auto options = quilmarr::test::ParseOptions(argc, argv);
  if (!options) {
    std::fputs(
        "usage: win32_live_driver --adapter-ip IP --devices N --tick ROW... --package PATH "
        "--new-version V [--timeout SECONDS]\n",
        stderr);
    return 2;
  }
  return quilmarr::test::Drive(*options);
}
