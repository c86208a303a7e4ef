// Which files are archives, and the order they are taken in.
#include "search.h"

#include "kit.h"

namespace {

TEST(Search, TakesTheIxfFilesInUpperCasedOrder) {
  for (const char *name : {"A.IXF", "a.ixf", ".IXF", "x.y.iXf"})
    EXPECT_TRUE(is_archive_name(name)) << name;
  for (const char *name : {"IXF", "A.IX", "A.IXF.BAK", "A_IXF", "A.IXG"})
    EXPECT_FALSE(is_archive_name(name)) << name;
  // Each name before the next, never the other way round.
  const char *const order[] = {"A.IXF",  "a.ixf", "a2.IXF", "AB.IXF",
                               "b.ixf",  "B1.IXF", "Z.IXF", "z.ixf",
                               "_.IXF",  "\xC3\x89.IXF"};
  for (size_t i = 0; i + 1 < sizeof order / sizeof *order; i++) {
    EXPECT_TRUE(archive_order(order[i], order[i + 1])) << order[i];
    EXPECT_FALSE(archive_order(order[i + 1], order[i])) << order[i];
    EXPECT_FALSE(archive_order(order[i], order[i])) << order[i];
  }
}

}  // namespace
