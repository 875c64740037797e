// decode: every frame of a capture through the decoder; table: every frame
// through the packet pipeline into one device table.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "discovery/lldp_frame_view.h"
#include "discovery/capture_file.h"
#include "inventory/device_table.h"
#include "platform/clock.h"
#include "platform/csv.h"
#include "tools/cli/commands.h"
#include "session/device_rows.h"

namespace quilmarr::cli {
namespace {

int Decode(const std::string& path) {
  const SystemClock clock;
  long number = 0;
  std::string out;
  const std::string error = ReadCaptureFile(path, [&](std::span<const std::uint8_t> frame) {
    out += std::to_string(++number) + '\t';
    LldpFrameView view = MakeFrameView(frame);
    try {
      view.Decode();
    } catch (const CLldpException& e) {
      out += std::string("rejected\t") + e.what() + '\n';
      return;
    }
    const auto record = BuildDeviceRecord(view, clock);
    if (!record) {
      out += "rejected\t\n";
      return;
    }
    out += "ok\t" +
           JoinFields({record->ipText, record->systemName, record->iedName, record->bootVersion,
                       record->currentAppVersion}) +
           '\n';
  });
  if (!error.empty()) {
    std::cerr << "quilmarr-cli: cannot read " << path << ": " << error << '\n';
    return kUsageError;
  }
  std::fputs(out.c_str(), stdout);
  return 0;
}

// The device list's columns but its Status, which a capture does not have.
std::string CsvTable(const DeviceTable& table) {
  std::vector<std::u16string> headers = DeviceListHeaders();
  std::erase(headers, u"Status");
  std::string csv = CsvRecord(headers);
  for (const auto& record : table) {
    csv += CsvRecord({record->ipText, record->systemName, record->iedName, record->bootVersion,
                      record->originalAppVersion, record->currentAppVersion});
  }
  return csv;
}

void WriteBinary(const std::string& bytes) {
#ifdef _WIN32
  // RFC 4180 ends records with CRLF already; text mode would double the CR.
  static_cast<void>(_setmode(_fileno(stdout), _O_BINARY));
#endif
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

int Table(const std::string& path, bool csv) {
  const SystemClock clock;
  DeviceTable table;
  const std::string error = ReadCaptureFile(path, [&](std::span<const std::uint8_t> frame) {
    ProcessCapturedFrame(frame, table, clock);
  });
  if (!error.empty()) {
    std::cerr << "quilmarr-cli: cannot read " << path << ": " << error << '\n';
    return kUsageError;
  }
  if (csv) {
    WriteBinary(CsvTable(table));
    return 0;
  }
  for (const auto& record : table) {
    std::cout << JoinFields({record->ipText, record->systemName, record->iedName,
                             record->bootVersion, record->originalAppVersion,
                             record->currentAppVersion})
              << '\n';
  }
  return 0;
}

}  // namespace

void AddDecodeCommands(CLI::App& app, int& status) {
  // Outlives the parse: CLI11 stores the options' values here.
  auto path = std::make_shared<std::string>();

  auto* decode = app.add_subcommand("decode", "Decode every frame of a pcap/pcapng capture");
  decode->add_option("FILE", *path, "capture file")->required();
  decode->callback([path, &status] { status = Decode(*path); });

  auto csv = std::make_shared<bool>(false);
  auto* table = app.add_subcommand("table", "Run a capture through the device table");
  table->add_option("FILE", *path, "capture file")->required();
  table->add_flag("--csv", *csv, "RFC 4180 CSV with a header row instead of tab-separated lines");
  table->callback([path, csv, &status] { status = Table(*path, *csv); });
}

}  // namespace quilmarr::cli
