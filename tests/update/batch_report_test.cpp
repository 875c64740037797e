// The batch report's file name: one per batch, even within one second.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/folders.h"
#include "platform/local_time.h"
#include "platform/text.h"
#include "tests/support/temp_settings.h"
#include "update/batch_report.h"

namespace quilmarr::test {
namespace {

TEST(BatchReportPath, ASecondBatchInTheSameSecondGetsTheFirstFreeNumber) {
  TempSettings settings;
  constexpr UnixSeconds kStart = 1'765'098'930;
  const std::u16string stem = settings.File().Folder() + u"Reports" + PathSeparator() + u"batch-" +
                              FromUtf8(FileNameLocalTime(kStart));
  const std::u16string first = BatchReportPath(settings.File(), kStart);
  ASSERT_EQ(first, stem + u".csv");
  // Reserved on disk at once, where a batch of another process sees it.
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(first)));
  WriteBytes(std::filesystem::path(first), "an earlier report");

  EXPECT_EQ(BatchReportPath(settings.File(), kStart), stem + u"-2.csv") << "the first is on disk";
  EXPECT_EQ(BatchReportPath(settings.File(), kStart), stem + u"-3.csv")
      << "-2 belongs to a batch still running";
  EXPECT_EQ(ReadBytes(std::filesystem::path(first)), "an earlier report");
  EXPECT_TRUE(BatchReportPath(settings.File(), kStart + 60)
                  .ends_with(FromUtf8(FileNameLocalTime(kStart + 60)) + u".csv"));
}

}  // namespace
}  // namespace quilmarr::test
