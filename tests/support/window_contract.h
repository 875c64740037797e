#pragma once
// What both main windows must do as windows, written once against a small
// driver: each front end's suite implements WindowDriver over its real window
// and runs every case of WindowContract(). The controller's own logic is
// tested in tests/ui; these cases check the wiring, the keys, the focus and
// default button, the modal boxes, the close wait and the list rebuild.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/sha256.h"
#include "platform/text.h"
#include "quilmarr_version.h"
#include "tests/support/fake_services.h"
#include "tests/support/lldp_frames.h"
#include "ui/pendravel_batch_dlg.h"

namespace quilmarr::test {

enum class Control { Query, BatchUpdate, Browse, Adapter, List, File };
enum class Key { Enter, KeypadEnter, Space, Escape };
// How the driver answers a Yes/No question: a click on a button, or Enter.
enum class Reply { Yes, No, Enter };

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const Rect&) const = default;
};
struct ShownBox {
  std::u16string caption, text;
  std::vector<std::u16string> buttons;
  std::u16string defaultButton;
  bool icon = false, modalOverTheWindow = false;
  bool operator==(const ShownBox&) const = default;
};
struct ShownColumn {
  std::u16string header;
  bool centred = false;
  int width = 0, fitted = 0;  // fitted: the width that shows the header whole
};

// The window's outside world; the driver opens its window over these.
struct WindowFakes {
  TempSettings settings;
  FakeInterfaceLister adapters{TwoAdapters()};
  std::shared_ptr<CaptureScript> capture = std::make_shared<CaptureScript>();
  FakeClock clock;
  FakeLauncher launcher;
  FakeSleepInhibitor sleep;
  std::optional<std::u16string> openFileAnswer, saveFileAnswer;
  int openFileCalls = 0;
  bool openFileOwnedByTheWindow = false;
  std::vector<std::u16string> saveFileSuggestions;
  Reply questionReply = Reply::Yes;

  // The file dialogs, as the window calls them.
  std::optional<std::u16string> OpenFile(bool ownedByTheWindow) {
    ++openFileCalls;
    openFileOwnedByTheWindow = ownedByTheWindow;
    return openFileAnswer;
  }
  std::optional<std::u16string> SaveFile(std::u16string_view suggested) {
    saveFileSuggestions.emplace_back(suggested);
    return saveFileAnswer;
  }
};

class WindowDriver : public WindowFakes {
 public:
  virtual ~WindowDriver() = default;
  virtual void Open() = 0;  // (again:) as at the program's next start, shown
  [[nodiscard]] virtual CPendravelBatchDlg& Controller() = 0;
  // Handles the window's events until `done` holds; false after `timeout`.
  virtual bool Until(const std::function<bool()>& done,
                     std::chrono::milliseconds timeout = kPatience) = 0;
  // Lets the refresh timer rebuild the list once.
  virtual void Refresh() = 0;

  virtual void Click(Control control) = 0;
  virtual void PostClick(Control control) = 0;  // queued, as a mouse click waits
  virtual void SelectAdapter(int index) = 0;
  virtual void Focus(Control control) = 0;  // as a mouse click gives it
  virtual void Press(Key key) = 0;          // on the focused control
  virtual void TickRow(int row) = 0;        // as the user does
  virtual void SetCurrentRow(int row) = 0;
  virtual void ScrollToEnd() = 0;
  // Picks an item of the list's context menu; false when it is absent or disabled.
  virtual bool ListCommand(std::u16string_view item) = 0;
  virtual bool RequestClose() = 0;  // true when the window has ended
  virtual void Resize(int dx, int dy) = 0;

  [[nodiscard]] virtual std::u16string Title() = 0;
  [[nodiscard]] virtual std::u16string Text(Control control) = 0;
  [[nodiscard]] virtual bool Enabled(Control control) = 0;
  [[nodiscard]] virtual bool FileReadOnly() = 0;
  [[nodiscard]] virtual bool LooksDefault(Control button) = 0;
  [[nodiscard]] virtual std::optional<Control> Focused() = 0;
  [[nodiscard]] virtual int AdapterSelection() = 0;
  [[nodiscard]] virtual Rect Geometry(Control control) = 0;  // in the window
  [[nodiscard]] virtual Rect TemplateGeometry(Control control) = 0;
  [[nodiscard]] virtual Rect WindowSize() = 0;
  [[nodiscard]] virtual std::vector<ShownColumn> Columns() = 0;
  [[nodiscard]] virtual int ListInnerWidth() = 0;
  [[nodiscard]] virtual int ListTextWidth(std::u16string_view text) = 0;
  [[nodiscard]] virtual int Rows() = 0;
  [[nodiscard]] virtual std::u16string Cell(int row, int column) = 0;
  [[nodiscard]] virtual bool Ticked(int row) = 0;
  [[nodiscard]] virtual int CurrentRow() = 0;
  [[nodiscard]] virtual int TopRow() = 0;
  [[nodiscard]] virtual bool Visible() = 0;
  // The message boxes shown since the last call, each answered with OK, or
  // a question as questionReply says.
  [[nodiscard]] virtual std::vector<ShownBox> TakeBoxes() = 0;

  void StartQuery() {
    const std::size_t opened = capture->Opened().size();
    SelectAdapter(0);
    Click(Control::Query);
    Until([&] { return capture->Opened().size() > opened; });
  }
  // Each device's frame goes through the capture; then one rebuild.
  void Announce(const std::vector<DeviceAnnouncement>& devices) {
    for (const DeviceAnnouncement& device : devices) capture->Push(LldpFrame(device));
    Until([&] { return capture->Idle(); });
    Refresh();
  }
  void ExportList() { static_cast<void>(ListCommand(kExportListItem)); }
  // Handles what is still queued, for a moment.
  void Settle() {
    Until([] { return false; }, std::chrono::milliseconds(50));
  }
  [[nodiscard]] bool CapturesEnded() const { return capture->freed == capture->created; }
  // The controls enabled now, in the order of Control.
  [[nodiscard]] std::vector<Control> EnabledNow() {
    std::vector<Control> enabled;
    for (int c = 0; c <= static_cast<int>(Control::File); ++c) {
      if (Enabled(Control(c))) enabled.push_back(Control(c));
    }
    return enabled;
  }
};

// Records a case's failed checks with their lines; the runner reports them.
struct Checks {
  std::vector<std::string> failed;
  bool operator()(bool ok, const char* what, int line) {
    if (!ok) failed.push_back("line " + std::to_string(line) + ": " + what);
    return ok;
  }
};
#define WC_CHECK(...) check((__VA_ARGS__), #__VA_ARGS__, __LINE__)
#define WC_REQUIRE(...) \
  if (!WC_CHECK(__VA_ARGS__)) return

struct ContractCase {
  std::string name;
  std::function<void(WindowDriver&, Checks&)> run;
};

namespace contract {

using enum Control;
using Controls = std::vector<Control>;

inline DeviceAnnouncement Device(std::uint8_t last, std::string_view name = "BAY-1") {
  return {{192, 168, 0, last}, name, "FEEDER_1", "1.0.2", "4.1.7"};
}

// A running query showing two devices, the second ticked, a package chosen
// through Browse and the updater held in its run.
inline void ReadyForABatch(WindowDriver& d) {
  static_cast<void>(d.settings.InstallUpdater());
  d.openFileAnswer = WritePackage(d.settings.Root() / "package.pck");
  d.launcher.Hold();
  d.Click(Browse);
  d.StartQuery();
  d.Announce({Device(10), Device(11)});
  d.TickRow(1);
}

inline void StartsWithTheTemplateControls(WindowDriver& d, Checks& check) {
  WC_CHECK(d.Title() == kWindowTitle && d.Text(BatchUpdate) == u"Batch Update" &&
           d.Text(Query) == u"Query Device" && d.Text(Browse) == u"Browse");
  WC_CHECK((d.EnabledNow() == Controls{Query, Browse, Adapter, File}));  // adapters exist
  // Nothing saved: nothing preselected, no package.
  WC_CHECK(d.AdapterSelection() == -1 && d.FileReadOnly() && d.Text(File).empty());
  // The first enabled tab stop; as a focused push button it is the default.
  WC_CHECK(d.Focused() == Query && d.LooksDefault(Query) && !d.LooksDefault(BatchUpdate));
  d.Focus(Adapter);  // then the template's default push button is
  WC_CHECK(d.LooksDefault(BatchUpdate) && !d.LooksDefault(Query));
}

// Seven centred columns fitted to their headers, the first 120 wide, the
// last filling the list also after a resize; the list grows with the window
// and what lies below it moves down; never smaller than the template.
inline void ListAndLayoutFollowTheWindow(WindowDriver& d, Checks& check) {
  const std::u16string headers[] = {u"  IP   ",
                                    u" Sys Name ",
                                    u" IED Name ",
                                    u" Boot Version ",
                                    u" Original App Version ",
                                    u" Current App Version ",
                                    u" Status "};
  const std::vector<ShownColumn> columns = d.Columns();
  WC_REQUIRE(columns.size() == 7 && columns[0].width == 120);
  int sum = 0;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    WC_CHECK(columns[c].header == headers[c] && columns[c].centred);
    WC_CHECK(c == 0 || columns[c].width >= columns[c].fitted);
    sum += columns[c].width;
  }
  const int status = columns.back().width;  // never cuts the word "Updating" short
  WC_CHECK(sum == d.ListInnerWidth() && status > d.ListTextWidth(u"Updating") + 8);

  for (const Control c : {List, Query, Browse, BatchUpdate, File}) {
    WC_CHECK(d.Geometry(c) == d.TemplateGeometry(c));
  }
  const Rect size = d.WindowSize();
  const Rect list = d.Geometry(List);
  d.Resize(100, 80);
  WC_CHECK(d.Geometry(List) == Rect{list.left, list.top, list.right + 100, list.bottom + 80} &&
           d.Geometry(Query) == d.TemplateGeometry(Query));
  for (const Control below : {Browse, BatchUpdate, File}) {
    const Rect from = d.TemplateGeometry(below);
    WC_CHECK((d.Geometry(below) == Rect{from.left, from.top + 80, from.right, from.bottom + 80}));
  }
  WC_CHECK(d.Columns().back().width == status + 100);
  d.Resize(-150, -130);
  WC_CHECK(d.WindowSize() == size && d.Geometry(List) == list);
}

// Which controls each mode enables is tested with the controller; here, that each
// window's controls follow it, and that Stop Query waits for the worker.
inline void ControlStatesFollowQueryAndStop(WindowDriver& d, Checks& check) {
  d.StartQuery();
  WC_CHECK(d.capture->Opened() == std::vector<std::string>{"adapter-a"});
  WC_CHECK(d.Text(Query) == u"Stop Query" &&
           d.EnabledNow() == Controls{Query, BatchUpdate, Browse, List, File});

  d.Announce({{{192, 168, 0, 10}, "SYS_A", "IED_1", "1.0", "2.0"},
              {{192, 168, 0, 11}, "SYS_B", "IED_2", "1.0", "2.1"}});
  WC_REQUIRE(d.Rows() == 2);
  const std::u16string first[] = {u"192.168.0.10", u"SYS_A", u"IED_1", u"1.0", u"2.0", u"2.0", u""};
  for (int column = 0; column < 7; ++column) WC_CHECK(d.Cell(0, column) == first[column]);
  WC_CHECK(d.Cell(1, 0) == u"192.168.0.11" && !d.Ticked(1));

  d.Click(Query);  // Stop Query: disabled until the worker has reported
  WC_CHECK(!d.Enabled(Query));
  WC_REQUIRE(d.Until([&] { return d.Controller().Mode() == UiMode::Idle; }));
  WC_CHECK((d.EnabledNow() == Controls{Query, Browse, Adapter, File}));
  WC_CHECK(d.Text(Query) == u"Query Device" && d.Rows() == 2);  // the last rows stay
  WC_CHECK(d.Until([&] { return d.CapturesEnded(); }));
}

inline void RebuildKeepsTicksScrollAndCurrentRow(WindowDriver& d, Checks& check) {
  d.StartQuery();
  std::vector<DeviceAnnouncement> devices;
  for (std::uint8_t last = 10; last < 50; ++last) devices.push_back(Device(last));
  d.Announce(devices);
  WC_REQUIRE(d.Rows() == 40);
  d.TickRow(2);
  d.TickRow(30);
  d.SetCurrentRow(30);
  d.ScrollToEnd();
  const int top = d.TopRow();
  d.Refresh();
  WC_CHECK(top > 0 && d.TopRow() == top && d.CurrentRow() == 30);
  for (int row = 0; row < d.Rows(); ++row) WC_CHECK(d.Ticked(row) == (row == 2 || row == 30));
}

// Through the list's own command; a file that cannot be written is said.
inline void ExportListWritesTheRowsShown(WindowDriver& d, Checks& check) {
  d.StartQuery();
  d.Announce({Device(10), Device(11)});
  const std::filesystem::path file = d.settings.Root() / "list, 1.csv";
  d.saveFileAnswer = file.u16string();
  d.ExportList();
  const std::string row = ",\"BAY-1\",\"FEEDER_1\",\"1.0.2\",\"4.1.7\",\"4.1.7\",\"\"\r\n";
  WC_CHECK(d.saveFileSuggestions == std::vector<std::u16string>{u"devices.csv"} &&
           ReadBytes(file) ==
               "\"IP\",\"Sys Name\",\"IED Name\",\"Boot Version\",\"Original App "
               "Version\",\"Current App Version\",\"Status\"\r\n\"192.168.0.10\"" +
                   row + "\"192.168.0.11\"" + row);
  d.saveFileAnswer = (d.settings.Root() / "missing" / "x.csv").u16string();
  (void)d.TakeBoxes();
  d.ExportList();
  const std::vector<ShownBox> boxes = d.TakeBoxes();
  WC_CHECK(boxes.size() == 1 &&
           boxes[0].text == u"The list could not be written: " + *d.saveFileAnswer);
  d.saveFileAnswer.reset();  // cancelled
  d.ExportList();
  WC_CHECK(d.TakeBoxes().empty());
}

// The roster's state in Status from its opening to its closing, also at the
// next start; its audit as CSV; a ticked device at its target is left out.
inline void ARosterShowsEachRowsStateAndItsAudit(WindowDriver& d, Checks& check) {
  ReadyForABatch(d);  // .11 ticked
  d.Announce({Device(12)});
  WC_CHECK(!d.ListCommand(kCloseRosterItem) && !d.ListCommand(kExportAuditItem));
  d.openFileAnswer = (d.settings.Root() / "site.csv").u16string();
  WriteBytes(*d.openFileAnswer,
             "IP,System Name,IED Name,Target App Version,Update\n"
             "192.168.0.10,BAY-1,FEEDER_1,4.2.0,yes\n192.168.0.11,,,4.1.7,yes\n");
  WC_CHECK(d.ListCommand(kOpenRosterItem) && d.Cell(0, 6) == u"Off target" &&
           d.Cell(1, 6) == u"At target" && d.Cell(2, 6) == u"Not on roster");
  d.saveFileAnswer = (d.settings.Root() / "audit.csv").u16string();
  WC_CHECK(d.ListCommand(kExportAuditItem) && d.saveFileSuggestions.back() == u"audit.csv" &&
           ReadBytes(*d.saveFileAnswer)
               .starts_with("\"IP\",\"State\",\"System Name\",\"IED Name\",\"App "
                            "Version\",\"Target App Version\"\r\n\"192.168.0.10\",\"Off target\""));
  d.questionReply = Reply::No;
  (void)d.TakeBoxes();
  d.Click(BatchUpdate);
  const std::vector<ShownBox> asked = d.TakeBoxes();
  WC_CHECK(asked.size() == 1 &&
           asked[0].text.starts_with(u"Update 0 devices with package.pck? 1 ticked device "
                                     u"already runs its target and is left out."));
  d.Open();  // the next start reopens it
  d.StartQuery();
  d.Announce({Device(10)});
  WC_CHECK(d.Cell(0, 6) == u"Off target" && d.ListCommand(kCloseRosterItem) &&
           d.Cell(0, 6).empty());
  WC_CHECK(d.settings.Read(settings::kSectionQuilmarr, settings::kKeyRosterFile).empty());
}

inline void BrowsePutsTheChosenPathIntoTheFileField(WindowDriver& d, Checks& check) {
  d.openFileAnswer = u"/srv/fw dir/package.pck";
  d.Click(Browse);
  WC_CHECK(d.Text(File) == u"/srv/fw dir/package.pck" && d.openFileOwnedByTheWindow);
  d.openFileAnswer.reset();  // cancelled
  d.Click(Browse);
  WC_CHECK(d.Text(File) == u"/srv/fw dir/package.pck" && d.openFileCalls == 2);
}

// Updating: every control but the file field is disabled and the focus goes
// there; the device run now says so; close and Esc are refused with a box
// until the batch has ended and the capture's worker has returned.
inline void BatchMarksTheDeviceAndCloseIsRefusedUntilItEnds(WindowDriver& d, Checks& check) {
  ReadyForABatch(d);
  d.Click(BatchUpdate);
  WC_CHECK(d.EnabledNow() == Controls{File});
  // Once the window is active again after the question.
  WC_CHECK(d.Until([&] { return d.Focused() == File; }));
  WC_REQUIRE(d.Until([&] {
    if (d.launcher.CallCount() != 1) return false;
    d.Refresh();
    return d.Cell(1, 6) == u"Updating";
  }));
  WC_CHECK(d.Cell(0, 6).empty());

  (void)d.TakeBoxes();
  WC_CHECK(!d.RequestClose());
  d.Press(Key::Escape);
  const std::vector<ShownBox> refusals = d.TakeBoxes();
  WC_CHECK(refusals.size() == 2 && d.Visible());
  for (const ShownBox& box : refusals) WC_CHECK(box.text == u"Please wait update interrupt");

  d.launcher.ReleaseAll();
  WC_REQUIRE(d.Until([&] { return d.Controller().Mode() == UiMode::Querying; }));
  d.Refresh();
  WC_CHECK(d.Cell(1, 6) == u"Done" && d.Ticked(1));  // the outcome instead of the marker
  WC_CHECK(d.Until([&] { return d.RequestClose(); }) && !d.Visible() && d.CapturesEnded());
}

// While the close waits for a slow capture to end, a click already queued
// must not start a batch in the window that is closing.
inline void TheCloseWaitHandlesTheWorkerButNoInput(WindowDriver& d, Checks& check) {
  ReadyForABatch(d);
  d.capture->readTimeoutMs = 400;
  d.capture->interruptible = false;
  const int reads = d.capture->reads.load();
  WC_REQUIRE(d.Until([&] { return d.capture->reads.load() > reads; }));  // now in a long read
  d.PostClick(BatchUpdate);
  WC_CHECK(d.RequestClose() && d.TakeBoxes().empty() && !d.Visible() && d.CapturesEnded());
  WC_CHECK(d.Controller().Mode() == UiMode::Idle);  // the worker's stop was handled
  d.Settle();
  WC_CHECK(d.launcher.CallCount() == 0 &&
           d.settings.Read(settings::kSectionQuilmarr, settings::kKeyPckFile).empty());
}

// Batch Update asks first, naming the package file, the number of ticked
// devices and the package's SHA-256, with No the default: only Yes starts the
// batch, whose device count the title shows while it runs.
inline void AsksBeforeABatch(Reply reply, WindowDriver& d, Checks& check) {
  ReadyForABatch(d);
  d.questionReply = reply;
  (void)d.TakeBoxes();
  d.Click(BatchUpdate);
  const std::string sha256 = FileSha256(d.settings.Root() / "package.pck").value_or("?");
  WC_CHECK((d.TakeBoxes() ==
            std::vector<ShownBox>{
                {u"Batch Update",
                 u"Update 1 device with package.pck?\n\nPackage SHA-256: " + FromUtf8(sha256),
                 {u"&Yes", u"&No"},
                 u"&No",
                 true,
                 true}}));
  if (reply == Reply::Yes) {
    WC_CHECK(d.Until(
        [&] { return d.Title() == u"Quilmarr " QUILMARR_VERSION_TEXT " - updating 1 of 1"; }));
    d.launcher.ReleaseAll();
    WC_CHECK(d.Until([&] { return d.Controller().Mode() == UiMode::Querying; }) &&
             d.Title() == kWindowTitle);
    return;
  }
  d.Settle();
  WC_CHECK(d.launcher.CallCount() == 0 && d.Controller().Mode() == UiMode::Querying &&
           d.settings.Read(settings::kSectionQuilmarr, settings::kKeyPckFile).empty());
}

// An error box is modal over the window, captioned "Error", with one OK and
// no icon; afterwards the window is idle again.
inline void ShowsAnErrorBox(int adapter, bool opens, std::u16string_view text, WindowDriver& d,
                            Checks& check) {
  d.capture->opens = opens;
  d.SelectAdapter(adapter);
  d.Click(Query);
  std::vector<ShownBox> boxes;
  WC_REQUIRE(d.Until([&] {
    for (ShownBox& box : d.TakeBoxes()) boxes.push_back(std::move(box));
    return !boxes.empty() && d.CapturesEnded() && d.Controller().Mode() == UiMode::Idle;
  }));
  const ShownBox error{u"Error", std::u16string(text), {u"OK"}, boxes[0].defaultButton, false,
                       true};
  WC_CHECK(boxes == std::vector<ShownBox>{error});
  WC_CHECK(d.Enabled(Query) && d.Text(Query) == u"Query Device");
}

// Enter presses the focused push button, and elsewhere the default button,
// Batch Update, while that is enabled; Space presses the focused button.
// Esc is a close request. Before each key the window is ready for a batch
// (or, "idle", only has an adapter chosen).
enum Outcome { Nothing, Queries, StopsTheQuery, Browses, Batches, Closes };
inline void KeyDoes(bool idle, Control focus, Key key, Outcome outcome, WindowDriver& d,
                    Checks& check) {
  idle ? d.SelectAdapter(0) : ReadyForABatch(d);
  const int dialogs = d.openFileCalls;
  d.Focus(focus);
  const bool onButton = focus == Query || focus == Browse;
  WC_CHECK(d.Focused() == focus &&
           ((idle && !onButton) || d.LooksDefault(onButton ? focus : BatchUpdate)));
  d.Press(key);
  WC_CHECK(d.TakeBoxes().size() == (outcome == Batches ? 1u : 0u));  // the question
  WC_CHECK(d.openFileCalls == dialogs + (outcome == Browses ? 1 : 0));
  if (outcome == Queries) {
    WC_CHECK(d.Until([&] { return d.capture->Opened().size() == 1; }));
  } else if (idle) {
    WC_CHECK(d.Controller().Mode() == UiMode::Idle && d.capture->Opened().empty());
  } else {  // Stop Query reached the capture; closing ends it too
    WC_CHECK((d.capture->interrupts > 0) == (outcome == StopsTheQuery || outcome == Closes));
  }
  WC_CHECK((d.Controller().Mode() == UiMode::Updating) == (outcome == Batches));
  if (outcome == Batches) WC_CHECK(d.Until([&] { return d.launcher.CallCount() == 1; }));
  WC_CHECK(d.Visible() == (outcome != Closes) && (outcome != Closes || d.CapturesEnded()));
  d.Settle();
  WC_CHECK(d.launcher.CallCount() == (outcome == Batches ? 1u : 0u));
}

}  // namespace contract

inline std::vector<ContractCase> WindowContract() {
  using namespace contract;
#define WC_CASE(name) ContractCase{#name, name}
  std::vector<ContractCase> cases = {WC_CASE(StartsWithTheTemplateControls),
                                     WC_CASE(ListAndLayoutFollowTheWindow),
                                     WC_CASE(ControlStatesFollowQueryAndStop),
                                     WC_CASE(RebuildKeepsTicksScrollAndCurrentRow),
                                     WC_CASE(ExportListWritesTheRowsShown),
                                     WC_CASE(ARosterShowsEachRowsStateAndItsAudit),
                                     WC_CASE(BrowsePutsTheChosenPathIntoTheFileField),
                                     WC_CASE(BatchMarksTheDeviceAndCloseIsRefusedUntilItEnds),
                                     WC_CASE(TheCloseWaitHandlesTheWorkerButNoInput)};
#undef WC_CASE
  for (const auto& [name, adapter, opens, text] :
       {std::tuple{"NoAdapter", -1, true, u"Please select a network adapter"},
        {"OpenFails", 0, false, u"Open adapter failed"}}) {
    cases.push_back(
        {std::string("ErrorBox") + name, std::bind_front(ShowsAnErrorBox, adapter, opens, text)});
  }
  for (const auto& [name, idle, focus, key, outcome] :
       {std::tuple{"EnterIdleInTheAdapterBox", true, Adapter, Key::Enter, Nothing},
        {"EnterIdleInTheFileField", true, File, Key::Enter, Nothing},
        {"EnterIdleOnQueryDevice", true, Query, Key::Enter, Queries},
        {"EnterOnStopQuery", false, Query, Key::Enter, StopsTheQuery},
        {"KeypadEnterOnStopQuery", false, Query, Key::KeypadEnter, StopsTheQuery},
        {"SpaceOnStopQuery", false, Query, Key::Space, StopsTheQuery},
        {"EnterOnBrowse", false, Browse, Key::Enter, Browses},
        {"SpaceOnBrowse", false, Browse, Key::Space, Browses},
        {"EnterInTheList", false, List, Key::Enter, Batches},
        {"EnterInTheFileField", false, File, Key::Enter, Batches},
        {"EscapeInTheList", false, List, Key::Escape, Closes}}) {
    cases.push_back(
        {std::string("Key") + name, std::bind_front(KeyDoes, idle, focus, key, outcome)});
  }
  for (const auto& [name, reply] :
       {std::pair{"Yes", Reply::Yes}, {"No", Reply::No}, {"Enter", Reply::Enter}}) {
    cases.push_back({std::string("Question") + name, std::bind_front(AsksBeforeABatch, reply)});
  }
  return cases;
}

}  // namespace quilmarr::test
