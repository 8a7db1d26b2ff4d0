#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/file/file.h"
#include "platform/file/profile.h"

namespace fs = std::filesystem;

namespace {

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tovrane-ini-XXXXXX").string();
    native_dir_ = mkdtemp(pattern.data());
    path_ = GbkPathFromNative(native_dir_) + "\\Data\\system.ini";
    fs::create_directory(native_dir_ + "/Data");
  }
  void TearDown() override { fs::remove_all(native_dir_); }

  void WriteRaw(const std::string& bytes) {
    std::ofstream(native_dir_ + "/Data/system.ini", std::ios::binary) << bytes;
  }
  std::string ReadRaw() {
    std::ifstream in(native_dir_ + "/Data/system.ini", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string Get(const char* section, const char* key, const char* def = "d",
                  DWORD size = 260) {
    std::vector<char> out(size + 1, '#');
    DWORD n = GetPrivateProfileStringA(section, key, def, out.data(), size, path_.c_str());
    EXPECT_EQ(n, std::string(out.data()).size());
    return out.data();
  }

  std::string native_dir_;
  std::string path_;
};

// As a user leaves it after editing by hand: comments, blank lines, a second
// section, spaces around "=", LF-only lines, GBK text.
const char kHandEdited[] =
    "; options of the tool\r\n"
    "[SYSCONFIG]\r\n"
    "UseKeyWord = true\r\n"
    "; 上次的折扣\r\n"
    "YuanJiaZhe=8.6\n"
    "\r\n"
    "[HOSTS]\r\n"
    "www=127.0.0.1:8080\r\n"
    "名称=表格\r\n";

TEST_F(ProfileTest, MissingFileOrKeyGivesTheDefault) {
  EXPECT_EQ(Get("SYSCONFIG", "UseKeyWord"), "d");
  WriteRaw(kHandEdited);
  EXPECT_EQ(Get("SYSCONFIG", "UsePrice"), "d");
  EXPECT_EQ(Get("NOSECTION", "UseKeyWord"), "d");
  EXPECT_EQ(Get("SYSCONFIG", "UsePrice", nullptr), "");
  EXPECT_EQ(Get("SYSCONFIG", "UsePrice", "x  "), "x");  // trailing blanks of a default go
  EXPECT_FALSE(fs::exists(native_dir_ + "/Data/other.ini"));
}

TEST_F(ProfileTest, LookupsIgnoreCaseAndTrimBlanks) {
  WriteRaw(kHandEdited);
  EXPECT_EQ(Get("SYSCONFIG", "UseKeyWord"), "true");
  EXPECT_EQ(Get("sysconfig", "USEKEYWORD"), "true");
  EXPECT_EQ(Get("SysConfig", "yuanjiazhe"), "8.6");
  EXPECT_EQ(Get("hosts", "WWW"), "127.0.0.1:8080");
  EXPECT_EQ(Get("HOSTS", "名称"), "表格");
  // A trail byte that looks like a letter is not folded: "\x81\x41" is not "\x81\x61".
  WriteRaw("[S]\r\n\x81\x41=1\r\n");
  EXPECT_EQ(Get("S", "\x81\x61"), "d");
  EXPECT_EQ(Get("s", "\x81\x41"), "1");
}

TEST_F(ProfileTest, ValueIsCutToTheBuffer) {
  WriteRaw("[S]\r\nk=abcdef\r\ng=宝贝查询\r\nq=\"quoted\"\r\n");
  EXPECT_EQ(Get("S", "k", "d", 4), "abc");
  EXPECT_EQ(Get("S", "k", "d", 7), "abcdef");
  EXPECT_EQ(Get("S", "k", "d", 1), "");
  EXPECT_EQ(Get("S", "g", "d", 4), "宝");  // a double-byte character is not split
  EXPECT_EQ(Get("S", "g", "d", 5), "宝贝");
  EXPECT_EQ(Get("S", "q"), "quoted");
  EXPECT_EQ(Get("S", "missing", "default", 4), "def");
  char none[1] = {'#'};
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "d", none, 0, path_.c_str()), 0u);
  EXPECT_EQ(none[0], '#');
}

TEST_F(ProfileTest, FirstWriteCreatesTheFileWithCrLf) {
  ASSERT_TRUE(WritePrivateProfileStringA("SYSCONFIG", "UseKeyWord", "true", path_.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("SYSCONFIG", "UsePrice", "false", path_.c_str()));
  EXPECT_EQ(ReadRaw(), "[SYSCONFIG]\r\nUseKeyWord=true\r\nUsePrice=false\r\n");
  EXPECT_EQ(Get("SYSCONFIG", "UsePrice"), "false");
}

TEST_F(ProfileTest, WriteKeepsEverythingElseOfAHandEditedFile) {
  WriteRaw(kHandEdited);
  ASSERT_TRUE(WritePrivateProfileStringA("sysconfig", "YUANJIAZHE", "9.5", path_.c_str()));
  std::string expected = kHandEdited;
  expected.replace(expected.find("YuanJiaZhe=8.6\n"), 15, "YuanJiaZhe=9.5\n");
  EXPECT_EQ(ReadRaw(), expected);

  // A new key goes at the end of its section, before the blank line.
  ASSERT_TRUE(WritePrivateProfileStringA("SYSCONFIG", "ShiYongZhe", "7", path_.c_str()));
  expected.replace(expected.find("\r\n[HOSTS]"), 0, "ShiYongZhe=7\r\n");
  EXPECT_EQ(ReadRaw(), expected);

  // A new section goes at the end of the file.
  ASSERT_TRUE(WritePrivateProfileStringA("新", "键", "值\\", path_.c_str()));
  expected += "[新]\r\n键=值\\\r\n";
  EXPECT_EQ(ReadRaw(), expected);
  EXPECT_EQ(Get("新", "键"), "值\\");
  EXPECT_EQ(Get("HOSTS", "名称"), "表格");
}

TEST_F(ProfileTest, NullValueRemovesKeyAndNullKeyRemovesSection) {
  WriteRaw(kHandEdited);
  ASSERT_TRUE(WritePrivateProfileStringA("HOSTS", "www", nullptr, path_.c_str()));
  EXPECT_EQ(Get("HOSTS", "www"), "d");
  EXPECT_EQ(Get("HOSTS", "名称"), "表格");
  ASSERT_TRUE(WritePrivateProfileStringA("SYSCONFIG", nullptr, nullptr, path_.c_str()));
  EXPECT_EQ(ReadRaw(), "; options of the tool\r\n[HOSTS]\r\n名称=表格\r\n");
}

TEST_F(ProfileTest, LastLineWithoutLineEnd) {
  WriteRaw("[S]\r\na=1");
  ASSERT_TRUE(WritePrivateProfileStringA("S", "b", "2", path_.c_str()));
  EXPECT_EQ(ReadRaw(), "[S]\r\na=1\r\nb=2\r\n");
  WriteRaw("[S]\r\na=1");
  ASSERT_TRUE(WritePrivateProfileStringA("T", "b", "2", path_.c_str()));
  EXPECT_EQ(ReadRaw(), "[S]\r\na=1\r\n[T]\r\nb=2\r\n");
}

TEST_F(ProfileTest, WriteIntoAMissingFolderFails) {
  std::string bad = GbkPathFromNative(native_dir_) + "\\NoSuchFolder\\system.ini";
  EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", bad.c_str()));
  EXPECT_FALSE(fs::exists(native_dir_ + "/NoSuchFolder"));
}

TEST_F(ProfileTest, ListsSectionAndKeyNames) {
  WriteRaw(kHandEdited);
  char out[64];
  DWORD n = GetPrivateProfileStringA(nullptr, nullptr, "", out, sizeof out, path_.c_str());
  EXPECT_EQ(std::string(out, n + 1), std::string("SYSCONFIG\0HOSTS\0\0", 17));
  n = GetPrivateProfileStringA("SYSCONFIG", nullptr, "", out, sizeof out, path_.c_str());
  EXPECT_EQ(std::string(out, n + 1), std::string("UseKeyWord\0YuanJiaZhe\0\0", 23));
}

// Many threads writing their own keys to one file: none is lost, because each
// read-and-rewrite happens under the layer's lock.
TEST_F(ProfileTest, ConcurrentWritersLoseNoKey) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < 20; ++i) {
        std::string key = "k" + std::to_string(t) + "_" + std::to_string(i);
        WritePrivateProfileStringA("SYSCONFIG", key.c_str(), std::to_string(i).c_str(),
                                   path_.c_str());
        char out[16];
        GetPrivateProfileStringA("SYSCONFIG", key.c_str(), "d", out, sizeof out, path_.c_str());
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < 8; ++t)
    for (int i = 0; i < 20; ++i)
      EXPECT_EQ(Get("SYSCONFIG", ("k" + std::to_string(t) + "_" + std::to_string(i)).c_str()),
                std::to_string(i));
}

}  // namespace
