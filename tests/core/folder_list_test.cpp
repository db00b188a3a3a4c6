#include "core/folder_list.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace lotvue {
namespace {

TEST(FolderList, NameRules) {
  struct Case {
    const char* name;
    bool taken;
  };
  for (const Case& c : std::vector<Case>{{"A.tsd", true},
                                         {"B.TSD", true},
                                         {"c.Tsd", true},
                                         {"~C.tsd", false},
                                         {".hidden.tsd", false},
                                         {"A.tsd.bak", false},
                                         {"A.tsdx", false},
                                         {"A.CSV", false},
                                         {"tsd", false},
                                         {".tsd", false},
                                         {"x~.tsd", true}}) {
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

TEST(FolderList, ListsResultFilesInNameOrder) {
  const auto dir = std::filesystem::temp_directory_path() / ("lotvue-folder-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "sub.tsd");
  for (const char* name : {"B.tsd", "a.tsd", "A.TSD", "~C.tsd", ".D.tsd", "E.CSV", "F.tsd.bak"}) {
    std::ofstream(dir / name) << "x";
  }
  std::filesystem::create_symlink(dir / "gone.tsd", dir / "broken.tsd");
  EXPECT_EQ(BatchFileNames(dir.string()), (std::vector<std::string>{"A.TSD", "B.tsd", "a.tsd", "broken.tsd"}));
  EXPECT_EQ(BatchFileNames((dir / "missing").string()), std::nullopt);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lotvue
