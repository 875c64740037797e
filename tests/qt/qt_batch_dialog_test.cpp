// The real main window on the offscreen platform, with fake adapters, a fake
// capture source fed from this thread through the worker's blocking path, and
// a real settings file in a temporary folder.
#include <QAccessible>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QMouseEvent>
#include <QTest>
#include <initializer_list>
#include <memory>

#include "app/about_dlg.h"
#include "qt_test_support.h"
#include "tests/support/fake_services.h"
#include "tests/support/lldp_frames.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/qt_batch_dialog.h"
#include "ui/qt/qt_text.h"

using namespace quilmarr;
using namespace quilmarr::test;

namespace {

struct Harness {
  explicit Harness(OpenFileFunction openFile = nullptr) {
    launcher.Hold();  // each updater run waits until the test releases it
    Open(std::move(openFile));
  }
  // The window over these fakes, shown; again: as at the program's next start.
  void Open(OpenFileFunction openFile = nullptr) {
    dialog.reset();
    dialog = std::make_unique<QtBatchDialog>(
        QtDialogServices{adapters, ScriptedSources(capture), clock, settings.File(), launcher},
        nullptr, std::move(openFile));
    dialog->show();
  }
  ~Harness() {
    launcher.ReleaseAll();
    dialog.reset();
  }
  Harness(const Harness&) = delete;
  Harness& operator=(const Harness&) = delete;

  [[nodiscard]] CPendravelBatchDlg& Controller() const { return dialog->Controller(); }
  void StartQuery(int adapter = 0) const {
    dialog->AdapterCombo().setCurrentIndex(adapter);
    QTest::mouseClick(&dialog->QueryButton(), Qt::LeftButton);
  }

  TempSettings settings;
  FakeInterfaceLister adapters{TwoAdapters()};
  std::shared_ptr<CaptureScript> capture = std::make_shared<CaptureScript>();
  test::FakeClock clock;
  FakeLauncher launcher;
  std::unique_ptr<QtBatchDialog> dialog;
};

QString AccessibleName(QWidget* widget) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
  return accessible != nullptr ? accessible->text(QAccessible::Name) : QString();
}

// A running query with one device ticked, a package chosen and the updater
// held in its run, the window active.
void ReadyForABatch(Harness& h) {
  QVERIFY(QTest::qWaitForWindowActive(h.dialog.get()));
  h.settings.Write(settings::kSectionPendravel, settings::kKeyExePath, u"/opt/pendravel/");
  h.StartQuery();
  h.capture->Push(test::LldpFrame({{192, 168, 0, 10}, "SYS_A", "IED_1", "1.0", "2.0"}));
  QTableWidget& list = h.dialog->DeviceList();
  QTRY_COMPARE_WITH_TIMEOUT(list.rowCount(), 1, 3000);
  list.item(0, 0)->setCheckState(Qt::Checked);
  QTest::mouseClick(&h.dialog->BrowseButton(), Qt::LeftButton);
}

QString Cell(const QTableWidget& table, int row, int column) {
  const QTableWidgetItem* item = table.item(row, column);
  return item != nullptr ? item->text() : QString();
}

const QStringList kHeaders = {QStringLiteral("  IP   "),
                              QStringLiteral(" Sys Name "),
                              QStringLiteral(" IED Name "),
                              QStringLiteral(" Boot Version "),
                              QStringLiteral(" Original App Version "),
                              QStringLiteral(" Current App Version "),
                              QStringLiteral(" Status ")};

}  // namespace

class QtBatchDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void startsWithTheTemplateControls() {
    Harness h;
    QtBatchDialog& d = *h.dialog;
    QCOMPARE(d.windowTitle(), QStringLiteral("Quilmarr 1.0.1.0"));
    QCOMPARE(d.BatchUpdateButton().text(), QStringLiteral("Batch Update"));
    QVERIFY(!d.BatchUpdateButton().isEnabled());
    QCOMPARE(d.QueryButton().text(), QStringLiteral("Query Device"));
    QVERIFY(d.QueryButton().isEnabled());  // adapters exist
    QCOMPARE(d.BrowseButton().text(), QStringLiteral("Browse"));
    QVERIFY(d.BrowseButton().isEnabled());
    QVERIFY(d.AdapterCombo().isEnabled());
    QCOMPARE(d.AdapterCombo().count(), 2);
    QCOMPARE(d.AdapterCombo().itemText(0), QStringLiteral("10.0.0.1   Test Adapter A"));
    QCOMPARE(d.AdapterCombo().itemText(1), QStringLiteral("10.0.0.2   Test Adapter B"));
    QCOMPARE(d.AdapterCombo().currentIndex(), -1);  // nothing saved, nothing preselected
    QVERIFY(!d.DeviceList().isEnabled());
    QVERIFY(d.FileEdit().isReadOnly());
    QVERIFY(d.FileEdit().text().isEmpty());
    QVERIFY(QTest::qWaitForWindowActive(&d));
    QCOMPARE(QApplication::focusWidget(), &d.QueryButton());  // first enabled in tab order
    d.AdapterCombo().setFocus(Qt::TabFocusReason);
    QVERIFY(d.BatchUpdateButton().isDefault());  // the template's default push button
  }

  void deviceListHasTheSevenColumns() {
    Harness h;
    const QTableWidget& list = h.dialog->DeviceList();
    QVERIFY(list.showGrid());
    QCOMPARE(list.columnCount(), kHeaders.size());
    for (int column = 0; column < list.columnCount(); ++column) {
      QCOMPARE(list.horizontalHeaderItem(column)->text(), kHeaders[column]);
      QCOMPARE(list.horizontalHeaderItem(column)->textAlignment(), int(Qt::AlignCenter));
    }
    QCOMPARE(list.columnWidth(0), 120);
    const int last = list.columnCount() - 1;
    int fitted = 120;
    for (int column = 1; column < list.columnCount(); ++column) {
      QVERIFY(list.columnWidth(column) >
              list.horizontalHeader()->fontMetrics().horizontalAdvance(kHeaders[column]));
      if (column < last) {
        QCOMPARE(list.columnWidth(column), list.horizontalHeader()->sectionSizeHint(column));
        fitted += list.columnWidth(column);
      }
    }
    // The last column, fitted to its header, fills the rest of the list.
    QCOMPARE(list.columnWidth(last), list.viewport()->width() - fitted);
  }

  void presetsAdapterAndFileFromSettings() {
    Harness h;
    h.settings.Write(settings::kSectionQuilmarr, settings::kKeyAdapterIp, u"10.0.0.2");
    h.settings.Write(settings::kSectionQuilmarr, settings::kKeyPckFile, u"/srv/fw/package v2.pck");
    h.Open();
    QCOMPARE(h.dialog->AdapterCombo().currentIndex(), 1);
    QCOMPARE(h.dialog->FileEdit().text(), QStringLiteral("/srv/fw/package v2.pck"));
  }

  void everyControlHasAnAccessibleName_data() {
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("name");
    QTest::newRow("combo") << "adapterCombo"
                           << "Network Adapter";
    QTest::newRow("list") << "deviceList"
                          << "Device In Ethernet";
    QTest::newRow("file") << "fileEdit"
                          << "File";
    QTest::newRow("query") << "queryButton"
                           << "Query Device";
    QTest::newRow("batch") << "batchUpdateButton"
                           << "Batch Update";
    QTest::newRow("browse") << "browseButton"
                            << "Browse";
  }
  void everyControlHasAnAccessibleName() {
    QFETCH(QString, objectName);
    QFETCH(QString, name);
    Harness h;
    auto* widget = h.dialog->findChild<QWidget*>(objectName);
    QVERIFY(widget != nullptr);
    QCOMPARE(AccessibleName(widget), name);
  }

  void tabFollowsTheTemplateOrder() {
    Harness h;
    QtBatchDialog& d = *h.dialog;
    QVERIFY(QTest::qWaitForWindowActive(&d));
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

  void layoutFollowsTheTemplateAndTheListGrows() {
    Harness h;
    QtBatchDialog& d = *h.dialog;
    const DialogUnits units = DialogUnits::ForFont(d.font());
    QCOMPARE(d.size(), units.Size(525, 322));
    QCOMPARE(d.DeviceList().geometry(), units.Rect(24, 73, 474, 162));
    QCOMPARE(d.QueryButton().geometry(), units.Rect(432, 30, 68, 14));
    QCOMPARE(d.BatchUpdateButton().geometry(), units.Rect(201, 292, 97, 23));
    QCOMPARE(d.BrowseButton().geometry(), units.Rect(447, 260, 50, 14));
    QCOMPARE(d.FileEdit().geometry(), units.Rect(23, 260, 419, 14));

    const QRect query = d.QueryButton().geometry();
    const QRect browse = d.BrowseButton().geometry();
    const QRect list = d.DeviceList().geometry();
    d.resize(d.width() + 100, d.height() + 80);
    QTRY_COMPARE(d.DeviceList().geometry(), list.adjusted(0, 0, 100, 80));
    QCOMPARE(d.QueryButton().geometry(), query);
    QCOMPARE(d.BrowseButton().geometry(), browse.translated(0, 80));
  }

  void framesReachTheListThroughTheBlockingPath() {
    Harness h;
    h.StartQuery();
    QCOMPARE(h.Controller().Mode(), UiMode::Querying);
    QCOMPARE(h.dialog->QueryButton().text(), QStringLiteral("Stop Query"));
    QVERIFY(h.dialog->BatchUpdateButton().isEnabled());
    QVERIFY(!h.dialog->AdapterCombo().isEnabled());
    QVERIFY(h.dialog->DeviceList().isEnabled());

    h.capture->Push(test::LldpFrame({{192, 168, 0, 10}, "SYS_A", "IED_1", "1.0", "2.0"}));
    h.capture->Push(test::LldpFrame({{192, 168, 0, 11}, "SYS_B", "IED_2", "1.0", "2.1"}));

    const QTableWidget& list = h.dialog->DeviceList();
    QTRY_COMPARE_WITH_TIMEOUT(list.rowCount(), 2, 3000);  // the one-second timer
    QCOMPARE(Cell(list, 0, 0), QStringLiteral("192.168.0.10"));
    QCOMPARE(Cell(list, 0, 1), QStringLiteral("SYS_A"));
    QCOMPARE(Cell(list, 0, 2), QStringLiteral("IED_1"));
    QCOMPARE(Cell(list, 0, 3), QStringLiteral("1.0"));
    QCOMPARE(Cell(list, 0, 4), QStringLiteral("2.0"));
    QCOMPARE(Cell(list, 0, 5), QStringLiteral("2.0"));
    QCOMPARE(Cell(list, 0, 6), QString());
    QCOMPARE(Cell(list, 1, 0), QStringLiteral("192.168.0.11"));
    QCOMPARE(list.item(1, 0)->checkState(), Qt::Unchecked);
  }

  void stopQueryWaitsForTheWorker() {
    Harness h;
    h.StartQuery();
    QTest::mouseClick(&h.dialog->QueryButton(), Qt::LeftButton);
    // Disabled at once; enabled again only by the worker's report.
    QVERIFY(!h.dialog->QueryButton().isEnabled());
    QCOMPARE(h.Controller().Mode(), UiMode::Querying);
    QTRY_COMPARE(h.Controller().Mode(), UiMode::Idle);
    QVERIFY(h.dialog->QueryButton().isEnabled());
    QCOMPARE(h.dialog->QueryButton().text(), QStringLiteral("Query Device"));
    QTRY_COMPARE(h.capture->freed.load(), 1);
  }

  void errorBoxes_data() {
    QTest::addColumn<bool>("selectAdapter");
    QTest::addColumn<bool>("openSucceeds");
    QTest::addColumn<QString>("message");
    QTest::newRow("no adapter") << false << true << "Please select a network adapter";
    QTest::newRow("open fails") << true << false << "Open adapter failed";
  }
  void errorBoxes() {
    QFETCH(bool, selectAdapter);
    QFETCH(bool, openSucceeds);
    QFETCH(QString, message);
    Harness h;
    h.capture->opens = openSucceeds;
    ModalCatcher catcher;
    h.dialog->AdapterCombo().setCurrentIndex(selectAdapter ? 0 : -1);
    QTest::mouseClick(&h.dialog->QueryButton(), Qt::LeftButton);
    QTRY_COMPARE(catcher.boxes.size(), std::size_t{1});
    const SeenBox& box = catcher.boxes.front();
    QCOMPARE(box.text, message);
    QCOMPARE(box.caption, QStringLiteral("Error"));
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.buttons, QStringList{QStringLiteral("OK")});
    QVERIFY(box.modal);
    QTRY_COMPARE(h.Controller().Mode(), UiMode::Idle);
    QVERIFY(h.dialog->QueryButton().isEnabled());
    QCOMPARE(h.dialog->QueryButton().text(), QStringLiteral("Query Device"));
  }

  void closeWhileQueryingEndsTheWorkerFirst() {
    Harness h;
    h.StartQuery();
    QTRY_COMPARE(h.capture->Opened().size(), std::size_t{1});
    QVERIFY(h.dialog->close());
    QVERIFY(!h.dialog->isVisible());
    QCOMPARE(h.capture->freed.load(), 1);
  }

  void escapeGoesThroughTheCloseGuard() {
    Harness h;
    h.StartQuery();
    QTRY_COMPARE(h.capture->Opened().size(), std::size_t{1});
    QTest::keyClick(h.dialog.get(), Qt::Key_Escape);
    QVERIFY(!h.dialog->isVisible());
    QCOMPARE(h.capture->freed.load(), 1);
  }

  void closeIsRefusedWhileABatchRuns() {
    auto openFile = [](QWidget*) -> std::optional<std::u16string> {
      return u"/srv/fw/package.pck";
    };
    Harness h(openFile);
    h.settings.Write(settings::kSectionPendravel, settings::kKeyExePath, u"/opt/pendravel/");
    ModalCatcher catcher;
    h.StartQuery();
    h.capture->Push(test::LldpFrame({{192, 168, 0, 10}, "SYS_A", "IED_1", "1.0", "2.0"}));
    QTableWidget& list = h.dialog->DeviceList();
    QTRY_COMPARE_WITH_TIMEOUT(list.rowCount(), 1, 3000);
    list.setFocus();
    list.setCurrentCell(0, 3);
    QTest::keyClick(&list, Qt::Key_Space);  // ticks the row whichever cell is current
    QCOMPARE(list.item(0, 0)->checkState(), Qt::Checked);
    QTest::mouseClick(&h.dialog->BrowseButton(), Qt::LeftButton);
    QTest::mouseClick(&h.dialog->BatchUpdateButton(), Qt::LeftButton);
    QCOMPARE(h.Controller().Mode(), UiMode::Updating);
    QTRY_COMPARE(h.launcher.CallCount(), std::size_t{1});
    QTRY_COMPARE_WITH_TIMEOUT(Cell(list, 0, 6), QStringLiteral("Updating"), 3000);

    QVERIFY(!h.dialog->close());
    QCOMPARE(catcher.boxes.size(), std::size_t{1});
    QCOMPARE(catcher.boxes.front().text, QStringLiteral("Please wait update interrupt"));
    QVERIFY(h.dialog->isVisible());

    h.launcher.ReleaseAll();
    QTRY_COMPARE(h.Controller().Mode(), UiMode::Querying);
    QTRY_VERIFY(h.dialog->close());
    QCOMPARE(h.capture->freed.load(), 1);
  }

  void browsePutsTheChosenPathIntoTheFileField() {
    QWidget* parentSeen = nullptr;
    std::optional<std::u16string> answer = u"/srv/fw dir/package.pck";
    Harness h([&](QWidget* parent) {
      parentSeen = parent;
      return answer;
    });
    QTest::mouseClick(&h.dialog->BrowseButton(), Qt::LeftButton);
    QCOMPARE(h.dialog->FileEdit().text(), QStringLiteral("/srv/fw dir/package.pck"));
    QCOMPARE(parentSeen, static_cast<QWidget*>(h.dialog.get()));

    answer.reset();  // cancelled
    QTest::mouseClick(&h.dialog->BrowseButton(), Qt::LeftButton);
    QCOMPARE(h.dialog->FileEdit().text(), QStringLiteral("/srv/fw dir/package.pck"));
  }

  void aboutComesFromTheContextMenuAndF1() {
    Harness h;
    QtBatchDialog& d = *h.dialog;
    QSignalSpy about(&d, &QtBatchDialog::aboutRequested);
    d.OnSysCommand(0x0010);
    d.OnSysCommand(0x001F);  // low four bits ignored
    d.OnSysCommand(0x0020);
    QCOMPARE(about.count(), 2);

    QVERIFY(QTest::qWaitForWindowActive(&d));
    QTest::keyClick(&d, Qt::Key_F1);
    QCOMPARE(about.count(), 3);

    ModalCatcher catcher;
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), d.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&d, &event);
    QCOMPARE(catcher.menus.size(), std::size_t{1});
    QCOMPARE(catcher.menus.front(), QStringList{QStringLiteral("&About Quilmarr...")});
    QCOMPARE(about.count(), 4);
  }

  void aboutBoxShowsProductVersionAndNotice() {
    CAboutDlg about;
    QCOMPARE(about.windowTitle(), QStringLiteral("About Quilmarr"));
    QCOMPARE(about.VersionLabel().text(), QStringLiteral("Quilmarr, Version 1.0"));
    QVERIFY(about.NoticeLabel().text().contains(QStringLiteral("2023")));
    QVERIFY(!about.IconLabel().pixmap().isNull());
    QVERIFY(about.OkButton().isDefault());
    QCOMPARE(about.size(), DialogUnits::ForFont(about.font()).Size(170, 62));
    about.show();
    QTest::mouseClick(&about.OkButton(), Qt::LeftButton);
    QCOMPARE(about.result(), int(QDialog::Accepted));
    QVERIFY(!about.isVisible());
  }

  // Enter on a focused push button presses that button; elsewhere it presses
  // the default button, Batch Update, while that is enabled.
  void enterPressesTheFocusedButton_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("captureRuns");
    QTest::addColumn<int>("fileDialogs");
    QTest::addColumn<bool>("batchStarts");
    QTest::newRow("Enter on Stop Query")
        << "queryButton" << int(Qt::Key_Return) << false << 1 << false;
    QTest::newRow("keypad Enter on Stop Query")
        << "queryButton" << int(Qt::Key_Enter) << false << 1 << false;
    QTest::newRow("Space on Stop Query")
        << "queryButton" << int(Qt::Key_Space) << false << 1 << false;
    QTest::newRow("Enter on Browse") << "browseButton" << int(Qt::Key_Return) << true << 2 << false;
    QTest::newRow("Enter in the list") << "deviceList" << int(Qt::Key_Return) << true << 1 << true;
    QTest::newRow("Enter in the file field")
        << "fileEdit" << int(Qt::Key_Return) << true << 1 << true;
  }
  void enterPressesTheFocusedButton() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(bool, captureRuns);
    QFETCH(int, fileDialogs);
    QFETCH(bool, batchStarts);
    int dialogs = 0;
    Harness h([&](QWidget*) -> std::optional<std::u16string> {
      ++dialogs;
      return u"/srv/fw/package.pck";
    });
    ReadyForABatch(h);
    QCOMPARE(dialogs, 1);

    auto* target = h.dialog->findChild<QWidget*>(focus);
    QVERIFY(target != nullptr);
    target->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), target);
    QTest::keyClick(target, Qt::Key(key));

    QCOMPARE(dialogs, fileDialogs);
    QCOMPARE(h.Controller().Mode() == UiMode::Updating, batchStarts);
    QCOMPARE(h.capture->interrupts.load() > 0, !captureRuns);  // Stop Query reached the capture
    if (batchStarts) QTRY_COMPARE(h.launcher.CallCount(), std::size_t{1});
    QTest::qWait(50);
    QCOMPARE(h.launcher.CallCount(), std::size_t{batchStarts ? 1u : 0u});
  }

  void enterPressesNothingWhileBatchUpdateIsDisabled() {
    Harness h;
    QVERIFY(QTest::qWaitForWindowActive(h.dialog.get()));
    h.dialog->AdapterCombo().setCurrentIndex(0);
    h.dialog->AdapterCombo().setFocus(Qt::TabFocusReason);
    QTest::keyClick(&h.dialog->AdapterCombo(), Qt::Key_Return);
    QCOMPARE(h.Controller().Mode(), UiMode::Idle);
    QVERIFY(h.capture->Opened().empty());
  }

  // Stop Query, then Batch Update before the capture has reported its end.
  void batchStaysInChargeWhenTheCaptureEndsDuringIt() {
    Harness h([](QWidget*) -> std::optional<std::u16string> { return u"/srv/fw/package.pck"; });
    ReadyForABatch(h);
    QTest::mouseClick(&h.dialog->QueryButton(), Qt::LeftButton);
    QTest::mouseClick(&h.dialog->BatchUpdateButton(), Qt::LeftButton);
    QCOMPARE(h.Controller().Mode(), UiMode::Updating);

    QTRY_COMPARE(h.capture->freed.load(), 1);  // the capture's report has been handled
    QTRY_COMPARE(h.launcher.CallCount(), std::size_t{1});
    QCOMPARE(h.Controller().Mode(), UiMode::Updating);
    for (QWidget* control : std::initializer_list<QWidget*>{
             &h.dialog->QueryButton(), &h.dialog->BatchUpdateButton(), &h.dialog->BrowseButton(),
             &h.dialog->AdapterCombo(), &h.dialog->DeviceList()}) {
      QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
    }
    const QTableWidget& list = h.dialog->DeviceList();
    QTRY_COMPARE_WITH_TIMEOUT(Cell(list, 0, 6), QStringLiteral("Updating"), 3000);
    QCOMPARE(list.item(0, 0)->checkState(), Qt::Checked);

    h.launcher.ReleaseAll();
    QTRY_COMPARE(h.Controller().Mode(), UiMode::Idle);
    QVERIFY(h.dialog->QueryButton().isEnabled());
    QCOMPARE(h.dialog->QueryButton().text(), QStringLiteral("Query Device"));
    QVERIFY(h.dialog->AdapterCombo().isEnabled());
    QVERIFY(!h.dialog->BatchUpdateButton().isEnabled());
    QCOMPARE(Cell(list, 0, 6), QStringLiteral("Done"));  // with no capture, not verified
  }

  // While the close waits for the capture to end, a click already queued must
  // not start a batch in the window that is closing.
  void closeWaitIgnoresTheUsersInput() {
    Harness h([](QWidget*) -> std::optional<std::u16string> { return u"/srv/fw/package.pck"; });
    ReadyForABatch(h);
    QPushButton& batch = h.dialog->BatchUpdateButton();
    const QPoint centre = batch.rect().center();
    const QPoint global = batch.mapToGlobal(centre);
    QCoreApplication::postEvent(
        &batch, new QMouseEvent(QEvent::MouseButtonPress, centre, global, Qt::LeftButton,
                                Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(
        &batch, new QMouseEvent(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton,
                                Qt::NoButton, Qt::NoModifier));
    QVERIFY(h.dialog->close());
    QVERIFY(!h.dialog->isVisible());
    QCOMPARE(h.Controller().Mode(), UiMode::Idle);
    QCoreApplication::processEvents();
    QTest::qWait(50);
    QCOMPARE(h.launcher.CallCount(), std::size_t{0});
  }

  // The one word that tells which device is being flashed is never cut short.
  void statusColumnFillsTheListAlsoAfterAResize() {
    Harness h;
    QTableWidget& list = h.dialog->DeviceList();
    const int status = list.columnCount() - 1;
    const int before = list.columnWidth(status);
    QVERIFY(before > list.fontMetrics().horizontalAdvance(QStringLiteral("Updating")) + 8);
    h.dialog->resize(h.dialog->width() + 100, h.dialog->height());
    QTRY_COMPARE(list.columnWidth(status), before + 100);
  }

  void adapterBoxKeepsItsLabelWhenAnAdapterIsPreselected() {
    Harness h;
    h.settings.Write(settings::kSectionQuilmarr, settings::kKeyAdapterIp, u"10.0.0.2");
    h.Open();
    QComboBox& combo = h.dialog->AdapterCombo();
    QCOMPARE(combo.currentIndex(), 1);
    QCOMPARE(AccessibleName(&combo), QStringLiteral("Network Adapter"));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&combo);
    QCOMPARE(accessible->text(QAccessible::Value), QStringLiteral("10.0.0.2   Test Adapter B"));
    QCOMPARE(accessible->role(), QAccessible::ComboBox);
  }

  void listContextMenuExportsTheRowsShown() {
    Harness h;
    h.StartQuery();
    h.capture->Push(test::LldpFrame({{192, 168, 0, 10}, "SYS_A", "IED_1", "1.0", "2.0"}));
    QTableWidget& list = h.dialog->DeviceList();
    QTRY_COMPARE_WITH_TIMEOUT(list.rowCount(), 1, 3000);
    // A writable place: no error box opens inside the menu's own loop.
    const QString file = ToQString((h.settings.Root() / "l.csv").u16string());
    QString suggested;
    h.dialog->SetSaveFileFunction([&](QWidget*, std::u16string_view name) {
      suggested = ToQString(name);
      return std::optional<std::u16string>(ToU16String(file));
    });

    ModalCatcher catcher;
    const QPoint inList = list.geometry().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, inList, h.dialog->mapToGlobal(inList));
    QApplication::sendEvent(h.dialog.get(), &event);

    QCOMPARE(catcher.menus.size(), std::size_t{1});
    QCOMPARE(catcher.menus.front(), QStringList{QStringLiteral("Export list...")});
    QCOMPARE(suggested, QStringLiteral("devices.csv"));
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = written.readAll().split('\n');
    QVERIFY(lines.size() >= 2);
    QVERIFY(lines[1].startsWith("\"192.168.0.10\",\"SYS_A\",\"IED_1\""));
  }

  void screenshotWithThreeDevices() {
    Harness h;
    h.StartQuery();
    h.capture->Push(test::LldpFrame({{192, 168, 0, 10}, "SYS_A", "IED_1", "1.0", "2.0"}));
    h.capture->Push(test::LldpFrame({{192, 168, 0, 11}, "SYS_B", "IED_2", "1.0", "2.0"}));
    h.capture->Push(test::LldpFrame({{192, 168, 0, 12}, "SYS_C", "IED_3", "1.0", "2.1"}));
    QTableWidget& list = h.dialog->DeviceList();
    QTRY_COMPARE_WITH_TIMEOUT(list.rowCount(), 3, 3000);
    list.item(1, 0)->setCheckState(Qt::Checked);
    h.dialog->FileEdit().setText(QStringLiteral("/srv/firmware/ied-2.1.pck"));

    const QString folder = QStringLiteral(QUILMARR_SCREENSHOT_DIR);
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/main-window.png");
    const QPixmap shot = h.dialog->grab();
    QVERIFY(shot.save(path));
    QCOMPARE(QImage(path).size(), h.dialog->size());
  }
};

QTEST_MAIN(QtBatchDialogTest)
#include "qt_batch_dialog_test.moc"
