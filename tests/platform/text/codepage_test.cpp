#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "platform/text/codepage.h"

namespace {

std::string Bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(static_cast<char>(b));
  return s;
}

// The one character a two-byte GBK code stands for, or 0 when the code is not
// a character of its own.
char16_t DecodeOne(int lead, int trail) {
  char b[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  std::u16string w = CodePageToUtf16(CP_GBK, std::string_view(b, 2));
  return w.size() == 1 && w[0] != u'\uFFFD' ? w[0] : 0;
}

struct GbkArea {
  const char* name;
  int lead_first, lead_last, trail_first, trail_last;
  int at_least;  // characters the area must hold: the full count for the
                 // hanzi areas, a little less where iconv leaves a few
                 // symbols to the private use area
};

// Every two-byte area of GBK, walked in full: each character must survive
// GBK -> UTF-8 -> GBK alone and inside one long text.
TEST(CodePageRoundTrip, EveryGbkAreaKeepsEveryByte) {
  const GbkArea areas[] = {
      {"GBK/1 symbols", 0xA1, 0xA9, 0xA1, 0xFE, 700},
      {"GBK/2 GB2312 hanzi", 0xB0, 0xF7, 0xA1, 0xFE, 6763},
      {"GBK/3", 0x81, 0xA0, 0x40, 0xFE, 6080},
      {"GBK/4", 0xAA, 0xFE, 0x40, 0xA0, 8000},
      {"GBK/5", 0xA8, 0xA9, 0x40, 0xA0, 150},
  };
  for (const GbkArea& area : areas) {
    std::string all;
    int count = 0;
    for (int lead = area.lead_first; lead <= area.lead_last; ++lead) {
      for (int trail = area.trail_first; trail <= area.trail_last; ++trail) {
        if (trail == 0x7F || DecodeOne(lead, trail) == 0) continue;
        std::string one = Bytes({lead, trail});
        std::string back = Utf8ToGbk(GbkToUtf8(one));
        ASSERT_EQ(back, one) << area.name << " " << std::hex << lead << trail;
        all += one;
        all += "a\\";  // ASCII between, a backslash included
        ++count;
      }
    }
    SCOPED_TRACE(area.name);
    EXPECT_GE(count, area.at_least);
    EXPECT_EQ(Utf8ToGbk(GbkToUtf8(all)), all);
  }
}

TEST(CodePageRoundTrip, TableOfTexts) {
  const std::string texts[] = {
      "",
      "plain ASCII 0123 ~!@#$%^&*()",
      "宝贝查询",
      "商家编码：9787020002207",
      "--2016年10月17日 12:00:00\r\n\r\n",
      "全部同步 完毕！",
      Bytes({0x95, 0x5C}) + "\\" + Bytes({0x81, 0x41}),  // trail bytes '\' and 'A'
      Bytes({0x80}),                                   // the euro sign of code page 936
  };
  for (const std::string& t : texts) {
    EXPECT_EQ(Utf8ToGbk(GbkToUtf8(t)), t);
    EXPECT_EQ(Utf16ToCodePage(CP_GBK, CodePageToUtf16(CP_ACP, t)), t);
  }
  EXPECT_EQ(GbkToUtf8("宝贝"), "\xE5\xAE\x9D\xE8\xB4\x9D");
}

struct BadInput {
  const char* what;
  UINT code_page;
  std::string bytes;
  std::u16string expected;
};

TEST(CodePageInvalidInput, BecomesReplacementAndGoesOn) {
  const BadInput cases[] = {
      {"lone GBK lead byte at the end", CP_GBK, "a" + Bytes({0xB1}), u"a\uFFFD"},
      {"GBK lead byte before a control", CP_GBK, Bytes({0xB1, 0x0A}) + "b", u"\uFFFD\nb"},
      {"byte 0xFF", CP_GBK, Bytes({0xFF}) + "c", u"\uFFFDc"},
      {"cut UTF-8 sequence", CP_UTF8, "x" + Bytes({0xE4, 0xB8}), u"x\uFFFD\uFFFD"},
      {"UTF-8 continuation alone", CP_UTF8, Bytes({0x80}) + "y", u"\uFFFDy"},
      {"overlong UTF-8", CP_UTF8, Bytes({0xC0, 0xAF}), u"\uFFFD\uFFFD"},
  };
  for (const BadInput& c : cases) {
    EXPECT_EQ(CodePageToUtf16(c.code_page, c.bytes), c.expected) << c.what;
  }
}

TEST(CodePageInvalidInput, CharactersTheTargetLacksBecomeQuestionMarks) {
  EXPECT_EQ(Utf16ToCodePage(CP_GBK, u"a\U0001F600b"), "a?b");  // one "?" for a surrogate pair
  EXPECT_EQ(Utf16ToCodePage(CP_GBK, u"a\u0E01b"), "a?b");  // a Thai letter
  const char16_t lone_high[] = {u'x', 0xD83D, u'y'};
  EXPECT_EQ(Utf16ToCodePage(CP_GBK, std::u16string_view(lone_high, 3)), "x?y");
  const char16_t lone_low[] = {0xDE00};
  EXPECT_EQ(Utf16ToCodePage(CP_UTF8, std::u16string_view(lone_low, 1)), "?");
  EXPECT_EQ(Utf8ToGbk("\xF0\x9F\x98\x80"), "?");
}

TEST(CodePageWindowsCalls, MeasureThenConvert) {
  const char* text = "宝贝";
  int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  ASSERT_EQ(units, 3);  // two characters and the terminator
  WCHAR wide[3];
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 3), 3);
  EXPECT_EQ(std::u16string(wide), u"宝贝");
  WCHAR small[2];
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, small, 2), 0);  // too small: fails

  int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  ASSERT_EQ(bytes, 7);
  char utf8[7];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, 7, nullptr, nullptr), 7);
  EXPECT_STREQ(utf8, "\xE5\xAE\x9D\xE8\xB4\x9D");
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, -1, nullptr, 0), 0);
}

// Random and mutated bytes through every conversion: nothing may crash or
// hang, and no output grows beyond what its input can give.
TEST(CodePageMutation, RandomBytesNeverCrashOrLoop) {
  std::mt19937 rng(20161017);
  const std::string seeds[] = {"宝贝查询 tracknick=\\u4e2d;", GbkToUtf8("商家编码：12,北京,TRUE\r\n")};
  for (int round = 0; round < 4000; ++round) {
    std::string s = seeds[round % 2];
    int edits = 1 + static_cast<int>(rng() % 8);
    for (int e = 0; e < edits; ++e) {
      size_t at = s.empty() ? 0 : rng() % s.size();
      switch (rng() % 3) {
        case 0: if (!s.empty()) s[at] = static_cast<char>(rng()); break;
        case 1: s.insert(at, 1, static_cast<char>(rng())); break;
        default: if (!s.empty()) s.erase(at, 1 + rng() % 3); break;
      }
    }
    std::u16string from_gbk = CodePageToUtf16(CP_GBK, s);
    std::u16string from_utf8 = CodePageToUtf16(CP_UTF8, s);
    ASSERT_LE(from_gbk.size(), s.size());
    ASSERT_LE(from_utf8.size(), s.size());
    std::string gbk = Utf16ToCodePage(CP_GBK, from_utf8);
    std::string utf8 = Utf16ToCodePage(CP_UTF8, from_gbk);
    ASSERT_LE(gbk.size(), 2 * from_utf8.size());
    ASSERT_LE(utf8.size(), 3 * from_gbk.size());

    std::u16string units;
    for (size_t i = 0; i < s.size() / 2; ++i)
      units.push_back(static_cast<char16_t>(static_cast<unsigned char>(s[2 * i]) << 8 |
                                            static_cast<unsigned char>(s[2 * i + 1])));
    ASSERT_LE(Utf16ToCodePage(CP_GBK, units).size(), 2 * units.size());
    ASSERT_LE(Utf16ToCodePage(CP_UTF8, units).size(), 3 * units.size());
  }
}

}  // namespace
