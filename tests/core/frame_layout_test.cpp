// Report windows in the window area, the zoom range and the recent files.
#include <gtest/gtest.h>

#include "core/frame_layout.h"

namespace lotvue {
namespace {

TEST(FrameLayout, CascadeZoomAndRecentFiles) {
  struct Case {
    int w, h, index;
    FrameRect rect;
  } cases[] = {
      {1600, 1000, 0, {0, 0, 1504, 904}},   {1600, 1000, 2, {48, 48, 1504, 904}},
      {1600, 1000, 5, {0, 0, 1504, 904}},   {200, 150, 4, {80, 60, 120, 90}},  // small: 60 %, kept inside
  };
  for (const Case& c : cases) EXPECT_EQ(CascadeRect(c.w, c.h, c.index, 24), c.rect) << c.w << " " << c.index;

  EXPECT_EQ(ClampFontHeight(2), kMinFontHeight);
  EXPECT_EQ(ClampFontHeight(60), kMaxFontHeight);

  std::vector<std::string> recent;
  for (int i = 0; i < 10; ++i) RememberRecentFile(recent, "/lots/" + std::to_string(i) + ".tsd");
  RememberRecentFile(recent, "/lots/5.tsd");
  EXPECT_EQ(recent, (std::vector<std::string>{"/lots/5.tsd", "/lots/9.tsd", "/lots/8.tsd", "/lots/7.tsd",
                                              "/lots/6.tsd", "/lots/4.tsd", "/lots/3.tsd", "/lots/2.tsd"}));
}

}  // namespace
}  // namespace lotvue
