// The definition map: whole, case-sensitive names and copies of definitions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NameValueDefn.h"

namespace {
NameValueDefn Defn(const char* name, int type, const char* label, int attr, int index) {
  return NameValueDefn{name, type, label, 0, 0, attr, index, nullptr};
}

TEST(NameValueDefnMap, NewMapIsEmptyWith17Buckets) {
  auto map = CreateNameValueDefnMap();
  EXPECT_EQ(map->GetHashTableSize(), 17u);
  EXPECT_EQ(map->GetCount(), 0);
  NameValueDefn out{};
  EXPECT_FALSE(map->Lookup("frequency1", out));
  EXPECT_FALSE(map->Lookup("", out));
}

TEST(NameValueDefnMap, KeysMatchWholeAndWithCase) {
  auto map = CreateNameValueDefnMap();
  NameValueDefn f1 = Defn("frequency1", 7, "Frequency 1", 102, 0);
  map->SetAt(f1.pszName, f1);

  NameValueDefn out{};
  ASSERT_TRUE(map->Lookup("frequency1", out));
  EXPECT_EQ(out.nType, 7);
  EXPECT_STREQ(out.pszLabel, "Frequency 1");
  EXPECT_FALSE(map->Lookup("Frequency1", out));
  EXPECT_FALSE(map->Lookup("frequency", out));
  EXPECT_FALSE(map->Lookup("frequency10", out));
  // A key built from another buffer finds the same entry.
  std::string key = std::string("frequency") + "1";
  EXPECT_TRUE(map->Lookup(key.c_str(), out));
}

TEST(NameValueDefnMap, SettingANameTwiceKeepsTheLaterDefinition) {
  auto map = CreateNameValueDefnMap();
  NameValueDefn first = Defn("a", 3, "A", 1, 0);
  NameValueDefn second = Defn("a", 7, "B", 2, 5);
  map->SetAt("a", first);
  map->SetAt("a", second);
  EXPECT_EQ(map->GetCount(), 1);
  NameValueDefn out{};
  ASSERT_TRUE(map->Lookup("a", out));
  EXPECT_EQ(out.nType, 7);
  EXPECT_EQ(out.nAttrId, 2);
  EXPECT_EQ(out.nIndex, 5);
}

TEST(NameValueDefnMap, HoldsCopies) {
  auto map = CreateNameValueDefnMap();
  NameValueDefn d = Defn("a", 3, "A", 1, 0);
  map->SetAt("a", d);
  d.nType = 11;  // the caller's record changes after the set

  NameValueDefn out{};
  ASSERT_TRUE(map->Lookup("a", out));
  EXPECT_EQ(out.nType, 3);
  out.nIndex = 9;  // a copy taken out changes
  NameValueDefn again{};
  ASSERT_TRUE(map->Lookup("a", again));
  EXPECT_EQ(again.nIndex, 0);
}

TEST(NameValueDefnMap, ManyNamesInFewBuckets) {
  auto map = CreateNameValueDefnMap();
  std::vector<std::string> names;
  for (int i = 0; i < 60; ++i) names.push_back("field" + std::to_string(i));
  for (int i = 0; i < 60; ++i) {
    NameValueDefn d = Defn(names[static_cast<size_t>(i)].c_str(), 3, "", 0, i);
    map->SetAt(d.pszName, d);
  }
  EXPECT_EQ(map->GetCount(), 60);
  EXPECT_EQ(map->GetHashTableSize(), 17u);
  for (int i = 0; i < 60; ++i) {
    NameValueDefn out{};
    ASSERT_TRUE(map->Lookup(names[static_cast<size_t>(i)].c_str(), out));
    EXPECT_EQ(out.nIndex, i);
  }
}
}  // namespace
