#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/file/file.h"
#include "services/text_services.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> AllOf(CString text, const char* pattern) {
  std::unique_ptr<CStringArray> a(RegexAllToArray(text, MakeRegex(pattern)));
  std::vector<std::string> out;
  for (int i = 0; i < a->GetSize(); ++i) out.push_back(a->GetAt(i).str());
  return out;
}

CString First(CString text, const char* pattern) { return RegexFirst(text, MakeRegex(pattern)); }

using Strings = std::vector<std::string>;

// ---- Patterns ----

TEST(MakeRegexTest, CaseInsensitivePerlWithDotOverLineEnds) {
  EXPECT_EQ(First("TrackNick=Abc;", "tracknick=(.*?);"), "Abc");
  EXPECT_EQ(First("<td>\r\n12.50</td>", "<TD>(.*?)</td>"), "\r\n12.50");
  // Case folding works byte by byte, also on the trail byte of a GBK character.
  EXPECT_EQ(First("\x81\x41", "(\x81\x61)"), "\x81\x41");
  EXPECT_THROW(MakeRegex("(unclosed"), boost::regex_error);
}

struct FirstCase {
  const char* what;
  const char* text;
  const char* pattern;
  const char* expected;
};

TEST(RegexFirstTest, FirstNonEmptyGroupWalkingTheMatches) {
  const FirstCase cases[] = {
      {"second alternative only", "xx<b>42</b>", "<a>(.*?)</a>|<b>(.*?)</b>", "42"},
      {"empty group in the first match is skipped", "x;y;x12;", "x(\\d*);", "12"},
      {"key missing", "cookie2=1; _tb_token_=e3", "tracknick=(.*?);", ""},
      {"no capture group", "abc", "b", ""},
      {"first match that has one", "a=;b=;c=3;d=4;", "\\w=(\\d*);", "3"},
      {"GBK text", "商家编码：9787020002207，", "商家编码：(\\d+)", "9787020002207"},
      // Each search runs on the rest as a text of its own: "^" matches at the
      // start of the rest, behind the first whole match.
      {"rest starts a new text", "aab", "^a(b?)", "b"},
      {"unmatched optional group", "k=;k=v;", "k=(v)?;", "v"},
  };
  for (const FirstCase& c : cases) {
    EXPECT_EQ(First(c.text, c.pattern), c.expected) << c.what;
  }
}

TEST(RegexFirstTest, LeavesTheCallersTextAlone) {
  CString text("tracknick=abc;");
  CString copy = text;
  EXPECT_EQ(RegexFirst(text, MakeRegex("nick=(\\w+)")), "abc");
  EXPECT_EQ(text, copy);
}

TEST(RegexAllToArrayTest, EveryNonEmptyGroupInMatchOrderThenGroupOrder) {
  EXPECT_EQ(AllOf("<1|2> <3|4>", "<(\\d)\\|(\\d)>"), (Strings{"1", "2", "3", "4"}));
  EXPECT_EQ(AllOf("<1|> <|4>", "<(\\d?)\\|(\\d?)>"), (Strings{"1", "4"}));
  EXPECT_EQ(AllOf("nothing here", "(\\d)"), Strings{});
  // The item-list chunks: fields between consecutive markers.
  EXPECT_EQ(AllOf("a,itemsCaoTaMab,itemsCaoTaMa", "(.*?)CaoTaMa{1}"),
            (Strings{"a,items", "b,items"}));
  // A first field that is not digits is matched from its comma on, empty.
  EXPECT_EQ(AllOf("12,北京,TRUE\r\n13,上海,false\r\nxx,y,TRUE\r\n",
                  "([0-9]*?),(.*?),(TRUE|FALSE)"),
            (Strings{"12", "北京", "TRUE", "13", "上海", "false", "y", "TRUE"}));
}

TEST(RegexWalkTest, ZeroLengthMatchesMoveOn) {
  EXPECT_EQ(AllOf("baaab", "(a*)"), Strings{"aaa"});
  EXPECT_EQ(AllOf(CString('x', 100000), "()"), Strings{});
  EXPECT_EQ(First(CString('x', 100000), "(y*)"), "");
  EXPECT_EQ(AllOf("", "(a*)"), Strings{});
  // A lookahead: the whole match is empty, its group is not.
  EXPECT_EQ(AllOf("a1b2", "(?=(\\d))"), (Strings{"1", "2"}));
  // An empty match on a GBK lead byte moves on by the whole character, so
  // the walk never starts a search on its trail byte ("\x81\x41" ends in 'A').
  EXPECT_EQ(AllOf("\x81\x41" "A", "^(A?)"), Strings{"A"});
}

std::string Repeated(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

// Texts from outside on which the library gives up: that search counts as
// finding nothing, and the matches before it stand.
TEST(RegexWalkTest, TextsTheLibraryGivesUpOnCountAsNoMatch) {
  struct GiveUp {
    const char* what;
    std::string head;  // matched before the search that gives up
    std::string tail;  // the text of that search
    const char* pattern;
    const char* first;
    Strings all;
  };
  const GiveUp cases[] = {
      {"nested repeat", "", std::string(2000, 'a'), "(a|aa)*b", "", {}},
      {"repeat of a repeat", "", std::string(2000, 'a'), "(a*)*b", "", {}},
      {"cookie key over and over, never ended", "tracknick=ab;", Repeated("tracknick=", 5000),
       "tracknick=(.*?);", "ab", {"ab"}},
      {"an empty group, then the give-up", "tracknick=;", Repeated("tracknick=", 5000),
       "tracknick=(.*?);", "", {}},
  };
  for (const GiveUp& c : cases) {
    const boost::regex pattern = MakeRegex(c.pattern);
    boost::cmatch match;
    EXPECT_THROW(boost::regex_search(c.tail.data(), c.tail.data() + c.tail.size(), match, pattern),
                 std::runtime_error)
        << c.what << ": the library no longer gives up on this tail";
    EXPECT_FALSE(RegexSearch(c.tail.data(), c.tail.data() + c.tail.size(), match, pattern)) << c.what;
    EXPECT_EQ(First(c.head + c.tail, c.pattern), c.first) << c.what;
    EXPECT_EQ(AllOf(c.head + c.tail, c.pattern), c.all) << c.what;
  }
  // A compiled pattern still works after a give-up.
  const boost::regex pattern = MakeRegex("(a|aa)*b");
  CString text(std::string(2000, 'a'));
  EXPECT_EQ(RegexFirst(text, pattern), "");
  CString small("aab");
  EXPECT_EQ(RegexFirst(small, pattern), "a");
}

TEST(RegexWalkTest, OnePatternSharedByManyThreads) {
  boost::regex pattern = MakeRegex("<price>(.*?)</price>");
  std::vector<std::thread> threads;
  std::atomic<int> good{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        CString page;
        page.Format("<html><price>%d.%02d</price></html>", t, i % 100);
        CString expected;
        expected.Format("%d.%02d", t, i % 100);
        if (RegexFirst(page, pattern) == expected) ++good;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(good.load(), 1600);
}

// Random and mutated pages through both walks: nothing crashes, hangs or
// throws.
TEST(RegexWalkTest, MutatedTextsNeverCrash) {
  std::mt19937 rng(42);
  const char* patterns[] = {"tracknick=(.*?);", "(.*?)CaoTaMa{1}", "([0-9]*?),(.*?),(TRUE|FALSE)",
                            "(a*)", "(?=(\\d))", "^(\\w?)"};
  std::string seed = "tracknick=\\u4e2d;12,北京,TRUE\r\nitemsCaoTaMa 商家编码：97870";
  for (int round = 0; round < 1500; ++round) {
    std::string s = seed;
    for (int e = 0; e < 6; ++e) {
      size_t at = rng() % (s.size() + 1);
      if (rng() % 2 && at < s.size())
        s[at] = static_cast<char>(rng());
      else
        s.insert(at, 1, static_cast<char>(rng()));
    }
    CString text(s);
    boost::regex r = MakeRegex(patterns[round % 6]);
    RegexFirst(text, r);
    delete RegexAllToArray(text, r);
  }
}

// ---- Code pages ----

TEST(ConvertCodePageTest, GbkToUtf8AndBack) {
  CString utf8 = ConvertCodePage("宝贝", 936, 65001);
  EXPECT_EQ(utf8, "\xE5\xAE\x9D\xE8\xB4\x9D");
  EXPECT_EQ(ConvertCodePage(utf8, CP_UTF8, CP_ACP), "宝贝");
  EXPECT_EQ(ConvertCodePage("\xE0\xB8\x81x", CP_UTF8, CP_GBK), "?x");  // Thai letter
  EXPECT_EQ(ConvertCodePage(CString("ab\0cd", 5), CP_GBK, CP_UTF8), "ab");
  EXPECT_EQ(ConvertCodePage("", CP_GBK, CP_UTF8), "");
}

TEST(Utf8ToAnsiTest, InPlace) {
  CString text("\xE5\xAE\x9D\xE8\xB4\x9D ok");
  Utf8ToAnsi(text);
  EXPECT_EQ(text, "宝贝 ok");
  CString emoji("a\xF0\x9F\x98\x80");
  Utf8ToAnsi(emoji);
  EXPECT_EQ(emoji, "a?");
}

TEST(AnsiToWideTest, NewBufferOrNull) {
  WCHAR* w = AnsiToWide("宝贝\\x");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(std::u16string(w), u"宝贝\\x");
  free(w);
  w = AnsiToWide("");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w[0], 0);
  free(w);
  EXPECT_EQ(AnsiToWide(nullptr), nullptr);
}

struct UnescapeCase {
  const char* what;
  const char* text;
  const char* expected;
};

TEST(UnescapeUnicodeTest, Table) {
  const UnescapeCase cases[] = {
      {"one escape", "\\u4E2D", "中"},
      {"lower case digits and U", "\\U4e2d\\u6587", "中文"},
      {"text around", "ab\\u4e2dcd", "ab中cd"},
      {"not u", "\\x41", "\\x41"},
      {"too few digits at the end", "ab\\u12", "ab\\u12"},
      {"not hexadecimal", "\\u12G4z", "\\u12G4z"},
      {"backslash before an escape", "\\\\u4E2D", "\\中"},
      {"trailing backslash", "abc\\", "abc\\"},
      {"ASCII by escape", "\\u0041\\u0062", "Ab"},
      {"surrogate halves stay apart", "\\uD83D\\uDE00", "??"},
      {"not in GBK", "\\u0E01", "?"},
      {"trail byte 0x5C is no backslash", "\x95\x5Cu4E2D", "\x95\x5Cu4E2D"},
      {"empty", "", ""},
  };
  for (const UnescapeCase& c : cases) {
    EXPECT_EQ(UnescapeUnicode(c.text), c.expected) << c.what;
  }
  EXPECT_EQ(UnescapeUnicode(nullptr), "");
  // A zero unit gives a zero byte inside the text, not the end of it.
  EXPECT_EQ(UnescapeUnicode("a\\u0000b").str(), std::string("a\0b", 3));
}

// ---- Paths ----

class ProgramFolder : public ::testing::Test {
 protected:
  void TearDown() override { SetModuleFileNameForTesting(nullptr); }
};

TEST_F(ProgramFolder, DerivedPaths) {
  SetModuleFileNameForTesting("C:\\Tools\\Tovrane.exe");
  EXPECT_EQ(GetAppDir(), "C:\\Tools");
  EXPECT_EQ(GetDataDir(), "C:\\Tools\\Data\\");
  EXPECT_EQ(GetSystemIniPath(), "C:\\Tools\\Data\\system.ini");
  EXPECT_EQ(g_DataDirName, "\\Data\\");
}

TEST_F(ProgramFolder, CutAtTheLastRealBackslash) {
  // The folder's name ends in a GBK character whose trail byte is 0x5C.
  SetModuleFileNameForTesting("D:\\\x95\x5C\\Tovrane.exe");
  EXPECT_EQ(GetAppDir(), "D:\\\x95\x5C");
  SetModuleFileNameForTesting("D:\\a\\\x95\x5C");  // no backslash after the character
  EXPECT_EQ(GetAppDir(), "D:\\a");
  SetModuleFileNameForTesting("Tovrane.exe");
  EXPECT_EQ(GetAppDir(), "");
  EXPECT_EQ(GetDataDir(), "\\Data\\");
}

TEST_F(ProgramFolder, RealProgramFolder) {
  EXPECT_EQ(NativePath(GetAppDir()), fs::read_symlink("/proc/self/exe").parent_path().string());
  EXPECT_EQ(NativePath(GetSystemIniPath()),
            (fs::read_symlink("/proc/self/exe").parent_path() / "Data/system.ini").string());
}

TEST_F(ProgramFolder, LongProgramFolderIsNotCut) {
  std::string deep = "\\" + std::string(300, 'd') + "\\Tovrane";
  SetModuleFileNameForTesting(deep.c_str());
  EXPECT_EQ(GetAppDir().GetLength(), 301);
}

// ---- Log ----

class LogTest : public ProgramFolder {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tovrane-log-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    SetModuleFileNameForTesting((GbkPathFromNative(dir_) + "\\Tovrane").c_str());
  }
  void TearDown() override {
    ProgramFolder::TearDown();
    fs::remove_all(dir_);
  }
  static std::string Today() {
    std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    char day[16];
    std::strftime(day, sizeof day, "%Y%m%d", &t);
    return day;
  }
  std::string dir_;
};

// Splits the log's bytes at the zero bytes.
std::vector<std::string> SplitAtZeros(const std::string& bytes) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t zero = bytes.find('\0', pos);
    if (zero == std::string::npos) {
      out.push_back(bytes.substr(pos) + "<no zero>");
      break;
    }
    out.push_back(bytes.substr(pos, zero - pos));
    pos = zero + 1;
  }
  return out;
}

TEST_F(LogTest, TwoEntriesOneDayByteForByte) {
  fs::create_directory(dir_ + "/Log");
  std::string day_before = Today();
  WriteLog("C:\\Data\\地区.txt[不存在]");
  WriteLog("second");
  std::string day_after = Today();

  std::string name = fs::exists(dir_ + "/Log/" + day_before + ".txt") ? day_before : day_after;
  std::ifstream in(dir_ + "/Log/" + name + ".txt", std::ios::binary);
  std::string bytes(std::istreambuf_iterator<char>(in), {});
  std::vector<std::string> fields = SplitAtZeros(bytes);
  ASSERT_EQ(fields.size(), 4u) << bytes;
  EXPECT_EQ(fields[0], "C:\\Data\\地区.txt[不存在]");
  EXPECT_EQ(fields[2], "second");
  // "--%Y年%m月%d日 %X\r\n\r\n" in GBK, %X as HH:MM:SS.
  boost::regex stamp("--(\\d{4})\xC4\xEA(\\d\\d)\xD4\xC2(\\d\\d)\xC8\xD5 \\d\\d:\\d\\d:\\d\\d\r\n\r\n");
  for (int i : {1, 3}) {
    boost::smatch m;
    ASSERT_TRUE(boost::regex_match(fields[i], m, stamp)) << fields[i];
    EXPECT_EQ(m[1].str() + m[2].str() + m[3].str(), name);
  }
  EXPECT_EQ(bytes.size(), fields[0].size() + fields[1].size() + fields[2].size() +
                              fields[3].size() + 4);
}

TEST_F(LogTest, AppendsBehindWhatIsThere) {
  fs::create_directory(dir_ + "/Log");
  std::string path = dir_ + "/Log/" + Today() + ".txt";
  std::ofstream(path, std::ios::binary) << std::string("old\0", 4);
  WriteLog("new");
  std::ifstream in(path, std::ios::binary);
  std::string bytes(std::istreambuf_iterator<char>(in), {});
  if (bytes.size() > 8) {  // the day did not change in between
    EXPECT_EQ(bytes.substr(0, 8), std::string("old\0new\0", 8));
  }
}

TEST_F(LogTest, NoLogFolderRaisesTheFileException) {
  bool thrown = false;
  try {
    WriteLog("lost");
  } catch (CFileException* e) {
    thrown = true;
    // Neither open succeeded, so the first seek fails on a file that is not
    // open; the exception names the day's file.
    EXPECT_EQ(e->m_cause, CFileException::invalidFile);
    EXPECT_NE(e->m_strFileName.find("/Log/"), std::string::npos);
    e->Delete();
  }
  EXPECT_TRUE(thrown);
  EXPECT_FALSE(fs::exists(dir_ + "/Log"));
  EXPECT_TRUE(fs::is_empty(dir_));
}

}  // namespace
