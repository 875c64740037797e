// quilmarr-demo-driver: the real main window with the real capture, settings
// file and process launcher, walked through a query and a batch update the
// way a user would, reporting what the window showed on standard output and
// writing a screenshot of each stage. Used by the demo without a display and
// by the end-to-end test.
//
// Output lines: "rows STAGE" followed by "row ticked|ip|system|ied|boot|
// original|current|status" per row; "updating IP" each time the "Updating"
// mark reaches another row; "box CAPTION: TEXT" for each message box;
// "shot PATH"; last "result ok" (exit 0) or "result failed: WHY" (exit 1).
#include <CLI/CLI.hpp>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "discovery/pcap/pcap_packet_source.h"
#include "tests/e2e/dialog_probe.h"
#include "tests/qt/qt_test_support.h"
#include "app/qt_dialog_services.h"
#include "ui/qt/qt_batch_dialog.h"

namespace quilmarr::test {
namespace {

struct Options {
  std::string adapterIp;
  int devices = 0;
  std::vector<int> tickRows;
  std::string newVersion;
  std::string shotDir;
  int timeoutSeconds = 60;
};

void Say(const QString& line) {
  std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
  std::fflush(stdout);
}

class Walkthrough {
 public:
  Walkthrough(QtBatchDialog& dialog, const Options& options)
      : dialog_(dialog),
        probe_(dialog),
        options_(options),
        timeout_(std::chrono::seconds(options.timeoutSeconds)) {}

  // Empty on success, else what went wrong.
  QString Run() {
    dialog_.show();
    if (!PumpUntil([this] { return dialog_.isVisible(); }, timeout_))
      return QStringLiteral("no window");
    Stage(QStringLiteral("started"));

    if (!probe_.SelectAdapter(QString::fromStdString(options_.adapterIp))) {
      return QStringLiteral("adapter %1 not offered")
          .arg(QString::fromStdString(options_.adapterIp));
    }
    Say(QStringLiteral("adapter %1").arg(dialog_.AdapterCombo().currentText()));
    probe_.ClickQuery();
    if (!PumpUntil(
            [this] { return probe_.Rows().size() >= static_cast<std::size_t>(options_.devices); },
            timeout_)) {
      return QStringLiteral("fewer than %1 devices listed").arg(options_.devices);
    }
    Stage(QStringLiteral("devices"));
    if (options_.tickRows.empty()) return {};

    for (const int row : options_.tickRows) probe_.Tick(row);
    Stage(QStringLiteral("ticked"));
    std::vector<QString> tickedIps;
    for (const auto& row : probe_.Rows()) {
      if (row.ticked) tickedIps.push_back(row.ip);
    }

    probe_.ClickBatchUpdate();
    if (dialog_.Controller().Mode() != UiMode::Updating)
      return QStringLiteral("batch did not start");
    const auto watchUpdating = [this] { NoteUpdatingRow(); };
    if (!PumpUntil([this] { return dialog_.Controller().Mode() == UiMode::Querying; }, timeout_,
                   watchUpdating)) {
      return QStringLiteral("batch did not end");
    }
    const QString newVersion = QString::fromStdString(options_.newVersion);
    // The "Updating" mark goes at the first list refresh after the batch.
    const auto allUpdated = [&] {
      const auto rows = probe_.Rows();
      return std::none_of(
                 rows.begin(), rows.end(),
                 [](const ShownRow& row) { return row.status == QStringLiteral("Updating"); }) &&
             std::all_of(tickedIps.begin(), tickedIps.end(), [&](const QString& ip) {
               return std::any_of(rows.begin(), rows.end(), [&](const ShownRow& row) {
                 return row.ip == ip &&
                        (newVersion.isEmpty() || row.currentAppVersion == newVersion);
               });
             });
    };
    if (!PumpUntil(allUpdated, timeout_)) return QStringLiteral("new versions not shown");
    Stage(QStringLiteral("updated"));

    probe_.ClickQuery();
    if (!PumpUntil([this] { return dialog_.Controller().Mode() == UiMode::Idle; }, timeout_)) {
      return QStringLiteral("query did not stop");
    }
    Stage(QStringLiteral("stopped"));
    dialog_.close();
    if (!PumpUntil([this] { return !dialog_.isVisible(); }, timeout_))
      return QStringLiteral("did not close");
    Say(QStringLiteral("closed"));
    return {};
  }

 private:
  void Stage(const QString& name) {
    Say(QStringLiteral("rows %1").arg(name));
    for (const auto& row : probe_.Rows()) Say(QStringLiteral("row ") + FormatRow(row));
    if (!options_.shotDir.empty()) {
      const QString path =
          QDir(QString::fromStdString(options_.shotDir))
              .filePath(
                  QStringLiteral("%1-%2.png").arg(++shots_, 2, 10, QLatin1Char('0')).arg(name));
      if (dialog_.grab().save(path)) Say(QStringLiteral("shot ") + path);
    }
  }

  void NoteUpdatingRow() {
    for (const auto& row : probe_.Rows()) {
      if (row.status == QStringLiteral("Updating") && row.ip != lastUpdating_) {
        lastUpdating_ = row.ip;
        Say(QStringLiteral("updating ") + row.ip);
        Stage(QStringLiteral("updating-") + row.ip);
      }
    }
  }

  QtBatchDialog& dialog_;
  DialogProbe probe_;
  const Options& options_;
  std::chrono::milliseconds timeout_;
  QString lastUpdating_;
  int shots_ = 0;
};

}  // namespace
}  // namespace quilmarr::test

int main(int argc, char* argv[]) {
  using namespace quilmarr;
  test::Options options;
  CLI::App cli{"quilmarr-demo-driver: walks the real main window through a query and a batch"};
  cli.add_option("--adapter-ip", options.adapterIp, "IPv4 of the adapter to select")->required();
  cli.add_option("--devices", options.devices, "devices to wait for")
      ->required()
      ->check(CLI::PositiveNumber);
  cli.add_option("--tick", options.tickRows, "rows (from 0) to tick; none: stop after the query");
  cli.add_option("--new-version", options.newVersion,
                 "Current App Version the ticked rows end with");
  cli.add_option("--shots", options.shotDir, "folder for the screenshots")
      ->check(CLI::ExistingDirectory);
  cli.add_option("--timeout", options.timeoutSeconds, "seconds allowed for each stage")
      ->capture_default_str();
  CLI11_PARSE(cli, argc, argv);

  QApplication application(argc, argv);
  PlatformServices services;
  // Every message box is reported, then closed the way a user would; the
  // batch's question ("asked") is answered Yes.
  test::ModalCatcher boxCloser;
  boxCloser.onBox = [](const test::SeenBox& box) {
    const bool question = box.buttons.contains(QStringLiteral("&Yes"));
    test::Say(QStringLiteral("%1 %2: %3")
                  .arg(question ? QStringLiteral("asked") : QStringLiteral("box"), box.caption,
                       box.text.section(QLatin1Char('\n'), 0, 0)));
  };

  QString failure;
  {
    QtBatchDialog dialog(QtServicesFor(services));
    test::Walkthrough walkthrough(dialog, options);
    failure = walkthrough.Run();
  }
  test::Say(failure.isEmpty() ? QStringLiteral("result ok")
                              : QStringLiteral("result failed: ") + failure);
  return failure.isEmpty() ? 0 : 1;
}
