// The real main window on the offscreen platform, with fake adapters, a fake
// capture source fed from this thread through the worker's blocking path, and
// a real settings file in a temporary folder: the window contract shared with
// the Windows window, then what only the Qt window does.
#include <QAccessible>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <csignal>
#include <memory>
#include <utility>

#include "app/about_dlg.h"
#include "qt_test_support.h"
#include "res/dialog_layout.h"
#include "tests/support/window_contract.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/qt_batch_dialog.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/termination_signals.h"

using namespace quilmarr;
using namespace quilmarr::test;

namespace {

class QtWindowDriver final : public WindowDriver {
 public:
  QtWindowDriver() {
    catcher.answer = [this](QMessageBox& box) {
      if (questionReply == Reply::Enter) return QTest::keyClick(&box, Qt::Key_Return);
      box.button(questionReply == Reply::Yes ? QMessageBox::Yes : QMessageBox::No)->click();
    };
    Open();
  }
  ~QtWindowDriver() override {
    launcher.ReleaseAll();
    dialog.reset();
  }

  void Open() override {
    dialog.reset();
    dialog = std::make_unique<QtBatchDialog>(
        FrontEndServices{adapters, ScriptedSources(capture), clock, settings.File(), launcher,
                         sleep},
        nullptr, [this](QWidget* owner) { return OpenFile(owner == dialog.get()); });
    dialog->SetSaveFileFunction(
        [this](QWidget*, std::u16string_view suggested) { return SaveFile(suggested); });
    dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
  }
  CPendravelBatchDlg& Controller() override { return dialog->Controller(); }
  bool Until(const std::function<bool()>& done, std::chrono::milliseconds timeout) override {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
      if (elapsed.elapsed() >= timeout.count()) return false;
      // The window manager's part, which the offscreen platform leaves out:
      // the window is active again once a modal box has gone.
      if (QApplication::activeWindow() == nullptr && dialog->isVisible()) dialog->activateWindow();
      QTest::qWait(5);
    }
    return true;
  }
  // The window's own one-second timer.
  void Refresh() override { QTest::qWait(static_cast<int>(kRefreshTimerMs) + 100); }

  void Click(Control c) override { QTest::mouseClick(Widget(c), Qt::LeftButton); }
  void PostClick(Control c) override {  // as user input, which a close wait leaves queued
    QWidget* button = Widget(c);
    const QPoint centre = button->rect().center();
    for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QCoreApplication::postEvent(
          button, new QMouseEvent(type, centre, button->mapToGlobal(centre), Qt::LeftButton,
                                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                  Qt::NoModifier));
    }
  }
  void SelectAdapter(int index) override { dialog->AdapterCombo().setCurrentIndex(index); }
  void Focus(Control c) override { Widget(c)->setFocus(Qt::MouseFocusReason); }
  void Press(Key key) override {
    const Qt::Key keys[] = {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_Escape};
    QWidget* focused = QApplication::focusWidget();
    QTest::keyClick(focused != nullptr ? focused : dialog.get(), keys[static_cast<int>(key)]);
  }
  // Space ticks the row whichever of its cells is current.
  void TickRow(int row) override {
    QTableWidget& list = dialog->DeviceList();
    list.setFocus();
    list.setCurrentCell(row, 3);
    QTest::keyClick(&list, Qt::Key_Space);
  }
  void SetCurrentRow(int row) override { dialog->DeviceList().setCurrentCell(row, 0); }
  void ScrollToEnd() override { dialog->DeviceList().scrollToBottom(); }
  // Through the menu of the list's context menu event.
  bool ListCommand(std::u16string_view item) override {
    catcher.menus.clear();
    catcher.menuChoice = ToQString(item);
    const int chosen = catcher.menuChoices;
    const QPoint inList = dialog->DeviceList().geometry().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, inList, dialog->mapToGlobal(inList));
    QApplication::sendEvent(dialog.get(), &event);
    Settle();  // the triggered item, queued
    const QStringList items{"Export list...", "Open roster...", "Close roster", "Export audit..."};
    return catcher.menus == std::vector<QStringList>{items} && catcher.menuChoices > chosen;
  }
  bool RequestClose() override { return dialog->close(); }
  void Resize(int dx, int dy) override {
    dialog->resize(dialog->width() + dx, dialog->height() + dy);
    QTest::qWait(20);
  }

  std::u16string Title() override { return ToU16String(dialog->windowTitle()); }
  std::u16string Text(Control c) override {
    if (c == Control::File) return ToU16String(dialog->FileEdit().text());
    auto* button = qobject_cast<QPushButton*>(Widget(c));
    return button != nullptr ? ToU16String(button->text()) : std::u16string();
  }
  bool Enabled(Control c) override { return Widget(c)->isEnabled(); }
  bool FileReadOnly() override { return dialog->FileEdit().isReadOnly(); }
  bool LooksDefault(Control c) override {
    return qobject_cast<QPushButton*>(Widget(c))->isDefault();
  }
  std::optional<Control> Focused() override {
    QWidget* focused = QApplication::focusWidget();
    for (int c = 0; c <= int(Control::File); ++c) {
      if (focused == Widget(Control(c)) || Widget(Control(c))->isAncestorOf(focused))
        return Control(c);
    }
    return std::nullopt;
  }
  int AdapterSelection() override { return dialog->AdapterCombo().currentIndex(); }
  Rect Geometry(Control c) override { return Of(Widget(c)->geometry()); }
  Rect TemplateGeometry(Control c) override {
    const layout::DialogRect* rects[] = {&layout::kQueryButton,  &layout::kBatchUpdateButton,
                                         &layout::kBrowseButton, &layout::kAdapterCombo,
                                         &layout::kDeviceList,   &layout::kFileEdit};
    return Of(DialogUnits::ForFont(dialog->font()).Rect(*rects[static_cast<int>(c)]));
  }
  Rect WindowSize() override { return {0, 0, dialog->width(), dialog->height()}; }
  std::vector<ShownColumn> Columns() override {
    const QTableWidget& list = dialog->DeviceList();
    std::vector<ShownColumn> columns;
    for (int c = 0; c < list.columnCount(); ++c) {
      const QTableWidgetItem* header = list.horizontalHeaderItem(c);
      columns.push_back({ToU16String(header->text()),
                         header->textAlignment() == int(Qt::AlignCenter), list.columnWidth(c),
                         list.horizontalHeader()->sectionSizeHint(c)});
    }
    return columns;
  }
  int ListInnerWidth() override { return dialog->DeviceList().viewport()->width(); }
  int ListTextWidth(std::u16string_view text) override {
    return dialog->DeviceList().fontMetrics().horizontalAdvance(ToQString(text));
  }
  int Rows() override { return dialog->DeviceList().rowCount(); }
  std::u16string Cell(int row, int column) override {
    const QTableWidgetItem* item = dialog->DeviceList().item(row, column);
    return item != nullptr ? ToU16String(item->text()) : std::u16string();
  }
  bool Ticked(int row) override {
    return dialog->DeviceList().item(row, 0)->checkState() == Qt::Checked;
  }
  int CurrentRow() override { return dialog->DeviceList().currentRow(); }
  int TopRow() override { return dialog->DeviceList().verticalScrollBar()->value(); }
  bool Visible() override { return dialog->isVisible(); }
  std::vector<ShownBox> TakeBoxes() override {
    std::vector<ShownBox> boxes;
    for (const SeenBox& seen : std::exchange(catcher.boxes, {})) {
      std::vector<std::u16string> buttons;
      for (const QString& button : seen.buttons) buttons.push_back(ToU16String(button));
      boxes.push_back({ToU16String(seen.caption), ToU16String(seen.text), buttons,
                       ToU16String(seen.defaultButton), seen.icon != QMessageBox::NoIcon,
                       seen.modal && seen.parent == dialog.get()});
    }
    return boxes;
  }

  std::unique_ptr<QtBatchDialog> dialog;
  ModalCatcher catcher;  // answers every box and takes the first item of every menu

 private:
  QWidget* Widget(Control c) const {
    QWidget* widgets[] = {&dialog->QueryButton(),  &dialog->BatchUpdateButton(),
                          &dialog->BrowseButton(), &dialog->AdapterCombo(),
                          &dialog->DeviceList(),   &dialog->FileEdit()};
    return widgets[static_cast<int>(c)];
  }
  static Rect Of(const QRect& r) { return {r.left(), r.top(), r.right() + 1, r.bottom() + 1}; }
};

QString AccessibleName(QWidget* widget) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
  return accessible != nullptr ? accessible->text(QAccessible::Name) : QString();
}

}  // namespace

class QtBatchDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void windowContract_data() {
    QTest::addColumn<int>("index");
    const std::vector<ContractCase> cases = WindowContract();
    for (std::size_t i = 0; i < cases.size(); ++i) {
      QTest::newRow(cases[i].name.c_str()) << static_cast<int>(i);
    }
  }
  void windowContract() {
    QFETCH(int, index);
    QtWindowDriver driver;
    Checks checks;
    WindowContract()[static_cast<std::size_t>(index)].run(driver, checks);
    for (const std::string& failure : checks.failed) qWarning("%s", failure.c_str());
    QVERIFY(checks.failed.empty());
  }

  // Each control is named by its label.
  void accessibleNames() {
    QtWindowDriver h;
    const std::pair<const char*, const char*> names[] = {{"adapterCombo", "Network Adapter"},
                                                         {"deviceList", "Device In Ethernet"},
                                                         {"fileEdit", "File"},
                                                         {"queryButton", "Query Device"},
                                                         {"batchUpdateButton", "Batch Update"},
                                                         {"browseButton", "Browse"}};
    for (const auto& [objectName, name] : names) {
      auto* widget = h.dialog->findChild<QWidget*>(objectName);
      QVERIFY2(widget != nullptr, objectName);
      QCOMPARE(AccessibleName(widget), QString(name));
    }
  }

  void sizeAndTabOrderFollowTheTemplate() {
    QtWindowDriver h;
    QtBatchDialog& d = *h.dialog;
    QCOMPARE(d.size(), DialogUnits::ForFont(d.font()).Size(525, 322));
    // Enabled so that each takes the focus in turn.
    d.BatchUpdateButton().setEnabled(true);
    d.DeviceList().setEnabled(true);
    const std::vector<QWidget*> order = {&d.BatchUpdateButton(), &d.QueryButton(),
                                         &d.AdapterCombo(),      &d.DeviceList(),
                                         &d.FileEdit(),          &d.BrowseButton()};
    order.front()->setFocus(Qt::TabFocusReason);
    for (std::size_t i = 0; i < order.size(); ++i) {
      QWidget* focused = QApplication::focusWidget();
      QVERIFY2(focused == order[i] || order[i]->isAncestorOf(focused),
               qPrintable(QString::number(i)));
      QTest::keyClick(focused, Qt::Key_Tab);
    }
  }

  // The about box comes from the system command, F1 and the context menu.
  void aboutRequestsAndTheAboutBox() {
    QtWindowDriver h;
    QtBatchDialog& d = *h.dialog;
    QSignalSpy about(&d, &QtBatchDialog::aboutRequested);
    d.OnSysCommand(0x0010);
    d.OnSysCommand(0x0020);
    QTest::keyClick(&d, Qt::Key_F1);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), d.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&d, &event);
    QCOMPARE(h.catcher.menus, std::vector<QStringList>{QStringList{"&About Quilmarr..."}});
    QCOMPARE(about.count(), 3);

    CAboutDlg box;
    QCOMPARE(box.windowTitle(), QStringLiteral("About Quilmarr"));
    QCOMPARE(box.VersionLabel().text(), QStringLiteral(QUILMARR_ABOUT_VERSION_LINE));
    QVERIFY(box.NoticeLabel().text().contains(QStringLiteral("2023")));
    QVERIFY(!box.IconLabel().pixmap().isNull());
    QVERIFY(box.OkButton().isDefault());
    QCOMPARE(box.size(), DialogUnits::ForFont(box.font()).Size(170, 62));
    box.show();
    QTest::mouseClick(&box.OkButton(), Qt::LeftButton);
    QCOMPARE(box.result(), int(QDialog::Accepted));
    QVERIFY(!box.isVisible());
  }

  // SIGTERM during a batch of two: the running updater finishes, the second
  // device is not started and the window ends by itself.
  void terminationSignalEndsTheWindowAfterTheRunningUpdater() {
    QtWindowDriver h;
    contract::ReadyForABatch(h);
    h.TickRow(0);
    const TerminationSignals ends([&h] { h.dialog->RequestEnd(); });
    h.Click(Control::BatchUpdate);
    WindowDriver& d = h;
    QVERIFY(d.Until([&] { return h.launcher.CallCount() == 1; }));
    QCOMPARE(std::raise(SIGTERM), 0);
    h.Settle();
    QVERIFY(h.Visible());
    h.launcher.ReleaseAll();
    QVERIFY(d.Until([&] { return !h.Visible(); }));
    QCOMPARE(h.launcher.CallCount(), 1u);
  }

  void screenshotWithThreeDevices() {
    QtWindowDriver h;
    h.StartQuery();
    h.Announce({{{192, 168, 0, 10}, "SYS_A", "IED_1", "1.0", "2.0"},
                {{192, 168, 0, 11}, "SYS_B", "IED_2", "1.0", "2.0"},
                {{192, 168, 0, 12}, "SYS_C", "IED_3", "1.0", "2.1"}});
    QCOMPARE(h.Rows(), 3);
    h.TickRow(1);
    h.dialog->FileEdit().setText(QStringLiteral("/srv/firmware/ied-2.1.pck"));
    const QString folder = QStringLiteral(QUILMARR_SCREENSHOT_DIR);
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/main-window.png");
    QVERIFY(h.dialog->grab().save(path));
    QCOMPARE(QImage(path).size(), h.dialog->size());
  }
};

QTEST_MAIN(QtBatchDialogTest)
#include "qt_batch_dialog_test.moc"
