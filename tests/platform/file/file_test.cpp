#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/file/file.h"
#include "platform/text/codepage.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder for one test, removed afterwards. `gbk` is its path as the
// program writes paths (GBK, "\").
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "tovrane-file-XXXXXX").string();
    native = mkdtemp(pattern.data());
    gbk = GbkPathFromNative(native);
  }
  ~TempFolder() { fs::remove_all(native); }
  std::string native;
  std::string gbk;
};

std::string ReadNative(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

const char kTrailBackslash[] = "\x95\x5C";  // a GBK character whose trail byte is '\'

TEST(NativePathTest, ConvertsBeforeMappingSeparators) {
  EXPECT_EQ(NativePath("C:\\Tools\\Data\\system.ini"), "C:/Tools/Data/system.ini");
  EXPECT_EQ(NativePath("\\tmp/Log/20161017.txt"), "/tmp/Log/20161017.txt");
  // The 0x5C inside the GBK character is not a separator.
  std::string gbk = std::string("\\a\\") + kTrailBackslash + "\\b";
  EXPECT_EQ(NativePath(gbk.c_str()), "/a/" + GbkToUtf8(kTrailBackslash) + "/b");
  EXPECT_EQ(NativePath("\\Data\\地区.txt"), "/Data/\xE5\x9C\xB0\xE5\x8C\xBA.txt");
  EXPECT_EQ(NativePath(nullptr), "");
  EXPECT_EQ(GbkPathFromNative("/a/\xE5\x9C\xB0\xE5\x8C\xBA"), "\\a\\地区");
}

TEST(CFileTest, CreateWriteReopenWithoutTruncationAndAppend) {
  TempFolder dir;
  std::string path = dir.gbk + "\\日志.txt";
  {
    CFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
    f.Write("abc", 3);
    EXPECT_EQ(f.GetLength(), 3u);
  }  // the destructor closes
  EXPECT_EQ(ReadNative(fs::path(dir.native) / "\xE6\x97\xA5\xE5\xBF\x97.txt"), "abc");

  CFile f;
  ASSERT_TRUE(f.Open(path.c_str(), CFile::modeWrite | CFile::shareExclusive));
  EXPECT_EQ(f.SeekToEnd(), 3u);
  f.Write("de\0", 3);
  f.Close();
  EXPECT_FALSE(f.IsOpen());

  CFile r(path.c_str(), CFile::modeRead | CFile::shareDenyWrite);
  ASSERT_EQ(r.GetLength(), 6u);
  char buffer[16] = {};
  EXPECT_EQ(r.Read(buffer, sizeof buffer), 6u);  // short read at the end
  EXPECT_EQ(std::string(buffer, 6), std::string("abcde\0", 6));
  r.Seek(1, CFile::begin);
  EXPECT_EQ(r.Read(buffer, 2), 2u);
  EXPECT_EQ(std::string(buffer, 2), "bc");
  EXPECT_EQ(r.GetPosition(), 3u);
  r.SeekToBegin();
  EXPECT_EQ(r.GetPosition(), 0u);
  EXPECT_EQ(r.Seek(-1, CFile::end), 5u);
}

TEST(CFileTest, CreateTruncatesAndNoTruncateKeeps) {
  TempFolder dir;
  std::string path = dir.gbk + "\\a.txt";
  {
    CFile f(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    f.Write("123456", 6);
  }
  {
    CFile f(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite);
    EXPECT_EQ(f.GetLength(), 6u);
    f.Write("x", 1);  // at the start: overwrites one byte
  }
  EXPECT_EQ(ReadNative(dir.native + "/a.txt"), "x23456");
  {
    CFile f(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    EXPECT_EQ(f.GetLength(), 0u);
  }
  EXPECT_EQ(ReadNative(dir.native + "/a.txt"), "");
}

TEST(CFileTest, FailuresNameTheirCause) {
  TempFolder dir;
  std::string missing = dir.gbk + "\\missing.txt";
  std::string no_folder = dir.gbk + "\\Log\\20161017.txt";

  CFileException error;
  CFile f;
  EXPECT_FALSE(f.Open(missing.c_str(), CFile::modeWrite, &error));  // no modeCreate
  EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
  EXPECT_EQ(error.m_strFileName, missing);
  EXPECT_FALSE(fs::exists(dir.native + "/missing.txt"));

  EXPECT_FALSE(f.Open(no_folder.c_str(), CFile::modeCreate | CFile::modeWrite, &error));
  EXPECT_EQ(error.m_cause, CFileException::badPath);

  EXPECT_FALSE(f.Open(dir.gbk.c_str(), CFile::modeRead, &error));  // a folder
  EXPECT_EQ(error.m_cause, CFileException::accessDenied);

  char text[256];
  EXPECT_TRUE(error.GetErrorMessage(text, sizeof text));
  EXPECT_NE(std::string(text).find(dir.gbk), std::string::npos);
  char small[4];
  EXPECT_TRUE(error.GetErrorMessage(small, sizeof small));
  EXPECT_EQ(std::string(small).size(), 3u);
}

TEST(CFileTest, ThrowsFileExceptionByPointer) {
  TempFolder dir;
  std::string missing = dir.gbk + "\\nothing\\x.txt";
  int cause = -1;
  try {
    CFile f(missing.c_str(), CFile::modeRead);
  } catch (CFileException* e) {
    cause = e->m_cause;
    e->Delete();
  }
  EXPECT_EQ(cause, CFileException::badPath);

  // Every member of a file that is not open throws: this is how a failed
  // open shows up at the first seek.
  CFile closed;
  EXPECT_FALSE(closed.Open(missing.c_str(), CFile::modeWrite));
  bool thrown = false;
  try {
    closed.SeekToEnd();
  } catch (CException* e) {  // caught through the base, as worker loops do
    thrown = dynamic_cast<CFileException*>(e) != nullptr;
    e->Delete();
  }
  EXPECT_TRUE(thrown);
  try {
    closed.Write("x", 1);
    ADD_FAILURE() << "Write on a closed file";
  } catch (CFileException* e) {
    EXPECT_EQ(e->m_cause, CFileException::invalidFile);
    e->Delete();
  }
}

TEST(ModuleFileNameTest, RealExecutableAsGbkWithBackslashes) {
  char path[MAX_PATH * 4];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  ASSERT_GT(n, 0u);
  ASSERT_LT(n, sizeof path);
  std::string gbk(path, n);
  EXPECT_EQ(gbk.find('/'), std::string::npos);
  EXPECT_EQ(NativePath(gbk.c_str()), fs::read_symlink("/proc/self/exe").string());

  char cut[8];
  EXPECT_EQ(GetModuleFileNameA(nullptr, cut, sizeof cut), sizeof cut);
  EXPECT_EQ(std::string(cut), gbk.substr(0, 7));
}

TEST(ModuleFileNameTest, TestsCanPointTheProgramElsewhere) {
  SetModuleFileNameForTesting("C:\\Tools\\Tovrane.exe");
  char path[MAX_PATH];
  EXPECT_EQ(GetModuleFileNameA(nullptr, path, MAX_PATH), 20u);
  EXPECT_STREQ(path, "C:\\Tools\\Tovrane.exe");
  SetModuleFileNameForTesting(nullptr);
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  EXPECT_STRNE(path, "C:\\Tools\\Tovrane.exe");
}

}  // namespace
