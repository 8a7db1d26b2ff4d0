#include <gtest/gtest.h>

#include <set>

#include "platform/text/containers.h"

namespace {

TEST(CArrayTest, GrowInsertRemove) {
  CArray<int, int> a;
  EXPECT_TRUE(a.IsEmpty());
  EXPECT_EQ(a.Add(5), 0);
  EXPECT_EQ(a.Add(6), 1);
  a.SetAtGrow(4, 9);  // fills 2 and 3 with zeros
  ASSERT_EQ(a.GetSize(), 5);
  EXPECT_EQ(a[2], 0);
  EXPECT_EQ(a.GetAt(4), 9);
  a.InsertAt(1, 7);
  EXPECT_EQ(a[1], 7);
  EXPECT_EQ(a[2], 6);
  a.RemoveAt(0, 2);
  EXPECT_EQ(a.GetSize(), 4);
  EXPECT_EQ(a[0], 6);
  a[0] = 1;
  a.SetAt(1, 2);
  EXPECT_EQ(a.GetAt(0) + a.GetAt(1), 3);
  EXPECT_EQ(a.GetUpperBound(), 3);
  a.RemoveAll();
  EXPECT_EQ(a.GetSize(), 0);
}

using TextMap = CMap<CString, LPCTSTR, CString, LPCTSTR>;

TEST(CMapTest, SetLookupReplaceRemove) {
  TextMap m(10);
  m.InitHashTable(17);
  CString v;
  EXPECT_FALSE(m.Lookup("9787", v));
  m.SetAt("9787", "0");
  m["商家编码"] = "1";
  m.SetAt("9787", "2");  // replaces
  EXPECT_EQ(m.GetCount(), 2);
  ASSERT_TRUE(m.Lookup("9787", v));
  EXPECT_EQ(v, "2");
  ASSERT_TRUE(m.Lookup("商家编码", v));
  EXPECT_EQ(v, "1");
  EXPECT_FALSE(m.Lookup("商家编", v));  // keys compare byte for byte
  EXPECT_TRUE(m.RemoveKey("9787"));
  EXPECT_FALSE(m.RemoveKey("9787"));
  EXPECT_EQ(m.GetCount(), 1);
  m.RemoveAll();
  EXPECT_TRUE(m.IsEmpty());
  EXPECT_EQ(m.GetStartPosition(), nullptr);
}

TEST(CMapTest, WalkVisitsEveryEntryOnceAfterRemovals) {
  TextMap m;
  for (int i = 0; i < 100; ++i) {
    CString k;
    k.Format("k%d", i);
    m[k].Format("%d", i * 2);
  }
  for (int i = 0; i < 100; i += 3) {
    CString k;
    k.Format("k%d", i);
    m.RemoveKey(k);
  }
  std::set<std::string> seen;
  POSITION pos = m.GetStartPosition();
  while (pos != nullptr) {
    CString k, v;
    m.GetNextAssoc(pos, k, v);
    EXPECT_EQ(atoi(k.Mid(1)) * 2, atoi(v));
    EXPECT_TRUE(seen.insert(k.str()).second);
  }
  EXPECT_EQ(seen.size(), 66u);
  EXPECT_EQ(static_cast<int>(seen.size()), m.GetCount());
}

TEST(CMapTest, ValueReferencesSurviveLaterInserts) {
  CMap<int, int, CString, const CString&> m;
  CString& first = m[1];
  for (int i = 2; i < 1000; ++i) m[i] = "x";
  first = "kept";
  CString v;
  ASSERT_TRUE(m.Lookup(1, v));
  EXPECT_EQ(v, "kept");
}

}  // namespace
