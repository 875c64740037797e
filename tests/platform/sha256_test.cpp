// SHA-256 of files: FIPS 180-4 vectors, a file of many read blocks, unreadables.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/sha256.h"
#include "tests/support/temp_folder.h"

namespace quilmarr::test {
namespace {

TEST(FileSha256, DigestsTheFileBytesAsLowercaseHex) {
  const TempFolder temp;
  const struct {
    std::string bytes;
    const char* digest;  // from sha256sum
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(1 << 20, 'a') + "b",  // the last byte in a block of its own
       "371264331be3a89bb42c4fea3770469e9094f6ce8c8244b9ac2beb9ffd80e621"},
  };
  for (const auto& c : cases) {
    WriteBytes(temp.File("file"), c.bytes);
    EXPECT_EQ(FileSha256(temp.File("file")), c.digest) << c.bytes.size() << " bytes";
  }
  EXPECT_EQ(FileSha256(temp.File("missing")), std::nullopt);
  EXPECT_EQ(FileSha256(temp.Path()), std::nullopt) << "a folder";
}

}  // namespace
}  // namespace quilmarr::test
