#include <gtest/gtest.h>

#include "platform/text/CString.h"

#include <random>
#include <string>
#include <vector>

namespace {

// "表" is 0xB1 0xED; "\\" inside GBK: "斯" is 0xCB 0xB9, "兄" 0xD0 0xD6; 0x5C appears as a
// trail byte of "\x95\x5C" ("昞"?) - any lead byte followed by 0x5C will do.
const char kTrailBackslash[] = "\x95\x5C";  // one GBK character whose trail byte is '\'
const char kTrailLetterA[] = "\x81\x41";    // one GBK character whose trail byte is 'A'

TEST(CStringSearch, TrailByteIsNeverFoundAsAscii) {
  CString s = CString("ab") + kTrailBackslash + "c" + kTrailLetterA + "d";
  EXPECT_EQ(s.Find('\\'), -1);
  EXPECT_EQ(s.Find('A'), -1);
  EXPECT_EQ(s.ReverseFind('\\'), -1);
  EXPECT_EQ(s.Find("\\c"), -1);
  CString with_real = s + "\\";
  EXPECT_EQ(with_real.Find('\\'), with_real.GetLength() - 1);
  EXPECT_EQ(with_real.ReverseFind('\\'), with_real.GetLength() - 1);
}

TEST(CStringSearch, MatchesOnlyOnCharacterBoundaries) {
  // "\xB1\xA6" (宝) straddles the two characters "\xA1\xB1" and "\xA6\xA1".
  CString straddle("\xA1\xB1\xA6\xA1");
  EXPECT_EQ(straddle.Find("\xB1\xA6"), -1);
  CString real = straddle + "宝";
  EXPECT_EQ(real.Find("宝"), 4);
  // "AB" would begin on the trail byte of "\x81\x41".
  CString trail = CString(kTrailLetterA) + "B";
  EXPECT_EQ(trail.Find("AB"), -1);
  EXPECT_EQ(trail.Find('B'), 2);
  // A start inside a character moves on to the next character.
  CString s = CString(kTrailBackslash) + "\\";
  EXPECT_EQ(s.Find('\\', 1), 2);
  EXPECT_EQ(s.Find('\\', 3), -1);
}

TEST(CStringSearch, FindFromStartAndSubstrings) {
  CString s("tracknick=abc; x=1; tracknick=def;");
  EXPECT_EQ(s.Find("tracknick="), 0);
  EXPECT_EQ(s.Find("tracknick=", 1), 20);
  EXPECT_EQ(s.Find("nothing"), -1);
  EXPECT_EQ(s.Find(';', 100), -1);
}

TEST(CStringEdit, ReplaceCountsAndSkipsTrailBytes) {
  CString s = CString("items,") + kTrailBackslash + "items";
  EXPECT_EQ(s.Replace("items", "itemsCaoTaMa"), 2);
  EXPECT_EQ(s, CString("itemsCaoTaMa,") + kTrailBackslash + "itemsCaoTaMa");
  CString t = CString("a") + kTrailBackslash + "\\";
  EXPECT_EQ(t.Replace("\\", "/"), 1);
  EXPECT_EQ(t, CString("a") + kTrailBackslash + "/");
  CString u("none");
  EXPECT_EQ(u.Replace("x", "y"), 0);
}

// The searches checked against a plain walk over the characters from byte 0,
// on random texts of double-byte characters (some with ASCII trail bytes),
// ASCII and a cut character at the end, from every start, mid-character ones
// included.
namespace reference {

std::vector<size_t> CharStarts(const std::string& s) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < s.size(); i += (IsGbkLeadByte(static_cast<unsigned char>(s[i])) &&
                                         i + 1 < s.size()) ? 2 : 1)
    starts.push_back(i);
  return starts;
}

int Find(const std::string& s, const std::string& sub, size_t start) {
  if (start > s.size()) return -1;
  for (size_t i : CharStarts(s))
    if (i >= start && s.compare(i, sub.size(), sub) == 0) return static_cast<int>(i);
  return sub.empty() ? static_cast<int>(s.size()) : -1;
}

std::string Replace(const std::string& s, const std::string& from, const std::string& to) {
  std::string out;
  size_t pos = 0;
  for (int hit; (hit = Find(s, from, pos)) >= 0;) {
    out += s.substr(pos, static_cast<size_t>(hit) - pos) + to;
    pos = static_cast<size_t>(hit) + from.size();
  }
  return out + s.substr(pos);
}

}  // namespace reference

TEST(CStringSearch, AgreesWithAWalkFromTheStartOnRandomTexts) {
  const std::vector<std::string> pieces = {"a", "A", "\\", ";", "\x81\x41", "\x95\x5C",
                                           "\xB1\xA6", "\xA1\xB1", "\xA6\xA1", "\x81"};
  const std::vector<std::string> needles = {"A", "\\", "AA", "\xB1\xA6", "\xA1",
                                            "\x41\x81", "a;", "\x81"};
  std::mt19937 random(103);
  for (int round = 0; round < 400; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 24);
    for (int i = 0; i < length; ++i) text += pieces[random() % pieces.size()];
    const CString s(text);
    for (const std::string& sub : needles) {
      // Texts stay under 64 bytes: every start inside a character is told.
      for (size_t start = 0; start <= text.size() + 1; ++start) {
        ASSERT_EQ(s.Find(sub.c_str(), static_cast<int>(start)), reference::Find(text, sub, start))
            << "round " << round << " start " << start;
      }
      if (sub.size() == 1) {
        ASSERT_EQ(s.Find(sub[0], 1), reference::Find(text, sub, 1)) << "round " << round;
      }
      CString replaced = s;
      replaced.Replace(sub.c_str(), "<>");
      ASSERT_EQ(replaced.str(), reference::Replace(text, sub, "<>")) << "round " << round;
    }
  }
}

TEST(CStringSearch, StartInsideALongRunOfDoubleByteCharacters) {
  // Five characters "\x81\x41", then 'A': only the last 'A' is a character.
  std::string run;
  for (int i = 0; i < 5; ++i) run += kTrailLetterA;
  const CString s = CString(run) + "A";
  for (int start = 0; start <= 10; ++start) EXPECT_EQ(s.Find('A', start), 10) << start;
  EXPECT_EQ(s.Find('A', 11), -1);
  // A walk from each hit's end finds every real one.
  const CString walk = s + s + s;
  std::vector<int> hits;
  for (int at = walk.Find("A"); at >= 0; at = walk.Find("A", at + 1)) hits.push_back(at);
  EXPECT_EQ(hits, (std::vector<int>{10, 21, 32}));
}

TEST(CStringEdit, TrimKeepsCharactersWhoseTrailByteLooksLikeSpace) {
  CString s = CString(" \t a\r\n");
  s.Trim();
  EXPECT_EQ(s, "a");
  CString empty("   ");
  empty.Trim();
  EXPECT_TRUE(empty.IsEmpty());
}

TEST(CStringEdit, MidLeftRightClamp) {
  CString s("0123456789");
  EXPECT_EQ(s.Mid(3, 2), "34");
  EXPECT_EQ(s.Mid(8), "89");
  EXPECT_EQ(s.Mid(20), "");
  EXPECT_EQ(s.Left(3), "012");
  EXPECT_EQ(s.Left(30), "0123456789");
  EXPECT_EQ(s.Right(2), "89");
  EXPECT_EQ(s.Right(-1), "");
}

TEST(CStringFormat, PrintfFormats) {
  CString s;
  s.Format("%d-%.2f-%s", 7, 35.0, "x");
  EXPECT_EQ(s, "7-35.00-x");
  s.AppendFormat("%05d", 42);
  EXPECT_EQ(s, "7-35.00-x00042");
}

}  // namespace

namespace {
TEST(SourceCharset, NarrowLiteralsAreGbkBytes) {
  // "宝贝查询" in code page 936.
  EXPECT_STREQ("宝贝查询", "\xB1\xA6\xB1\xB4\xB2\xE9\xD1\xAF");
  EXPECT_STREQ("商家编码：", "\xC9\xCC\xBC\xD2\xB1\xE0\xC2\xEB\xA3\xBA");
}
}  // namespace
