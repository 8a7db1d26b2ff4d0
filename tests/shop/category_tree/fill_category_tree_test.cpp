// FillCategoryTree over category replies as the seller centre sends them,
// marked the way LoadShopCategories marks them, and a mutation pass.
#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/text/codepage.h"
#include "services/globals.h"
#include "shop/TaoBao.h"

namespace {

// What LoadShopCategories hands to FillCategoryTree for a reply.
CString Marked(const std::string& reply) {
  CString text(reply);
  text.Replace("items", "itemsCaoTaMa");
  text += "itemsCaoTaMa";
  return text;
}

std::vector<std::string> RootTexts(const CTreeCtrl& tree) {
  std::vector<std::string> texts;
  for (HTREEITEM item = tree.GetRootItem(); item; item = tree.GetNextSiblingItem(item)) {
    texts.push_back(GbkToUtf8(tree.GetItemText(item).str()));
  }
  return texts;
}

std::string Repeated(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

std::string Join(const std::vector<std::string>& texts) {
  std::string out;
  for (const std::string& t : texts) out += (out.empty() ? "" : " | ") + t;
  return out;
}

class FillCategoryTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = g_CategoryTree;
    g_CategoryTree = &tree_;
  }
  void TearDown() override { g_CategoryTree = saved_; }

  CTreeCtrl tree_;
  CTreeCtrl* saved_ = nullptr;
};

struct ReplyCase {
  const char* name;
  std::string reply;                   // GBK
  std::vector<const char*> expected;   // root items after "全部类目"
};

// Top-level categories carry a key before "text"; their children start
// with "text". That comma is what tells a top-level name from a child's.
const char kTwoCategories[] =
    "{\"success\":true,\"cats\":["
    "{\"id\":\"101\",\"text\":\"文学\",\"value\":\"101\",\"items\":["
    "{\"text\":\"小说\",\"value\":\"1011\"},{\"text\":\"诗歌\",\"value\":\"1012\"}]},"
    "{\"id\":\"102\",\"text\":\"历史\",\"value\":\"102\",\"items\":["
    "{\"text\":\"古代史\",\"value\":\"1021\"}]}]}";

TEST_F(FillCategoryTreeTest, RepliesGiveTheTopLevelCategoriesInOrder) {
  const std::vector<ReplyCase> cases = {
      {"two categories with children", kTwoCategories, {"文学", "历史"}},
      {"empty reply", "", {}},
      {"no category keys (signed out)", "{\"success\":false,\"msg\":\"login\"}\r\n", {}},
      {"an HTML page instead of JSON", "<html><body>请登录</body></html>\r\n", {}},
      {"category without children",
       "[{\"id\":\"1\",\"text\":\"教辅\",\"value\":\"1\",\"items\":[]}]", {"教辅"}},
      {"last category without an items key: the appended marker ends it",
       "[{\"id\":\"1\",\"text\":\"A\",\"value\":\"1\",\"items\":[]},"
       "{\"id\":\"2\",\"text\":\"B\",\"value\":\"2\"}]",
       {"A", "B"}},
      {"text first in the first object: no comma, no name",
       "[{\"text\":\"A\",\"value\":\"1\",\"items\":[]},{\"id\":\"2\",\"text\":\"B\",\"value\":\"2\",\"items\":[]}]",
       {"B"}},
      {"value key missing: no name",
       "[{\"id\":\"1\",\"text\":\"A\",\"items\":[]}]", {}},
      {"value key in capitals: patterns ignore case",
       "[{\"id\":\"1\",\"TEXT\":\"A\",\"VALUE\":\"1\",\"items\":[]}]", {"A"}},
      {"upper-case ITEMS is not marked: one chunk, first name only",
       "[{\"id\":\"1\",\"text\":\"A\",\"value\":\"1\",\"ITEMS\":[]},"
       "{\"id\":\"2\",\"text\":\"B\",\"value\":\"2\",\"ITEMS\":[]}]",
       {"A"}},
      {"children with a key before text count as top-level names",
       "[{\"id\":\"1\",\"text\":\"A\",\"value\":\"1\",\"items\":["
       "{\"id\":\"11\",\"text\":\"A1\",\"value\":\"11\"}]},"
       "{\"id\":\"2\",\"text\":\"B\",\"value\":\"2\",\"items\":[]}]",
       {"A", "A1"}},
      {"empty name is skipped",
       "[{\"id\":\"1\",\"text\":\"\",\"value\":\"1\",\"items\":[]},"
       "{\"id\":\"2\",\"text\":\"B\",\"value\":\"2\",\"items\":[]}]",
       {"B"}},
      {"line breaks inside the reply",
       "[{\"id\":\"1\",\r\n\"text\":\"A\",\"value\":\"1\",\r\n\"items\":[]}]\r\n", {}},
      {"line breaks between keys keep the name",
       "[{\"id\":\"1\",\"text\":\"A\",\"value\":\"1\",\r\n\"items\":[]}]\r\n", {"A"}},
      // The name pattern on the last chunk makes the library give up.
      {"a category, then a tail of text keys without values",
       "[{\"id\":\"1\",\"text\":\"A\",\"value\":\"1\",\"items\":[]}," +
           Repeated(",\"text\":\"", 6000),
       {"A"}},
  };
  for (const ReplyCase& c : cases) {
    tree_.DeleteAllItems();
    FillCategoryTree(Marked(c.reply));
    std::vector<std::string> expected = {GbkToUtf8("全部类目")};
    for (const char* e : c.expected) expected.push_back(GbkToUtf8(e));
    EXPECT_EQ(Join(RootTexts(tree_)), Join(expected)) << c.name;
  }
}

TEST_F(FillCategoryTreeTest, EachCategoryKeepsItsChunkAndTheRootItemNone) {
  FillCategoryTree(Marked(kTwoCategories));
  HTREEITEM all = tree_.GetRootItem();
  ASSERT_NE(all, nullptr);
  EXPECT_TRUE(tree_.GetItemDataText(all).IsEmpty());
  HTREEITEM first = tree_.GetNextSiblingItem(all);
  ASSERT_NE(first, nullptr);
  CString chunk = tree_.GetItemDataText(first);
  // The chunk runs from the start of the reply to this category's own
  // "items" key, which it ends with.
  EXPECT_EQ(chunk.Left(8), CString("{\"succes"));
  EXPECT_EQ(chunk.Right(5), CString("items"));
  EXPECT_NE(chunk.Find("文学"), -1);
  HTREEITEM second = tree_.GetNextSiblingItem(first);
  ASSERT_NE(second, nullptr);
  CString chunk2 = tree_.GetItemDataText(second);
  EXPECT_EQ(chunk2.Right(5), CString("items"));
  EXPECT_EQ(chunk2.Left(4), CString("\":[{"));
  EXPECT_FALSE(tree_.ItemHasChildren(first));
}

TEST_F(FillCategoryTreeTest, FillingAgainAppendsAfterTheLastRootItem) {
  FillCategoryTree(Marked(kTwoCategories));
  FillCategoryTree(Marked(kTwoCategories));
  EXPECT_EQ(Join(RootTexts(tree_)), GbkToUtf8("全部类目 | 文学 | 历史 | 全部类目 | 文学 | 历史"));
}

TEST_F(FillCategoryTreeTest, NoTreePublishedDoesNothing) {
  g_CategoryTree = nullptr;
  FillCategoryTree(Marked(kTwoCategories));
  g_CategoryTree = &tree_;
  EXPECT_EQ(tree_.GetCount(), 0);
}

// Random damage to real replies: the tree always starts with "全部类目" and
// nothing crashes or throws.
TEST_F(FillCategoryTreeTest, MutatedRepliesNeverCrash) {
  const std::vector<std::string> seeds = {
      kTwoCategories,
      "[{\"id\":\"1\",\"text\":\"A\",\"value\":\"1\",\"items\":[{\"text\":\"x\",\"value\":\"2\"}]}]",
      "{\"success\":false}",
  };
  const std::string pieces[] = {"items", "CaoTaMa", ",\"text\":\"", "\",\"value\":\"", "\"",
                                ",", "\xB0", "\xCE\xC4", "\\", "\r\n", std::string(1, '\0')};
  std::mt19937 rng(20240105);
  for (int round = 0; round < 3000; ++round) {
    std::string text = seeds[rng() % seeds.size()];
    int edits = 1 + static_cast<int>(rng() % 8);
    for (int e = 0; e < edits; ++e) {
      size_t at = text.empty() ? 0 : rng() % (text.size() + 1);
      switch (rng() % 4) {
        case 0:  // flip a byte
          if (!text.empty()) text[at % text.size()] = static_cast<char>(rng() & 0xFF);
          break;
        case 1:  // insert a piece that matters to the patterns
          text.insert(at, pieces[rng() % std::size(pieces)]);
          break;
        case 2:  // cut a stretch
          text.erase(at, rng() % 16);
          break;
        case 3:  // cut the text short
          text.resize(at);
          break;
      }
    }
    tree_.DeleteAllItems();
    FillCategoryTree(Marked(text));
    HTREEITEM root = tree_.GetRootItem();
    ASSERT_NE(root, nullptr) << "round " << round;
    EXPECT_EQ(tree_.GetItemText(root), CString("全部类目")) << "round " << round;
  }
}

}  // namespace
