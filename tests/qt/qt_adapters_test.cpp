// The Qt adapters on their own: dialog units, message delivery across
// threads, and the list, combo and edit behind the controller's interfaces.
#include <QAccessible>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <atomic>
#include <thread>

#include "ui/qt/dialog_units.h"
#include "ui/qt/labelled_combo_accessible.h"
#include "ui/qt/qt_controls.h"
#include "ui/qt/qt_device_list.h"
#include "ui/qt/qt_message_target.h"

using namespace quilmarr;

class QtAdaptersTest : public QObject {
  Q_OBJECT

 private slots:
  void dialogUnitsScaleWithTheFont_data() {
    QTest::addColumn<int>("averageWidth");
    QTest::addColumn<int>("height");
    QTest::addColumn<QRect>("units");
    QTest::addColumn<QRect>("pixels");
    QTest::newRow("MS Shell Dlg 8 at 96 dpi")
        << 6 << 13 << QRect(24, 73, 474, 162) << QRect(36, 118, 711, 263);
    QTest::newRow("larger font") << 8 << 16 << QRect(201, 292, 97, 23) << QRect(402, 584, 194, 46);
    QTest::newRow("rounds toward zero") << 7 << 15 << QRect(1, 1, 3, 7) << QRect(1, 1, 5, 13);
  }
  void dialogUnitsScaleWithTheFont() {
    QFETCH(int, averageWidth);
    QFETCH(int, height);
    QFETCH(QRect, units);
    QFETCH(QRect, pixels);
    const DialogUnits scale(averageWidth, height);
    QCOMPARE(scale.Rect(units.x(), units.y(), units.width(), units.height()), pixels);
  }

  void sendFromAWorkerBlocksUntilHandled() {
    QObject receiver;
    QtMessageTarget target(receiver);
    std::atomic<int> handledOnUiThread{0};
    int seenFrameByte = -1;
    target.SetHandler([&](const Message& message) {
      if (QThread::currentThread() == receiver.thread()) {
        ++handledOnUiThread;
      }
      seenFrameByte = message.frame.empty() ? -1 : message.frame[0];
    });
    std::atomic<bool> returned{false};
    int afterSend = 0;
    std::thread worker([&] {
      std::uint8_t bytes[] = {0x42};
      Message message;
      message.id = WM_CAPTURE_PACKET;
      message.frame = bytes;
      target.Send(message);
      afterSend = handledOnUiThread.load();  // the handler ran before Send returned
      bytes[0] = 0;
      returned = true;
    });
    QTRY_VERIFY(returned.load());
    worker.join();
    QCOMPARE(afterSend, 1);
    QCOMPARE(seenFrameByte, 0x42);
  }

  void sendOnTheReceiversThreadRunsAtOnce() {
    QObject receiver;
    QtMessageTarget target(receiver);
    int handled = 0;
    target.SetHandler([&](const Message&) { ++handled; });
    target.Send(Message{WM_CAPTURE_STOPPED, {}, {}, {}});
    QCOMPARE(handled, 1);
  }

  void postKeepsOrderAndOwnsItsTexts() {
    QObject receiver;
    QtMessageTarget target(receiver);
    std::vector<std::u16string> seen;
    target.SetHandler([&](const Message& message) { seen.push_back(message.text); });
    std::thread worker([&] {
      for (const char16_t* ip : {u"192.168.0.1", u"192.168.0.2", u"192.168.0.3"}) {
        std::u16string text = ip;
        target.Post(Message{WM_UPDATE_DEVICE_STARTED, {}, text, {}});
        text.assign(u"overwritten");
      }
    });
    worker.join();
    QVERIFY(seen.empty());  // nothing runs before the event loop does
    QTRY_COMPARE(seen.size(), std::size_t{3});
    QCOMPARE(QString::fromStdU16String(seen[0]), QStringLiteral("192.168.0.1"));
    QCOMPARE(QString::fromStdU16String(seen[2]), QStringLiteral("192.168.0.3"));
  }

  void postedMessagesDieWithTheReceiver() {
    int handled = 0;
    auto receiver = std::make_unique<QObject>();
    QtMessageTarget target(*receiver);
    target.SetHandler([&](const Message&) { ++handled; });
    target.Post(Message{WM_UPDATE_FINISHED, {}, {}, {}});
    receiver.reset();
    QCoreApplication::processEvents();
    QCOMPARE(handled, 0);
  }

  void rebuildKeepsScrollPositionAndCurrentRow() {
    DeviceTableWidget table;
    QtListControl list(table);
    table.resize(400, 200);
    list.SetExtendedStyle(kListStyleGridLines | kListStyleCheckBoxes);
    list.InsertColumn(0, u"  IP   ", 120);
    list.InsertColumn(1, u" Status ", 80);
    const auto fill = [&list](int rows) {
      for (int row = 0; row < rows; ++row) {
        list.InsertItem(row, u"10.0.0." + std::u16string(QString::number(row).toStdU16String()));
      }
    };
    fill(60);
    table.show();
    table.setCurrentCell(40, 1);
    table.verticalScrollBar()->setValue(30);

    list.BeginRebuild();
    list.DeleteAllItems();
    QVERIFY(!table.updatesEnabled());     // no repaint of the empty list
    for (int row = 0; row < 55; ++row) {  // one device before the current one dropped out
      list.InsertItem(
          row,
          u"10.0.0." + std::u16string(QString::number(row < 5 ? row : row + 1).toStdU16String()));
    }
    list.EndRebuild();

    QVERIFY(table.updatesEnabled());
    QCOMPARE(table.verticalScrollBar()->value(), 30);
    QCOMPARE(table.currentRow(), 39);  // still 10.0.0.40
    QCOMPARE(table.item(39, 0)->text(), QStringLiteral("10.0.0.40"));
  }

  void spaceTicksTheCurrentRowFromAnyColumn() {
    DeviceTableWidget table;
    QtListControl list(table);
    list.SetExtendedStyle(kListStyleCheckBoxes);
    list.InsertColumn(0, u"  IP   ", 120);
    list.InsertColumn(1, u" Sys Name ", 80);
    list.InsertItem(0, u"10.0.0.1");
    list.InsertItem(1, u"10.0.0.2");
    list.SetItemText(1, 1, u"SYS");
    table.show();
    table.setFocus();
    table.setCurrentCell(1, 1);
    QTest::keyClick(&table, Qt::Key_Space);
    QVERIFY(list.GetCheck(1));
    QVERIFY(!list.GetCheck(0));
    QTest::keyClick(&table, Qt::Key_Space);
    QVERIFY(!list.GetCheck(1));
    list.SetCheck(0, true);
    QCOMPARE(table.item(0, 0)->checkState(), Qt::Checked);
    QCOMPARE(list.GetItemText(1, 1), std::u16string(u"SYS"));
    QCOMPARE(list.GetItemText(0, 1), std::u16string());
  }

  void columnsInsertDeleteAndFitTheHeader() {
    DeviceTableWidget table;
    QtListControl list(table);
    QCOMPARE(list.InsertColumn(0, u"", 10), 0);
    QCOMPARE(list.InsertColumn(1, u" Original App Version ", 120), 1);
    QCOMPARE(list.InsertColumn(2, u" Sys Name ", 80), 2);
    QCOMPARE(list.InsertColumn(3, u" Status ", 80), 3);
    list.DeleteColumn(0);
    QCOMPARE(table.columnCount(), 3);
    QCOMPARE(table.horizontalHeaderItem(0)->text(), QStringLiteral(" Original App Version "));
    QCOMPARE(table.columnWidth(0), 120);
    list.SetColumnWidth(1, kColumnAutosizeUseHeader);
    QCOMPARE(table.columnWidth(1), table.horizontalHeader()->sectionSizeHint(1));
    QVERIFY(table.columnWidth(1) != 80);
    QVERIFY(!table.horizontalHeader()->stretchLastSection());
    list.SetColumnWidth(2, kColumnAutosizeUseHeader);  // the last column fills the rest
    QVERIFY(table.horizontalHeader()->stretchLastSection());
  }

  void comboSelectsOnlyWhenTold() {
    QComboBox combo;
    combo.setEditable(true);
    combo.setInsertPolicy(QComboBox::NoInsert);
    QtComboControl control(combo);
    QCOMPARE(control.AddString(u"10.0.0.1   A"), 0);
    QCOMPARE(control.AddString(u"10.0.0.2   B"), 1);
    QCOMPARE(control.GetCurSel(), -1);
    QCOMPARE(control.GetCount(), 2);
    control.SetCurSel(1);
    QCOMPARE(control.GetCurSel(), 1);
    combo.setEditText(QStringLiteral("typed by hand"));
    QCOMPARE(control.GetCurSel(), -1);
    control.SetCurSel(0);
    QCOMPARE(control.GetCurSel(), 0);
    control.SetCurSel(-1);
    QCOMPARE(control.GetCurSel(), -1);
  }

  // A screen reader hears the box by its label, the chosen adapter as its
  // value, and reaches every adapter in the drop-down list to pick one.
  void adapterBoxOffersItsLabelValueAndEveryAdapter() {
    QComboBox combo;
    KeepAccessibleName(combo);
    combo.setEditable(true);
    combo.setAccessibleName(QStringLiteral("Network Adapter"));
    const QStringList adapters{QStringLiteral("10.0.0.1   A"), QStringLiteral("10.0.0.2   B")};
    combo.addItems(adapters);
    combo.setCurrentIndex(1);
    QAccessibleInterface* box = QAccessible::queryAccessibleInterface(&combo);
    QCOMPARE(box->text(QAccessible::Name), QStringLiteral("Network Adapter"));
    QCOMPARE(box->text(QAccessible::Value), adapters[1]);
    QAccessibleInterface* list = box->child(0);
    QVERIFY(list != nullptr && list->role() == QAccessible::List && box->indexOfChild(list) == 0);
    QStringList items;
    for (int i = 0; i < list->childCount(); ++i) items << list->child(i)->text(QAccessible::Name);
    QCOMPARE(items, adapters);
  }

  void editAndButtonCarryWideText() {
    QLineEdit edit;
    QtEditControl editControl(edit);
    editControl.SetText(u"C:\\Firmware\\paquet \u00e9t\u00e9.pck");
    QCOMPARE(editControl.Text(), std::u16string(u"C:\\Firmware\\paquet \u00e9t\u00e9.pck"));
    QPushButton button;
    QtButtonControl buttonControl(button);
    buttonControl.SetText(u"Stop Query");
    buttonControl.Enable(false);
    QCOMPARE(button.text(), QStringLiteral("Stop Query"));
    QVERIFY(!buttonControl.IsEnabled());
  }
};

QTEST_MAIN(QtAdaptersTest)
#include "qt_adapters_test.moc"
