#include "core/folder_list.h"

#include <gtest/gtest.h>

namespace lotvue {
namespace {

TEST(FolderList, NameRules) {
  struct Case {
    const char* name;
    bool taken;
  };
  for (const Case& c : std::vector<Case>{{"A.tsd", true}, {"B.TSD", true}, {"c.Tsd", true}, {"~C.tsd", false},
                                         {".hidden.tsd", false}, {"A.tsd.bak", false}, {"A.tsdx", false},
                                         {"A.CSV", false}, {"tsd", false}, {".tsd", false}, {"x~.tsd", true}}) {
    EXPECT_EQ(IsBatchResultName(c.name), c.taken) << c.name;
  }
}

TEST(FolderList, FolderOfThePickedFile) {
  EXPECT_EQ(BatchFolderOf("/lots/A.tsd"), "/lots");
  EXPECT_EQ(BatchFolderOf("/lots/A.TSD"), "/lots");
  EXPECT_EQ(BatchFolderOf("A.tsd"), ".");
  EXPECT_EQ(BatchFolderOf("/A.tsd"), "/");
  EXPECT_EQ(BatchFolderOf("/lots/A.csv"), std::nullopt);
  EXPECT_EQ(BatchFolderOf("/lots/"), std::nullopt);
  EXPECT_EQ(JoinPath("/lots", "A.tsd"), "/lots/A.tsd");
  EXPECT_EQ(JoinPath("/", "A.tsd"), "/A.tsd");
}

}  // namespace
}  // namespace lotvue
