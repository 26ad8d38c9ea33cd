#include <gtest/gtest.h>

#include "library/DbId.h"
#include "rtl/Exception.h"

namespace {

TDbId Id(std::int32_t view, std::int32_t group, std::int32_t file)
{
  TDbId id;
  id.ViewId = view;
  id.GroupId = group;
  id.FileId = file;
  id.Order = 5;
  return id;
}

TEST(DbIdTest, TheLevelFollowsFromTheFieldsThatAreSet)
{
  struct TCase {
    TDbId Id;
    TDbIdLevel Level;
    bool Valid;
  };
  const TCase cases[] = {
      {TDbId(), TDbIdLevel::Root, false},       {Id(3, -1, -1), TDbIdLevel::View, true},
      {Id(3, 9, -1), TDbIdLevel::Group, true},  {Id(3, 9, 12), TDbIdLevel::Item, true},
      {Id(-1, 9, 12), TDbIdLevel::Root, false}, {Id(3, -1, 12), TDbIdLevel::View, false},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(c.Id.Level(), c.Level) << c.Id.ViewId << " " << c.Id.GroupId << " " << c.Id.FileId;
    EXPECT_EQ(c.Id.Valid(), c.Valid) << c.Id.ViewId << " " << c.Id.GroupId << " " << c.Id.FileId;
  }
  EXPECT_TRUE(Id(3, 1, 12).SameItem(Id(3, 2, 12)));
  EXPECT_FALSE(Id(3, 1, 12).SameGroup(Id(3, 2, 12)));
  EXPECT_FALSE(Id(3, 1, 12).SameItem(Id(4, 1, 12)));
}

TEST(DbIdTest, BeforeFirstStandsBeforeTheFirstChild)
{
  const TDbId group = BeforeFirst(Id(2, -1, -1));
  EXPECT_EQ(group.GroupId, 0);
  EXPECT_EQ(group.FileId, -1);
  EXPECT_EQ(group.Order, 0);
  EXPECT_TRUE(IsBeforeFirst(group));
  const TDbId item = BeforeFirst(Id(2, 7, -1));
  EXPECT_EQ(item.FileId, 0);
  EXPECT_TRUE(IsBeforeFirst(item));
  EXPECT_FALSE(IsBeforeFirst(Id(2, 7, -1)));
  EXPECT_FALSE(IsBeforeFirst(Id(2, 7, 3)));
  EXPECT_TRUE(IsBeforeFirst(Id(2, -1, -1)));

  const auto message = [](auto&& call) {
    try {
      call();
    } catch (const Exception& error) {
      return error.Message();
    }
    return std::string();
  };
  EXPECT_EQ(message([] { BeforeFirst(TDbId()); }), "BeforeFirst: Root not allowed");
  EXPECT_EQ(message([] { BeforeFirst(Id(2, 7, 3)); }), "BeforeFirst: File not allowed");
  EXPECT_EQ(message([] { IsBeforeFirst(Id(0, -1, -1)); }), "IsBeforeFirst: ViewId = 0");
  EXPECT_EQ(message([] { IsBeforeFirst(TDbId()); }), "IsBeforeFirst: Illegal DbId");
}

}  // namespace
