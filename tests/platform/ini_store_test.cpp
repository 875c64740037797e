// The same cases run against our engine and the platform's store (the Win32
// API under Wine), so the engine keeps the semantics of the real one.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/ini.h"
#include "platform/ini_engine.h"
#include "platform/text.h"
#include "tests/support/temp_folder.h"

namespace quilmarr::test {
namespace {

struct EngineStore {
  static std::unique_ptr<IniStore> Make() { return std::make_unique<IniEngineStore>(); }
};
struct PlatformStore {
  static std::unique_ptr<IniStore> Make() { return MakePlatformIniStore(); }
};

std::u16string PathText(const std::filesystem::path& path) { return path.u16string(); }

constexpr std::u16string_view kDefault = u"<default>";

template <typename Kind>
class IniStoreTest : public ::testing::Test {
 protected:
  std::unique_ptr<IniStore> store_ = Kind::Make();
  TempFolder folder_;
  std::filesystem::path file_ = folder_.File("Pendravel.ini");

  std::u16string Read(std::u16string_view section, std::u16string_view key,
                      std::size_t capacity = 300) const {
    return store_->Read(PathText(file_), section, key, kDefault, capacity);
  }
};

using StoreKinds = ::testing::Types<EngineStore, PlatformStore>;
TYPED_TEST_SUITE(IniStoreTest, StoreKinds);

struct ReadCase {
  const char* name;
  std::string_view file;
  std::u16string_view section;
  std::u16string_view key;
  std::size_t capacity;
  std::u16string_view expected;
};

const ReadCase kReadCases[] = {
    {"plain", "[UDP]\nREMOTE_IP=10.0.0.1\n", u"UDP", u"REMOTE_IP", 50, u"10.0.0.1"},
    {"names ignore case", "[udp]\nremote_ip=1\n", u"UDP", u"REMOTE_IP", 50, u"1"},
    {"blanks around names and value", "[ UDP ]\n  REMOTE_IP  =  1 2  \n", u"UDP", u"REMOTE_IP", 50,
     u"1 2"},
    {"requested names trimmed", "[UDP]\nREMOTE_IP=1\n", u" UDP ", u" REMOTE_IP ", 50, u"1"},
    {"double quotes removed", "[S]\nk=\" a b \"\n", u"S", u"k", 50, u" a b "},
    {"single quotes removed", "[S]\nk='a b'\n", u"S", u"k", 50, u"a b"},
    {"mismatched quotes kept", "[S]\nk=\"a'\n", u"S", u"k", 50, u"\"a'"},
    {"one pair of quotes only", "[S]\nk=\"\"a\"\"\n", u"S", u"k", 50, u"\"a\""},
    {"lone quote kept", "[S]\nk=\"\n", u"S", u"k", 50, u"\""},
    {"first duplicate section wins", "[S]\na=1\n[S]\na=2\nb=3\n", u"S", u"a", 50, u"1"},
    {"later duplicate section unread", "[S]\na=1\n[S]\na=2\nb=3\n", u"S", u"b", 50, kDefault},
    {"first duplicate key wins", "[S]\na=1\nA=2\n", u"S", u"a", 50, u"1"},
    {"comment is no key", "[S]\n;a=1\n", u"S", u"a", 50, kDefault},
    {"missing key", "[S]\na=1\n", u"S", u"b", 50, kDefault},
    {"missing section", "[S]\na=1\n", u"T", u"a", 50, kDefault},
    {"key of another section", "[S]\na=1\n[T]\nb=2\n", u"S", u"b", 50, kDefault},
    {"capacity cuts", "[S]\nk=abcdef\n", u"S", u"k", 4, u"abc"},
    {"capacity one gives empty", "[S]\nk=abcdef\n", u"S", u"k", 1, u""},
    {"capacity exactly enough", "[S]\nk=abcdef\n", u"S", u"k", 7, u"abcdef"},
    {"default cut too", "[S]\n", u"S", u"k", 4, u"<de"},
    {"crlf lines", "[S]\r\nk=v\r\n", u"S", u"k", 50, u"v"},
    {"equals inside value", "[S]\nk=a=b\n", u"S", u"k", 50, u"a=b"},
    {"empty value", "[S]\nk=\n", u"S", u"k", 50, u""},
    {"no final line ending", "[S]\nk=v", u"S", u"k", 50, u"v"},
    {"blank lines between", "\n[S]\n\n\nk=v\n\n", u"S", u"k", 50, u"v"},
};

TYPED_TEST(IniStoreTest, ReadsLikeTheWindowsProfileFunctions) {
  for (const ReadCase& c : kReadCases) {
    SCOPED_TRACE(c.name);
    WriteBytes(this->file_, c.file);
    EXPECT_EQ(this->Read(c.section, c.key, c.capacity), c.expected);
  }
}

TYPED_TEST(IniStoreTest, MissingFileGivesTheDefault) {
  EXPECT_EQ(this->Read(u"S", u"k"), kDefault);
  EXPECT_FALSE(std::filesystem::exists(this->file_));
}

TYPED_TEST(IniStoreTest, WritesCreateReplaceAndAdd) {
  ASSERT_TRUE(this->store_->Write(PathText(this->file_), u"UDP", u"REMOTE_IP", u"10.0.0.1"));
  ASSERT_TRUE(this->store_->Write(PathText(this->file_), u"UDP", u"HOST_IP", u"10.0.0.2"));
  ASSERT_TRUE(this->store_->Write(PathText(this->file_), u"Quilmarr", u"PckFile", u"C:\\p.pck"));
  ASSERT_TRUE(this->store_->Write(PathText(this->file_), u"udp", u"remote_ip", u"10.0.0.3"));
  ASSERT_TRUE(this->store_->Write(PathText(this->file_), u"Quilmarr", u"AdapterIp", u""));

  EXPECT_EQ(this->Read(u"UDP", u"REMOTE_IP"), u"10.0.0.3");
  EXPECT_EQ(this->Read(u"UDP", u"HOST_IP"), u"10.0.0.2");
  EXPECT_EQ(this->Read(u"Quilmarr", u"PckFile"), u"C:\\p.pck");
  EXPECT_EQ(this->Read(u"Quilmarr", u"AdapterIp"), u"") << "an empty value is stored, not removed";
}

TYPED_TEST(IniStoreTest, WriteKeepsOtherKeysAndSections) {
  WriteBytes(this->file_, "[A]\nx=1\n\n[UDP]\nREMOTE_IP=1.1.1.1\nHOST_IP=2.2.2.2\n\n[B]\ny=2\n");
  ASSERT_TRUE(this->store_->Write(PathText(this->file_), u"UDP", u"REMOTE_IP", u"9.9.9.9"));
  ASSERT_TRUE(this->store_->Write(PathText(this->file_), u"A", u"z", u"3"));
  EXPECT_EQ(this->Read(u"A", u"x"), u"1");
  EXPECT_EQ(this->Read(u"A", u"z"), u"3");
  EXPECT_EQ(this->Read(u"UDP", u"REMOTE_IP"), u"9.9.9.9");
  EXPECT_EQ(this->Read(u"UDP", u"HOST_IP"), u"2.2.2.2");
  EXPECT_EQ(this->Read(u"B", u"y"), u"2");
}

TYPED_TEST(IniStoreTest, WriteIntoMissingFolderFailsAndCreatesNothing) {
  const std::filesystem::path missing = this->folder_.Path() / "absent";
  EXPECT_FALSE(this->store_->Write(PathText(missing / "Pendravel.ini"), u"S", u"k", u"v"));
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_EQ(this->store_->Read(PathText(missing / "Pendravel.ini"), u"S", u"k", kDefault, 50),
            kDefault);
}

TYPED_TEST(IniStoreTest, WriteToReadOnlyFileFailsAndLeavesIt) {
  const std::string original = "[S]\nk=old\n";
  WriteBytes(this->file_, original);
  std::filesystem::permissions(this->file_,
                               std::filesystem::perms::owner_write |
                                   std::filesystem::perms::group_write |
                                   std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
  EXPECT_FALSE(this->store_->Write(PathText(this->file_), u"S", u"k", u"new"));
  EXPECT_EQ(ReadBytes(this->file_), original);
}

struct RefusedCase {
  const char* name;
  std::u16string_view section;
  std::u16string_view key;
  std::u16string_view value;
};

const RefusedCase kRefusedCases[] = {
    {"line feed in value", u"S", u"k", u"1.2.3.4\n[UDP]\nREMOTE_IP=6.6.6.6"},
    {"carriage return in value", u"S", u"k", u"a\rb"},
    {"zero in value", u"S", u"k", std::u16string_view(u"a\0b", 3)},
    {"line break in section", u"S\nT", u"k", u"v"},
    {"bracket in section", u"S]x", u"k", u"v"},
    {"line break in key", u"S", u"k\nREMOTE_IP", u"v"},
    {"equals in key", u"S", u"REMOTE_IP=1", u"v"},
    {"key reading back as comment", u"S", u";k", u"v"},
    {"key reading back as section", u"S", u"[k", u"v"},
};

TYPED_TEST(IniStoreTest, RefusesEntriesThatWouldAddLines) {
  const std::string original = "[S]\nk=old\n";
  for (const RefusedCase& c : kRefusedCases) {
    SCOPED_TRACE(c.name);
    WriteBytes(this->file_, original);
    EXPECT_FALSE(this->store_->Write(PathText(this->file_), c.section, c.key, c.value));
    EXPECT_EQ(ReadBytes(this->file_), original);
  }
}

#ifdef _WIN32

// Same start, same writes: our engine and the Win32 API must read the same
// values back. Values are compared, not bytes, as Wine reformats what it writes.
struct WriteStep {
  std::u16string_view section;
  std::u16string_view key;
  std::u16string_view value;
};

struct Query {
  std::u16string_view section;
  std::u16string_view key;
};

TEST(IniDifferentialTest, EngineAndWin32ReadTheSameAfterTheSameWrites) {
  const std::string_view starts[] = {
      "",
      "[UDP]\r\nREMOTE_IP=1.1.1.1\r\nHOST_IP = \"2.2.2.2\"\r\n",
      "; updater\n\n[ udp ]\nremote_ip=1\n[Other]\nx=1\n\n[UDP]\nREMOTE_IP=dup\n",
      "[Pendravel]\nExePath=C:\\Pendravel\\\n[Quilmarr]\nPckFile='C:\\a b.pck'\n",
      "[S]\nk=v",
  };
  const WriteStep steps[] = {
      {u"UDP", u"REMOTE_IP", u"10.0.0.5"},           {u"UDP", u"HOST_IP", u"10.0.0.1"},
      {u"Quilmarr", u"PckFile", u"C:\\fw\\pkg.pck"}, {u"Quilmarr", u"AdapterIp", u""},
      {u"udp", u"remote_ip", u"10.0.0.6"},           {u"New", u"k", u" padded "},
  };
  const Query queries[] = {
      {u"UDP", u"REMOTE_IP"},
      {u"UDP", u"HOST_IP"},
      {u"Quilmarr", u"PckFile"},
      {u"Quilmarr", u"AdapterIp"},
      {u"Pendravel", u"ExePath"},
      {u"Other", u"x"},
      {u"S", u"k"},
      {u"New", u"k"},
      {u"New", u"missing"},
  };
  IniEngineStore engine;
  const auto win32 = MakePlatformIniStore();
  TempFolder folder;
  int index = 0;
  for (const std::string_view start : starts) {
    SCOPED_TRACE(index);
    const auto ours = folder.File("ours" + std::to_string(index) + ".ini");
    const auto theirs = folder.File("theirs" + std::to_string(index) + ".ini");
    ++index;
    WriteBytes(ours, start);
    WriteBytes(theirs, start);
    for (const Query& q : queries) {
      EXPECT_EQ(engine.Read(PathText(ours), q.section, q.key, kDefault, 50),
                win32->Read(PathText(ours), q.section, q.key, kDefault, 50));
    }
    for (const WriteStep& step : steps) {
      EXPECT_TRUE(engine.Write(PathText(ours), step.section, step.key, step.value));
      EXPECT_TRUE(win32->Write(PathText(theirs), step.section, step.key, step.value));
    }
    for (const Query& q : queries) {
      SCOPED_TRACE(ToUtf8(q.key));
      const auto expected = win32->Read(PathText(theirs), q.section, q.key, kDefault, 50);
      EXPECT_EQ(engine.Read(PathText(ours), q.section, q.key, kDefault, 50), expected);
      EXPECT_EQ(win32->Read(PathText(ours), q.section, q.key, kDefault, 50), expected);
      EXPECT_EQ(engine.Read(PathText(theirs), q.section, q.key, kDefault, 50), expected);
    }
  }
}

#endif

}  // namespace
}  // namespace quilmarr::test
