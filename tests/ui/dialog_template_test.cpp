// The dialog templates in res/quilmarr.rc are the layout; the numbers the Qt
// front end places its controls by must be the same.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "res/dialog_layout.h"

namespace quilmarr::layout {
void PrintTo(const DialogRect& r, std::ostream* out) {
  *out << r.x << ", " << r.y << ", " << r.width << ", " << r.height;
}
}  // namespace quilmarr::layout

namespace {

using quilmarr::layout::DialogRect;

// The comma-separated fields of one template line, quotes kept whole.
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (const char c : line) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  for (std::string& field : fields) {
    field.erase(0, field.find_first_not_of(" \t"));
    field.erase(field.find_last_not_of(" \t\r") + 1);
  }
  return fields;
}

bool IsNumber(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// The first four numeric fields in a row: a control's rectangle.
std::optional<DialogRect> RectOf(const std::vector<std::string>& fields) {
  for (std::size_t i = 0; i + 3 < fields.size(); ++i) {
    if (IsNumber(fields[i]) && IsNumber(fields[i + 1]) && IsNumber(fields[i + 2]) &&
        IsNumber(fields[i + 3])) {
      return DialogRect{std::stoi(fields[i]), std::stoi(fields[i + 1]), std::stoi(fields[i + 2]),
                        std::stoi(fields[i + 3])};
    }
  }
  return std::nullopt;
}

// Each control of one DIALOGEX block by "KEYWORD text-or-id", and the block's
// own size under "DIALOGEX".
std::map<std::string, DialogRect> TemplateRects(const std::string& dialogName) {
  std::ifstream in(QUILMARR_SOURCE_DIR "/res/quilmarr.rc");
  std::map<std::string, DialogRect> rects;
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string first;
    words >> first;
    if (first == dialogName) {
      std::string keyword;
      words >> keyword;
      if (keyword != "DIALOGEX") continue;
      inside = true;
      std::string rest;
      std::getline(words, rest);
      if (auto rect = RectOf(Fields(rest))) rects["DIALOGEX"] = *rect;
      continue;
    }
    if (!inside) continue;
    if (first == "END") break;
    if (first == "BEGIN" || first.empty()) continue;
    std::string rest;
    std::getline(words, rest);
    const auto fields = Fields(rest);
    const auto rect = RectOf(fields);
    if (!rect || fields.size() < 2) continue;
    // A control is named by its text, or by its id when the text is empty or absent.
    const std::string& name = fields[0] != "\"\"" ? fields[0] : fields[1];
    rects[first + " " + name] = *rect;
  }
  return rects;
}

TEST(DialogTemplate, MainDialogLayoutMatchesTheResourceScript) {
  namespace layout = quilmarr::layout;
  const std::map<std::string, DialogRect> expected{
      {"DIALOGEX", layout::kMainDialog},
      {"DEFPUSHBUTTON \"Batch Update\"", layout::kBatchUpdateButton},
      {"PUSHBUTTON \"Query Device\"", layout::kQueryButton},
      {"COMBOBOX IDC_COMBO_ADAPTER", layout::kAdapterCombo},
      {"LTEXT \"Network Adapter:\"", layout::kAdapterLabel},
      {"LTEXT \"Device In Ethernet:\"", layout::kDevicesLabel},
      {"CONTROL IDC_LIST_DEVICES", layout::kDeviceList},
      {"LTEXT \"File:\"", layout::kFileLabel},
      {"EDITTEXT IDC_EDIT_FILE", layout::kFileEdit},
      {"PUSHBUTTON \"Browse\"", layout::kBrowseButton},
  };
  EXPECT_EQ(TemplateRects("IDD_MAIN_DIALOG"), expected);
}

TEST(DialogTemplate, AboutBoxLayoutMatchesTheResourceScript) {
  namespace layout = quilmarr::layout;
  const std::map<std::string, DialogRect> expected{
      {"DIALOGEX", layout::kAboutBox},
      {"ICON IDR_MAINFRAME", layout::kAboutIcon},
      {"LTEXT QUILMARR_ABOUT_VERSION_LINE", layout::kAboutVersion},
      {"LTEXT \"Copyright (C) 2023\"", layout::kAboutNotice},
      {"DEFPUSHBUTTON \"OK\"", layout::kAboutOk},
  };
  EXPECT_EQ(TemplateRects("IDD_ABOUTBOX"), expected);
}

}  // namespace
