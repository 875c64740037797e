#pragma once
// Fakes for the front-end tests: two adapters, a packet source fed from the
// test thread, a clock the test sets, a launcher that records, and a real
// settings file in a temporary folder.
#include <QDir>
#include <QString>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "discovery/adapters.h"
#include "discovery/packet_source.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_folder_locator.h"
#include "tests/support/fake_interface_lister.h"
#include "tests/support/fake_launcher.h"
#include "tests/support/frame_feed.h"
#include "tests/support/lldp_frames.h"
#include "tests/support/temp_settings.h"
#include "ui/qt/qt_text.h"
#include "update/settings_file.h"

namespace quilmarr::test {

}  // namespace quilmarr::test
