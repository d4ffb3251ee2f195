#include "region/rect_list.h"

#include <gtest/gtest.h>

#include "platform/native_hooks.h"

namespace wdi {
namespace {

TEST(RectList, EmptyListProcessesEverything) {
  CRectList list;
  EXPECT_EQ(list.lastId, 0);
  EXPECT_EQ(list.IsProcessed(0, 0), 1);
  EXPECT_EQ(list.IsProcessed(719, 575), 1);
  EXPECT_EQ(list.IsProcessed(-5, 100000), 1);
}

TEST(RectList, LastContainingEntryDecides) {
  CRectList excludeThenInclude;
  excludeThenInclude.AddRect(false, 0, 0, 99, 99);
  excludeThenInclude.AddRect(true, 0, 0, 99, 99);
  EXPECT_EQ(excludeThenInclude.IsProcessed(50, 50), 1);

  CRectList includeThenExclude;
  includeThenExclude.AddRect(true, 0, 0, 99, 99);
  includeThenExclude.AddRect(false, 0, 0, 99, 99);
  EXPECT_EQ(includeThenExclude.IsProcessed(50, 50), 0);
  EXPECT_EQ(includeThenExclude.IsProcessed(100, 50), 1);
}

TEST(RectList, EdgesAreInside) {
  CRectList list;
  list.AddRect(false, 10, 20, 30, 40);
  EXPECT_EQ(list.IsProcessed(10, 25), 0);
  EXPECT_EQ(list.IsProcessed(30, 25), 0);
  EXPECT_EQ(list.IsProcessed(15, 20), 0);
  EXPECT_EQ(list.IsProcessed(15, 40), 0);
  EXPECT_EQ(list.IsProcessed(9, 25), 1);
  EXPECT_EQ(list.IsProcessed(31, 25), 1);
  EXPECT_EQ(list.IsProcessed(15, 19), 1);
  EXPECT_EQ(list.IsProcessed(15, 41), 1);
}

TEST(RectList, AddRectChecks) {
  CRectList list;
  EXPECT_EQ(list.AddRect(true, 5, 5, 5, 5), -1);  // a single pixel
  EXPECT_EQ(list.AddRect(true, -1, 0, 10, 10), -1);
  EXPECT_EQ(list.AddRect(true, 10, 0, 9, 10), -1);
  EXPECT_EQ(list.AddRect(true, 0, -1, 10, 10), -1);
  EXPECT_EQ(list.AddRect(true, 0, 10, 10, 9), -1);
  EXPECT_EQ(list.lastId, 0);
  EXPECT_TRUE(list.entries.empty());
  EXPECT_EQ(list.AddRect(true, 5, 5, 5, 6), 1);   // one column wide
  EXPECT_EQ(list.AddRect(false, 5, 5, 6, 5), 2);  // one row high
  EXPECT_EQ(list.AddRect(true, -1, 5, 6, 5), -1);
  EXPECT_EQ(list.lastId, 2);
  ASSERT_EQ(list.entries.size(), 2u);
  const RectEntry& second = list.entries.back();
  EXPECT_EQ(second.id, 2);
  EXPECT_FALSE(second.include);
  EXPECT_EQ(second.left, 5);
  EXPECT_EQ(second.top, 5);
  EXPECT_EQ(second.right, 6);
  EXPECT_EQ(second.bottom, 5);
}

TEST(RectList, IdsAreNotReused) {
  CRectList list;
  EXPECT_EQ(list.AddRect(true, 0, 0, 1, 1), 1);
  EXPECT_EQ(list.AddRect(true, 0, 0, 2, 2), 2);
  EXPECT_EQ(list.AddRect(true, 0, 0, 3, 3), 3);
  list.DeleteRect(3);
  EXPECT_EQ(list.lastId, 3);
  EXPECT_EQ(list.AddRect(true, 0, 0, 4, 4), 4);
}

TEST(RectList, DeleteRect) {
  CRectList list;
  list.AddRect(true, 0, 0, 1, 1);
  list.AddRect(false, 0, 0, 2, 2);
  list.AddRect(true, 0, 0, 3, 3);
  list.DeleteRect(7);  // no such id
  EXPECT_EQ(list.entries.size(), 3u);
  list.DeleteRect(2);  // from the middle; the order of the rest stays
  ASSERT_EQ(list.entries.size(), 2u);
  EXPECT_EQ(list.entries.front().id, 1);
  EXPECT_EQ(list.entries.back().id, 3);
  EXPECT_EQ(list.lastId, 3);
}

TEST(RectList, DeleteRectRemovesTheFrontmostOfEqualIds) {
  CRectList list;
  list.entries.push_back(RectEntry{1, true, 0, 0, 9, 9});
  list.entries.push_back(RectEntry{1, false, 0, 0, 9, 9});
  list.DeleteRect(1);
  ASSERT_EQ(list.entries.size(), 1u);
  EXPECT_FALSE(list.entries.front().include);
}

TEST(RectList, EntryText) {
  EXPECT_EQ(EntryText(RectEntry{3, true, 0, 0, 719, 575}), "3. [ (0,0) - (719,575) ] +");
  EXPECT_EQ(EntryText(RectEntry{12, false, 100, 50, 299, 199}), "12. [ (100,50) - (299,199) ] -");
  EXPECT_EQ(EntryText(RectEntry{2147483647, false, 2147483647, 2147483647, 2147483647, 2147483647}),
            "2147483647. [ (2147483647,2147483647) - (2147483647,2147483647) ] -");
}

TEST(RectList, LivesInGlobalMemory) {
  const size_t before = globalLiveBlocks();
  CRectList* list = CRectList::Create();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(globalLiveBlocks(), before + 1);
  EXPECT_EQ(list->lastId, 0);
  EXPECT_TRUE(list->entries.empty());
  list->AddRect(true, 0, 0, 10, 10);
  delete list;  // the destructor gives the block back
  EXPECT_EQ(globalLiveBlocks(), before);

  globalRefuseAfter(0);
  EXPECT_EQ(CRectList::Create(), nullptr);
  EXPECT_EQ(globalLiveBlocks(), before);
}

}  // namespace
}  // namespace wdi
