// The public LLDP captures against tshark's reference dissection
// (expected.tsv): every frame decodes or is rejected cleanly, and every LLDP
// frame's outcome agrees with what tshark saw in it. The captures ship with the
// sources, so each must carry a licence that allows that.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "discovery/lldp_frame_view.h"
#include "discovery/capture_file.h"
#include "inventory/device_table.h"
#include "platform/clock.h"

namespace quilmarr::test {
namespace {

const std::filesystem::path kCorpus = QUILMARR_CORPUS_DIR;

struct Expected {
  std::string dstMac, systemNameHex, subtypes, ipv4, descriptionHex;
};

std::map<std::string, std::map<long, Expected>> LoadExpected() {
  std::map<std::string, std::map<long, Expected>> byFile;
  std::ifstream in(kCorpus / "expected.tsv");
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::vector<std::string> cols;
    std::stringstream fields(line);
    std::string col;
    while (std::getline(fields, col, '\t')) cols.push_back(col);
    cols.resize(9);
    byFile[cols[0]][std::stol(cols[1])] = {cols[3], cols[4], cols[5], cols[6], cols[7]};
  }
  return byFile;
}

std::string Hex(const std::uint8_t* data, std::uint32_t length) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (std::uint32_t i = 0; i < length; ++i) {
    out += digits[data[i] >> 4];
    out += digits[data[i] & 15];
  }
  return out;
}

// The frame with its System Description TLVs left out, so that the rest of a
// real device's LLDPDU can be checked against tshark too.
std::vector<std::uint8_t> WithoutSystemDescription(std::span<const std::uint8_t> frame) {
  std::vector<std::uint8_t> out(frame.begin(), frame.begin() + 14);
  std::size_t offset = 14;
  while (offset + 2 <= frame.size()) {
    const std::size_t type = frame[offset] >> 1;
    const std::size_t length = ((frame[offset] & 1u) << 8) | frame[offset + 1];
    const std::size_t end = std::min(frame.size(), offset + 2 + length);
    if (type != 6)
      out.insert(out.end(), frame.begin() + static_cast<std::ptrdiff_t>(offset),
                 frame.begin() + static_cast<std::ptrdiff_t>(end));
    if (type == 0) break;
    offset = end;
  }
  return out;
}

bool IsLldpMulticast(const std::string& mac) {
  return mac == "01:80:c2:00:00:0e" || mac == "01:80:c2:00:00:03" || mac == "01:80:c2:00:00:00";
}

struct Tally {
  int frames = 0, lldp = 0, accepted = 0, acceptedWithoutDescription = 0;
  std::map<std::string, int> rejected;  // LLDP frames only
};

// Files whose LLDP frames tshark could not dissect fully; a decoder that steps
// over TLVs by their lengths legitimately sees more there.
bool TsharkStoppedEarly(const std::string& file) { return file == "lldpd_med_loc_malformed.pcap"; }

TEST(Corpus, EveryLldpFrameAgreesWithTheReferenceDissection) {
  const auto expected = LoadExpected();
  ASSERT_FALSE(expected.empty()) << "no expected.tsv in " << kCorpus;
  std::map<std::string, Tally> tallies;
  for (const auto& [file, frames] : expected) {
    Tally& tally = tallies[file];
    long number = 0;
    const std::string error =
        ReadCaptureFile((kCorpus / file).string(), [&](std::span<const std::uint8_t> bytes) {
          ++number;
          ++tally.frames;
          LldpFrameView view = MakeFrameView(bytes);
          std::string rejection;
          try {
            view.Decode();
          } catch (const CLldpException& e) {
            rejection = e.what();
          }
          const auto it = frames.find(number);
          if (it == frames.end()) {
            // Not LLDP according to tshark: the header checks must say so.
            EXPECT_TRUE(rejection == "invalid multicast address" ||
                        rejection == "invalid ethernet type")
                << file << " frame " << number << ": " << rejection;
            return;
          }
          ++tally.lldp;
          const Expected& e = it->second;
          const std::string where = file + " frame " + std::to_string(number);
          if (rejection.empty()) {
            ++tally.accepted;
            EXPECT_TRUE(IsLldpMulticast(e.dstMac)) << where;
            if (!TsharkStoppedEarly(file)) {
              EXPECT_EQ(Hex(view.systemName, view.systemNameLength), e.systemNameHex) << where;
              // None of these devices writes the three keys, so an accepted
              // frame must be one without a System Description.
              EXPECT_EQ(e.descriptionHex, "") << where;
            }
            const auto record = BuildDeviceRecord(view, SystemClock());
            ASSERT_NE(record, nullptr) << where;
            EXPECT_EQ(FormatIpv4(view.mgmtAddress), e.ipv4) << where;
            return;
          }
          tally.rejected[rejection]++;
          if (rejection == "invalid multicast address") {
            EXPECT_FALSE(IsLldpMulticast(e.dstMac)) << where;
          } else if (rejection == "invalid IPV4 address") {
            EXPECT_NE(e.subtypes.find_first_not_of("1,"), std::string::npos) << where;
          } else if (rejection == "invalid LLDP System Description") {
            EXPECT_TRUE(!e.descriptionHex.empty() || TsharkStoppedEarly(file)) << where;
            LldpFrameView rest = MakeFrameView(WithoutSystemDescription(bytes));
            try {
              rest.Decode();
              ++tally.acceptedWithoutDescription;
              if (!TsharkStoppedEarly(file)) {
                EXPECT_EQ(Hex(rest.systemName, rest.systemNameLength), e.systemNameHex) << where;
              }
              EXPECT_EQ(FormatIpv4(rest.mgmtAddress), e.ipv4) << where;
            } catch (const CLldpException& again) {
              EXPECT_TRUE(e.systemNameHex.empty() || e.ipv4.empty() ||
                          e.subtypes.find_first_not_of("1,") != std::string::npos)
                  << where << ": " << again.what();
            }
          } else if (rejection == "invalid LLDP package") {
            // No name, no IPv4 address, or a chain cut short.
            EXPECT_TRUE(e.systemNameHex.empty() || e.ipv4.empty() || file.rfind("fuzz_", 0) == 0)
                << where;
          } else {
            ADD_FAILURE() << where << ": unexpected rejection " << rejection;
          }
        });
    EXPECT_EQ(error, "") << file;
  }

  // The outcome per file, pinned: a change here is a change in behaviour.
  // No device in these captures writes the three System Description keys.
  struct Pinned {
    const char* file;
    int frames, lldp, descriptionRejected, acceptedWithoutDescription;
  };
  const Pinned pinned[] = {
      {"cisco_c3560_lldp_cdp.pcap", 12, 8, 8, 0},  // no Management Address
      {"cisco_c9k_8023bt.pcap", 1, 1, 1, 1},
      {"enip_cip_example.pcap", 776, 2, 0, 0},  // no System Name
      {"fuzz_infinite_loop.pcap", 1, 1, 0, 0},
      {"fuzz_mgmt_addr_tlv.pcap", 2, 1, 0, 0},
      {"fuzz_truncated_mtu.pcap", 1, 1, 0, 0},
      {"h3c_s5800_erspan_mix.pcap", 119, 5, 5, 5},
      {"hirschmann_mar_pmu.pcap", 7309, 7, 7, 7},
      {"lldpd_med_loc_malformed.pcap", 1, 1, 1, 0},  // no Management Address
      {"mudurl_ipv6_mgmt.pcap", 2, 2, 2, 0},         // IPv6 after IPv4
      {"scalance_x212_modbus.pcap", 13472, 5, 5, 5},
      {"smc_gs8p_switch.pcap", 1, 1, 1, 1},
      {"versamax_scalance_profinet.pcapng", 1609, 201, 134, 0},
  };
  for (const auto& p : pinned) {
    const Tally& t = tallies[p.file];
    EXPECT_EQ(t.frames, p.frames) << p.file;
    EXPECT_EQ(t.lldp, p.lldp) << p.file;
    EXPECT_EQ(t.accepted, 0) << p.file;
    const auto it = t.rejected.find("invalid LLDP System Description");
    EXPECT_EQ(it == t.rejected.end() ? 0 : it->second, p.descriptionRejected) << p.file;
    EXPECT_EQ(t.acceptedWithoutDescription, p.acceptedWithoutDescription) << p.file;
  }
}

// The licence column of each capture's row in the folder's README.
std::map<std::string, std::string> LicenceTable() {
  std::map<std::string, std::string> licences;
  std::ifstream in(kCorpus / "README.md");
  std::string line;
  bool inTable = false;
  while (std::getline(in, line)) {
    if (line.rfind("| file | licence |", 0) == 0) inTable = true;
    if (!inTable) continue;
    if (line.rfind("| `", 0) != 0) {
      if (!licences.empty()) break;
      continue;
    }
    std::vector<std::string> cells;
    std::stringstream row(line.substr(1));
    std::string cell;
    while (std::getline(row, cell, '|')) {
      const auto first = cell.find_first_not_of(" `");
      const auto last = cell.find_last_not_of(" `");
      cells.push_back(first == std::string::npos ? "" : cell.substr(first, last - first + 1));
    }
    if (cells.size() >= 3) licences[cells[0]] = cells[1] + "|" + cells[2];
  }
  return licences;
}

TEST(Corpus, EveryCaptureCarriesAPermissiveLicenceAndItsText) {
  const auto licences = LicenceTable();
  int captures = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kCorpus)) {
    const auto extension = entry.path().extension();
    if (extension != ".pcap" && extension != ".pcapng") continue;
    ++captures;
    const std::string file = entry.path().filename().string();
    const auto it = licences.find(file);
    ASSERT_TRUE(it != licences.end()) << file << " has no row in the licence table";
    const std::string licence = it->second.substr(0, it->second.find('|'));
    const std::string text = it->second.substr(it->second.find('|') + 1);
    EXPECT_TRUE(licence.rfind("BSD", 0) == 0 || licence == "ISC" || licence == "CC BY 4.0")
        << file << ": " << licence;
    EXPECT_TRUE(std::filesystem::is_regular_file(kCorpus / text)) << file << ": " << text;
  }
  EXPECT_GE(captures, 10);
}

}  // namespace
}  // namespace quilmarr::test
