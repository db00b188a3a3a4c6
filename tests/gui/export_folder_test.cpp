// Convert All Files: a folder of result files, some of which cannot be
// converted, is opened file by file and converted at each hand-over; the
// windows stay open.
#include <filesystem>

#include <QApplication>

#include "core/language.h"
#include "core/loader.h"
#include "export/batch_convert.h"
#include "tests/gui/export_fixture.h"
#include "tests/gui/test_lots.h"

namespace lotvue::testing {
namespace {

using FolderConversion = ExportTest;

QStringList WindowTitles() {
  QStringList titles;
  for (const std::string& path : OpenPathList) titles << QString::fromStdString(std::filesystem::path(path).filename().string());
  return titles;
}

TEST_F(FolderConversion, ConvertsEveryResultFileAndSurvivesTheBadOnes) {
  const std::string folder = dir + "/lots";
  std::filesystem::create_directories(folder);
  tsd::GenerateOptions big;
  big.devices = 20000;
  big.items = 6;
  WriteTsd(folder, "U.TSD", SmallLot(2, 4).Bytes());
  WriteTsd(folder, "a.tsd", tsd::GenerateLot(big));
  std::filesystem::create_symlink(folder + "/nowhere.bin", folder + "/b_broken.tsd");  // cannot be opened
  WriteTsd(folder, "c_corrupt.tsd", SmallLot(2, 3).ItemCountField(300).Bytes());       // more than 256 items
  WriteTsd(folder, "d.tsd", SmallLot(3, 6).Bytes());
  WriteTsd(folder, "e.tsd", SmallLot(2, 5).Bytes());
  std::filesystem::create_directories(folder + "/e.CSV/x");  // its CSV file cannot be written
  WriteTsd(folder, "z.tsd", SmallLot(2, 2).Bytes());           // already open: only activated
  WriteTsd(folder, "~d.tsd", SmallLot(2, 2).Bytes());          // temporary copy
  WriteTsd(folder, ".hidden.tsd", SmallLot(2, 2).Bytes());
  WriteTsd(folder, "notes.txt", {'x'});
  std::filesystem::create_directories(folder + "/sub.tsd");

  CLotvueView* z = OpenLoaded(folder + "/z.tsd");
  ASSERT_NE(z, nullptr);
  AppSettings.ConvertFileTypeXLS = 1;
  AppSettings.ConvertFileTypeCSV = 1;

  // Availability at every hand-over conversion and whenever a file is read.
  std::vector<std::vector<bool>> atHandOver, whileReading;
  const auto convert = CLotvueView::WholeFileConverter;
  CLotvueView::WholeFileConverter = [&](CLotvueView& view) {
    atHandOver.push_back(ConvertEnabling());
    convert(view);
  };
  CBatchConverter* batch = CBatchConverter::Of(*frame);
  batch->chooseFile = [&](QWidget*) { return QString::fromStdString(folder + "/d.tsd"); };
  frame->RunCommand(kCmdConvertAllFiles);
  EXPECT_TRUE(batch->Running());
  EXPECT_EQ(BatchConverting, 1);
  EXPECT_TRUE(WaitFor(
      [&] {
        if (LoadingLot.loadState.load() == kReading) whileReading.push_back(ConvertEnabling());
        return !batch->Running();
      },
      60000));
  ASSERT_TRUE(WaitFor([] { return LoaderIdle(); }));
  CLotvueView::WholeFileConverter = convert;

  EXPECT_EQ(WindowTitles(), (QStringList{"z.tsd", "U.TSD", "a.tsd", "b_broken.tsd", "c_corrupt.tsd", "d.tsd", "e.tsd"}));
  for (const char* name : {"U", "a", "d", "e"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(IsXlsBook(folder + "/" + name + ".XLS"));
  }
  for (const char* name : {"U", "a", "d"}) EXPECT_EQ(CsvLines(folder + "/" + name + ".CSV").at(0), "TAVO Test System VXT-5000");
  EXPECT_EQ(CsvLines(folder + "/a.CSV").size(), 23u + 1u + 20000u);
  for (const char* name : {"z", "c_corrupt", "b_broken", "~d", ".hidden"}) {
    EXPECT_FALSE(Exists(folder + "/" + name + ".XLS")) << name;
  }
  // The corrupt file's message and the CSV error, nothing asked.
  EXPECT_EQ(messages, (std::vector<QString>{QString::fromUtf8(Lang(kSlotIsNotTsdFile)),
                                            QString::fromUtf8(Lang(kSlotCreatCsvError))}));
  EXPECT_TRUE(questions.empty());
  EXPECT_EQ(atHandOver.size(), 4u);
  for (const auto& e : atHandOver) EXPECT_EQ(e, kBusyEnabling);
  for (const auto& e : whileReading) EXPECT_EQ(e, kBusyEnabling);
  EXPECT_EQ(BatchConverting, 0);
  EXPECT_TRUE(batch->BatchFileList().empty());
  EXPECT_EQ(ConvertEnabling(), (std::vector<bool>{true, true, true, true, true, true}));

  // The windows hold their lots; the failed ones say why.
  EXPECT_EQ(OpenViewList[2]->Lot.devices(), 20000);
  EXPECT_EQ(OpenViewList[3]->failure(), LoadOutcome::kCannotOpen);
  EXPECT_EQ(OpenViewList[4]->failure(), LoadOutcome::kRejected);

  // A file the user opens afterwards is not converted unasked.
  const std::string later = WriteTsd(dir, "later.tsd", SmallLot(2, 2).Bytes());
  ASSERT_NE(OpenLoaded(later), nullptr);
  EXPECT_FALSE(Exists(dir + "/later.XLS"));
}

TEST_F(FolderConversion, EndsSilentlyWithoutAResultFileToStartFrom) {
  CBatchConverter* batch = CBatchConverter::Of(*frame);
  EXPECT_EQ(batch, CBatchConverter::Of(*frame));
  const std::string emptyFolder = dir + "/empty";
  std::filesystem::create_directories(emptyFolder);
  struct Case {
    QString chosen;
    bool starts;
  } cases[] = {
      {QString(), false},                                          // Cancel
      {QString::fromStdString(dir + "/notes.txt"), false},         // not a result file
      {QString::fromStdString(emptyFolder + "/gone.TsD"), true},   // a folder without result files
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen.toStdString());
    batch->chooseFile = [&](QWidget*) { return c.chosen; };
    frame->RunCommand(kCmdConvertAllFiles);
    EXPECT_EQ(batch->Running(), c.starts);
    EXPECT_TRUE(WaitFor([&] { return !batch->Running(); }, 2000));
    EXPECT_EQ(BatchConverting, 0);
  }
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(OpenViewList.empty());
  EXPECT_EQ(frame->CurrentMenu(), kMainMenu);
}

}  // namespace
}  // namespace lotvue::testing
