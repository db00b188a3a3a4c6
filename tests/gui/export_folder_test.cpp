// Convert All Files: a folder of result files, some of which cannot be
// converted, is opened file by file and converted at each hand-over; the
// windows stay open.
#include <filesystem>

#include "core/language.h"
#include "core/loader.h"
#include "export/batch_convert.h"
#include "tests/core/lot_files.h"
#include "tests/gui/export_fixture.h"

namespace lotvue::testing {
namespace {

using FolderConversion = ExportTest;
namespace fs = std::filesystem;

TEST_F(FolderConversion, ConvertsEveryResultFileAndSurvivesTheBadOnes) {
  const std::string folder = dir + "/lots";
  fs::create_directories(folder + "/sub.tsd");                  // a folder: not a file
  WriteTsd(folder, "U.TSD", SmallLot(2, 4).Bytes());
  WriteTsd(folder, "a.tsd", tsd::GenerateLot({.devices = 20000}));
  fs::create_symlink(folder + "/nowhere", folder + "/b_broken.tsd");                 // cannot be opened
  WriteTsd(folder, "c_corrupt.tsd", SmallLot(2, 3).ItemCountField(300).Bytes());     // more than 256 items
  WriteTsd(folder, "d.tsd", SmallLot(3, 6).Bytes());
  WriteTsd(folder, "e.tsd", SmallLot(2, 5).Bytes());
  fs::create_directories(folder + "/e.CSV/x");                  // its CSV file cannot be written
  for (const char* skipped : {"~d.tsd", ".hidden.tsd", "notes.txt", "z.tsd"}) WriteTsd(folder, skipped, SmallLot(1, 2).Bytes());
  ASSERT_NE(OpenLoaded(folder + "/z.tsd"), nullptr);            // already open: only activated
  AppSettings.ConvertFileTypeXLS = AppSettings.ConvertFileTypeCSV = 1;

  // Availability at every hand-over conversion and whenever a file is read.
  std::vector<std::vector<bool>> busy;
  const auto convert = frame->convertAtHandOver;
  int handOvers = 0;
  frame->convertAtHandOver = [&](CLotvueView& view) {
    ++handOvers;
    busy.push_back(ConvertEnabling());
    convert(view);
  };
  CBatchConverter* batch = CBatchConverter::Of(*frame);
  batch->chooseFile = [&](QWidget*) { return QString::fromStdString(folder + "/d.tsd"); };
  frame->RunCommand(kCmdConvertAllFiles);
  EXPECT_TRUE(batch->Running() && BatchConverting == 1);
  EXPECT_TRUE(WaitFor([&] {
    if (LoadingLot.loadState.load() == kReading) busy.push_back(ConvertEnabling());
    return !batch->Running() && LoaderIdle();
  }));
  frame->convertAtHandOver = convert;

  std::vector<std::string> windows;
  for (const std::string& path : OpenPathList) windows.push_back(fs::path(path).filename().string());
  EXPECT_EQ(windows, (std::vector<std::string>{"z.tsd", "U.TSD", "a.tsd", "b_broken.tsd", "c_corrupt.tsd", "d.tsd", "e.tsd"}));
  EXPECT_EQ(handOvers, 4);
  for (const char* name : {"U", "a", "d", "e"}) EXPECT_TRUE(IsXlsBook(folder + "/" + name + ".XLS")) << name;
  for (const char* name : {"z", "b_broken", "c_corrupt", "~d", ".hidden"}) EXPECT_FALSE(Exists(folder + "/" + name + ".XLS")) << name;
  EXPECT_EQ(CsvLines(folder + "/a.CSV").size(), 24u + 20000u);
  EXPECT_EQ(CsvLines(folder + "/d.CSV").size(), 24u + 6u);
  EXPECT_EQ(messages, (std::vector<QString>{QString::fromUtf8(Lang(kSlotIsNotTsdFile)), QString::fromUtf8(Lang(kSlotCreatCsvError))}));
  EXPECT_TRUE(questions.empty());
  for (const auto& e : busy) EXPECT_EQ(e, kBusyEnabling);
  EXPECT_EQ(ConvertEnabling(), kIdleEnabling);
  EXPECT_EQ(OpenViewList[2]->Lot.devices(), 20000);
  EXPECT_EQ(OpenViewList[3]->failure(), LoadOutcome::kCannotOpen);
  EXPECT_EQ(OpenViewList[4]->failure(), LoadOutcome::kRejected);

  // The batch is over: a file the user opens now is not converted unasked.
  EXPECT_EQ(BatchConverting, 0);
  ASSERT_NE(OpenLoaded(WriteTsd(dir, "later.tsd", SmallLot(2, 2).Bytes())), nullptr);
  EXPECT_FALSE(Exists(dir + "/later.XLS"));
}

TEST_F(FolderConversion, EndsSilentlyWithoutAResultFileToStartFrom) {
  CBatchConverter* batch = CBatchConverter::Of(*frame);
  fs::create_directories(dir + "/empty");
  const std::pair<std::string, bool> cases[] = {{"", false},  // Cancel
                                                {dir + "/notes.txt", false},
                                                {dir + "/empty/gone.TsD", true}};  // no result files: one tick
  for (const auto& [chosen, starts] : cases) {
    batch->chooseFile = [&](QWidget*) { return QString::fromStdString(chosen); };
    frame->RunCommand(kCmdConvertAllFiles);
    EXPECT_EQ(batch->Running(), starts) << chosen;
    EXPECT_TRUE(WaitFor([&] { return !batch->Running(); }, 2000));
  }
  EXPECT_EQ(BatchConverting, 0);
  EXPECT_TRUE(messages.empty() && OpenViewList.empty());
}

}  // namespace
}  // namespace lotvue::testing
