#include "core/folder_list.h"

#include <gtest/gtest.h>

namespace lotvue {
namespace {

TEST(FolderList, NameRules) {
  // Opened: any way of opening takes the file; taken: a folder conversion does.
  struct Case {
    const char* name;
    bool opened, taken;
  };
  for (const Case& c : std::vector<Case>{{"A.tsd", true, true},      {"B.TSD", true, true},      {"c.Tsd", true, true},
                                         {"~C.tsd", true, false},    {".hidden.tsd", true, false}, {"x~.tsd", true, true},
                                         {"A.tsd.bak", false, false}, {"A.tsdx", false, false},   {"A.CSV", false, false},
                                         {"tsd", true, false},       {".tsd", true, false},      {"Atsd", true, false},
                                         {"ts", false, false}}) {
    EXPECT_EQ(IsResultFileName(c.name), c.opened) << c.name;
    EXPECT_EQ(IsBatchResultName(c.name), c.taken) << c.name;
  }
}

TEST(FolderList, FolderOfThePickedFile) {
  EXPECT_EQ(BatchFolderOf("/lots/A.tsd"), "/lots");
  EXPECT_EQ(BatchFolderOf("A.tsd"), ".");
  EXPECT_EQ(BatchFolderOf("/A.tsd"), "/");
  EXPECT_EQ(BatchFolderOf("/lots/"), std::nullopt);
  EXPECT_EQ(JoinPath("/lots", "A.tsd"), "/lots/A.tsd");
  EXPECT_EQ(JoinPath("/", "A.tsd"), "/A.tsd");
}

}  // namespace
}  // namespace lotvue
