// Picking the notice entry of this program out of the maker's notice page.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/UpdateNotice.h"
#include "platform/text/codepage.h"
#include "services/globals.h"
#include "services/text_services.h"

namespace {

boost::regex NoticePattern() {
  return MakeRegex("<P><SoftName>(.*?)</SoftName><a href=\"(.*?)\">(.*?)</a></P>");
}

std::string Entry(const std::string& name, const std::string& link, const std::string& text) {
  return "<P><SoftName>" + name + "</SoftName><a href=\"" + link + "\">" + text + "</a></P>\r\n";
}

std::string Repeated(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

struct NoticeCase {
  const char* what;
  std::string page;
  std::string text;  // expected
  std::string link;  // expected
};

// Shown as UTF-8 when a case fails.
std::string Show(const CString& gbk) { return GbkToUtf8(gbk.str()); }

TEST(FindUpdateEntry, PicksTheEntryThatNamesTheProductAnywhereInItsMatch) {
  const std::string header = "<html><body>\r\n";
  const std::vector<NoticeCase> cases = {
      {"second entry names the product in its link text",
       header + Entry("OtherTool", "http://a/other", "OtherTool 2.0 released") +
           Entry("Something", "http://a/tovrane", "VorlupTovrane V1.2 发布"),
       "VorlupTovrane V1.2 发布", "http://a/tovrane"},
      {"product named in group 1",
       Entry("VorlupTovrane", "http://a/1", "新版本"), "新版本", "http://a/1"},
      {"product named only inside the link",
       Entry("X", "http://a/VorlupTovrane/dl", "下载"), "下载", "http://a/VorlupTovrane/dl"},
      {"empty text contributes its link and the walk goes on",
       Entry("VorlupTovrane", "http://a/first", "") + Entry("Other", "http://a/x", "x") +
           Entry("VorlupTovrane", "", "later text"),
       "later text", "http://a/first"},
      {"a later link replaces an earlier one when not empty",
       Entry("VorlupTovrane", "http://a/first", "") +
           Entry("VorlupTovrane", "http://a/second", "text"),
       "text", "http://a/second"},
      {"the first entry with a text ends the walk",
       Entry("VorlupTovrane", "http://a/1", "one") + Entry("VorlupTovrane", "http://a/2", "two"),
       "one", "http://a/1"},
      {"an empty text only: link, no text",
       Entry("VorlupTovrane", "http://a/only", ""), "", "http://a/only"},
      {"no entry for the product", Entry("OtherTool", "http://a/o", "o"), "", ""},
      {"the product title is case-sensitive", Entry("vorluptovrane", "http://a/l", "t"), "", ""},
      {"the tags are not",
       "<p><softname>VorlupTovrane</SOFTNAME><A HREF=\"http://a/u\">upper</A></p>", "upper",
       "http://a/u"},
      {"an entry may span lines",
       "<P><SoftName>Vorlup\r\nTovrane</SoftName><a href=\"http://a/m\">multi\r\nline</a></P>"
       "<P><SoftName>VorlupTovrane</SoftName><a href=\"http://a/n\">next</a></P>",
       "next", "http://a/n"},
      // 0x81 0x56 is one GBK character whose second byte is "V": the title
      // is not in that entry.
      {"a trail byte is not the start of the title",
       Entry("\x81VorlupTovrane", "http://a/t", "trail"), "", ""},
      {"no entries at all", "<html>nothing here</html>", "", ""},
      {"empty page", "", "", ""},
      {"unclosed entry", "<P><SoftName>VorlupTovrane</SoftName><a href=\"http://a/x\">x", "", ""},
      // The library gives up on the search behind the first entry.
      {"an entry, then a tail of unclosed links",
       Entry("VorlupTovrane", "http://a/g", "") + Repeated("<P><SoftName>x</SoftName><a href=\"", 1000),
       "", "http://a/g"},
  };
  for (const NoticeCase& c : cases) {
    CString text, link;
    CString result = FindUpdateEntry(c.page, g_SoftName, text, link, NoticePattern());
    EXPECT_EQ(result, "") << c.what;
    EXPECT_EQ(text, CString(c.text)) << c.what << ": got " << Show(text);
    EXPECT_EQ(link, CString(c.link)) << c.what << ": got " << Show(link);
  }
}

TEST(FindUpdateEntry, KeepsWhatTheCallerHadWhenNothingMatches) {
  CString text("old text"), link("http://old");
  FindUpdateEntry(Entry("Other", "http://new", "new"), g_SoftName, text, link, NoticePattern());
  EXPECT_EQ(text, "old text");
  EXPECT_EQ(link, "http://old");
}

// Pages cut, spliced and sprinkled with bytes at random: the walk ends and
// whatever it picks comes from the page.
TEST(FindUpdateEntry, MutatedPagesNeverCrash) {
  const std::string seed = "<html>" + Entry("A", "http://a", "a") +
                           Entry("VorlupTovrane", "http://v", "发布") +
                           Entry("VorlupTovrane", "", "") + "</html>";
  using namespace std::string_literals;
  const std::string noise = "<>/\"=PpaSoftNamehref\r\n\x81\xfe\x00VorlupTovrane"s;
  std::mt19937 random(7);
  for (int round = 0; round < 5000; ++round) {
    std::string page = seed;
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits && !page.empty(); ++e) {
      const size_t at = random() % page.size();
      switch (random() % 4) {
        case 0: page.erase(at, 1 + random() % 12); break;
        case 1: page.insert(at, 1, noise[random() % noise.size()]); break;
        case 2: page[at] = static_cast<char>(random() % 256); break;
        default: page.insert(at, page.substr(random() % page.size(), random() % 30)); break;
      }
    }
    CString text, link;
    FindUpdateEntry(CString(page), g_SoftName, text, link, NoticePattern());
    if (!text.IsEmpty()) {
      ASSERT_NE(page.find(text.str()), std::string::npos);
    }
    if (!link.IsEmpty()) {
      ASSERT_NE(page.find(link.str()), std::string::npos);
    }
  }
}

}  // namespace
