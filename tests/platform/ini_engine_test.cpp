// Our engine's writes change only the line of their key, or add lines, and
// leave every other byte of the shared file as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "platform/ini_engine.h"
#include "tests/support/temp_folder.h"

namespace quilmarr::test {
namespace {

struct EditCase {
  const char* name;
  std::string_view before;
  std::u16string_view section;
  std::u16string_view key;
  std::u16string_view value;
  std::string_view after;
};

const EditCase kEditCases[] = {
    {"replace keeps everything else",
     "; updater settings\n\n[A]\nx=1\n\n[UDP]\nREMOTE_IP=1.2.3.4\nHOST_IP=5.6.7.8\n\n; end\n",
     u"UDP", u"REMOTE_IP", u"9.9.9.9",
     "; updater settings\n\n[A]\nx=1\n\n[UDP]\nREMOTE_IP=9.9.9.9\nHOST_IP=5.6.7.8\n\n; end\n"},
    {"replace keeps the key's spelling and blanks", "[udp]\n  remote_ip = \"old\"  \n", u"UDP",
     u"REMOTE_IP", u"new", "[udp]\n  remote_ip = new\n"},
    {"crlf kept, new key after the section's last key", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n", u"A",
     u"z", u"3", "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n"},
    {"new key in a section without keys", "[A]\n\n[B]\n", u"A", u"k", u"v", "[A]\nk=v\n\n[B]\n"},
    {"new key goes before a comment under the header", "[S]\n;k=1\n", u"S", u"k", u"2",
     "[S]\nk=2\n;k=1\n"},
    {"new section at the end", "[A]\nx=1\n", u"B", u"k", u"v", "[A]\nx=1\n[B]\nk=v\n"},
    {"new section in a crlf file", "[A]\r\nx=1\r\n", u"B", u"k", u"v",
     "[A]\r\nx=1\r\n[B]\r\nk=v\r\n"},
    {"new section after a last line without ending", "[A]\nx=1", u"B", u"k", u"v",
     "[A]\nx=1\n[B]\nk=v\n"},
    {"new key after a last line without ending", "[A]\nx=1", u"A", u"y", u"2", "[A]\nx=1\ny=2\n"},
    {"replace on a last line without ending", "[A]\nx=1", u"A", u"x", u"2", "[A]\nx=2"},
#ifdef _WIN32
    {"empty file gets the platform's line ending", "", u"S", u"k", u"v", "[S]\r\nk=v\r\n"},
#else
    {"empty file gets the platform's line ending", "", u"S", u"k", u"v", "[S]\nk=v\n"},
#endif
    {"first duplicate section and key written", "[S]\na=1\na=9\n[S]\na=2\n", u"S", u"a", u"3",
     "[S]\na=3\na=9\n[S]\na=2\n"},
    {"new key into the first duplicate section", "[S]\na=1\n[S]\na=2\n", u"S", u"b", u"4",
     "[S]\na=1\nb=4\n[S]\na=2\n"},
    {"byte order mark kept", "\xEF\xBB\xBF[S]\nk=1\n", u"S", u"k", u"2", "\xEF\xBB\xBF[S]\nk=2\n"},
    {"key line without equals gets a value", "[S]\nk\n", u"S", u"k", u"v", "[S]\nk=v\n"},
    {"empty value stored", "[S]\nk=v\n", u"S", u"k", u"", "[S]\nk=\n"},
    {"utf-8 value", "[S]\n", u"S", u"k", u"Gr\u00fc\u00dfe",
     "[S]\nk=Gr\xC3\xBC\xC3\x9F"
     "e\n"},
};

TEST(IniEngineEditTest, ChangesOnlyTheKeysLineOrAddsLines) {
  for (const EditCase& c : kEditCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(WithIniValue(c.before, c.section, c.key, c.value), c.after);
    EXPECT_EQ(FindIniValue(c.after, c.section, c.key), std::u16string(c.value));
  }
}

TEST(IniEngineFindTest, ReadsUtf8AndSkipsTheByteOrderMark) {
  EXPECT_EQ(FindIniValue("\xEF\xBB\xBF[S]\nk=Gr\xC3\xBC\xC3\x9F"
                         "e\n",
                         u"S", u"k"),
            u"Gr\u00fc\u00dfe");
  EXPECT_EQ(FindIniValue("[S]\nk\n", u"S", u"k"), std::nullopt) << "a key without '=' has no value";
  EXPECT_EQ(FindIniValue("k=1\n[S]\n", u"", u"k"), u"1") << "lines before any header";
}

TEST(IniEngineStoreTest, WriteLeavesNoTemporaryFiles) {
  TempFolder folder;
  const auto file = folder.File("Pendravel.ini");
  IniEngineStore store;
  ASSERT_TRUE(store.Write(file.u16string(), u"S", u"k", u"v"));
  ASSERT_TRUE(store.Write(file.u16string(), u"S", u"k", u"w"));
  EXPECT_FALSE(store.Write(file.u16string(), u"S", u"k", u"x\ny"));
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 1u);
  EXPECT_EQ(store.Read(file.u16string(), u"S", u"k", u"", 50), u"w");
}

// The UI thread and the update worker write through one store at once; no
// write may be lost to the other's read-modify-write.
TEST(IniEngineStoreTest, ConcurrentWritersLoseNothing) {
  TempFolder folder;
  const std::u16string file = folder.File("Pendravel.ini").u16string();
  IniEngineStore store;
  constexpr int kKeysPerWriter = 60;
  auto keyName = [](char prefix, int i) {
    const std::string name = prefix + std::to_string(i);
    return std::u16string(name.begin(), name.end());
  };
  auto writer = [&](char prefix) {
    for (int i = 0; i < kKeysPerWriter; ++i) {
      EXPECT_TRUE(store.Write(file, u"S", keyName(prefix, i), u"v"));
    }
  };
  std::thread first(writer, 'a');
  std::thread second(writer, 'b');
  first.join();
  second.join();
  for (int i = 0; i < kKeysPerWriter; ++i) {
    EXPECT_EQ(store.Read(file, u"S", keyName('a', i), u"lost", 50), u"v");
    EXPECT_EQ(store.Read(file, u"S", keyName('b', i), u"lost", 50), u"v");
  }
}

#ifndef _WIN32

TEST(IniEngineStoreTest, ReplacedFileKeepsItsPermissions) {
  TempFolder folder;
  const auto file = folder.File("Pendravel.ini");
  WriteBytes(file, "[S]\nk=1\n");
  const auto mode = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                    std::filesystem::perms::group_read;
  std::filesystem::permissions(file, mode);
  IniEngineStore store;
  ASSERT_TRUE(store.Write(file.u16string(), u"S", u"k", u"2"));
  EXPECT_EQ(std::filesystem::status(file).permissions(), mode);
  EXPECT_EQ(ReadBytes(file), "[S]\nk=2\n");
}

TEST(IniEngineStoreTest, WriteThroughLinkReplacesItsTarget) {
  TempFolder folder;
  const auto target = folder.File("real.ini");
  const auto link = folder.File("Pendravel.ini");
  WriteBytes(target, "[S]\nk=1\n");
  std::filesystem::create_symlink(target, link);
  IniEngineStore store;
  ASSERT_TRUE(store.Write(link.u16string(), u"S", u"k", u"2"));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadBytes(target), "[S]\nk=2\n");
}

#endif

}  // namespace
}  // namespace quilmarr::test
