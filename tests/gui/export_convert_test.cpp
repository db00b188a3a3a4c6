// The convert commands of a report window: Convert, Convert Setup and the
// one-kind books, the files they write, the offers to open them, the
// progress screen and the commands' availability while a book is written.
#include <filesystem>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/child_frame.h"
#include "core/csv_export.h"
#include "core/language.h"
#include "core/loader.h"
#include "core/xls_export.h"
#include "export/convert_setup_dlg.h"
#include "tests/gui/export_fixture.h"
#include "tests/gui/test_lots.h"

namespace lotvue::testing {
namespace {

using ConvertCommands = ExportTest;

TEST_F(ConvertCommands, ConvertWritesTheSwitchedOnTypesAndOffersEach) {
  const std::string lot = WriteTsd(dir, "LOT1.tsd", SmallLot(2, 7).Bytes());
  const std::string xls = dir + "/LOT1.XLS";
  const std::string csv = dir + "/LOT1.CSV";
  ASSERT_NE(OpenLoaded(lot), nullptr);
  const QString saved = QString::fromUtf8(Lang(kSlotSaveSuccessOpen));

  struct Case {
    const char* name;
    int xlsOn, csvOn;
    bool csvBlocked;  // a folder stands where the CSV file goes
    bool answer, openWorks;
    std::vector<std::string> asked;  // in order
    std::vector<Opened> opened;
    std::vector<QString> messages;
  };
  const Case cases[] = {
      {"both, Yes", 1, 1, false, true, true, {xls, csv}, {{xls, false}, {csv, true}}, {}},
      {"both, No", 1, 1, false, false, true, {xls, csv}, {}, {}},
      {"XLS only, nothing can open it", 1, 0, false, true, false, {xls}, {{xls, false}}, {"Call Excel and NOTEPAD Error"}},
      {"CSV only", 0, 1, false, true, true, {csv}, {{csv, true}}, {}},
      {"none", 0, 0, false, true, true, {}, {}, {}},
      {"CSV cannot be written", 1, 1, true, true, true, {xls}, {{xls, false}}, {"Creat CSV File Error"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(xls);
    std::filesystem::remove_all(csv);
    if (c.csvBlocked) std::filesystem::create_directories(csv + "/x");
    ClearRecords();
    AppSettings.ConvertFileTypeXLS = c.xlsOn;
    AppSettings.ConvertFileTypeCSV = c.csvOn;
    answer = c.answer;
    openWorks = c.openWorks;
    frame->RunCommand(kCmdConvert);
    EXPECT_EQ(IsXlsBook(xls), c.xlsOn == 1);
    if (!c.csvBlocked) {
      EXPECT_EQ(Exists(csv), c.csvOn == 1);
    }
    ASSERT_EQ(questions.size(), c.asked.size());
    for (std::size_t i = 0; i < questions.size(); ++i) {
      EXPECT_EQ(questions[i].caption.toStdString(), c.asked[i]);
      EXPECT_EQ(questions[i].text, saved + QString::fromStdString(c.asked[i]));
    }
    EXPECT_EQ(opened, c.opened);
    EXPECT_EQ(messages, c.messages);
  }
}

TEST_F(ConvertCommands, ConvertSetupWritesTheChosenDevices) {
  const std::string lot = WriteTsd(dir, "RANGE.tsd", SmallLot(2, 7).Bytes());
  const std::string csv = dir + "/RANGE.CSV";
  CLotvueView* view = OpenLoaded(lot);
  ASSERT_NE(view, nullptr);
  AppSettings.ConvertFileTypeXLS = 1;
  AppSettings.ConvertFileTypeCSV = 1;
  answer = false;

  // Cancel: nothing is written, nothing asked.
  WhenModal([](QWidget* w) {
    auto* d = qobject_cast<CConvertSetupDlg*>(w);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->endEdit()->text(), "7");
    d->cancelButton()->click();
  });
  frame->RunCommand(kCmdConvertSetup);
  EXPECT_FALSE(Exists(csv));
  EXPECT_FALSE(Exists(dir + "/RANGE.XLS"));
  EXPECT_TRUE(questions.empty());

  // Devices 3 to 4: the summary, the item table, the title row, two devices.
  QString shownName;
  WhenModal([&shownName](QWidget* w) {
    auto* d = qobject_cast<CConvertSetupDlg*>(w);
    ASSERT_NE(d, nullptr);
    shownName = d->fileNameLabel()->text();
    d->beginEdit()->setText(QStringLiteral("3"));
    d->endEdit()->setText(QStringLiteral("4"));
    d->okButton()->click();
  });
  frame->RunCommand(kCmdConvertSetup);
  EXPECT_EQ(shownName.toStdString(), dir + "/RANGE.XLS");
  EXPECT_TRUE(IsXlsBook(dir + "/RANGE.XLS"));
  const std::vector<std::string> lines = CsvLines(csv);
  ASSERT_EQ(lines.size(), 26u);
  EXPECT_EQ(lines[0], "TAVO Test System VXT-5000");
  EXPECT_EQ(lines[23].substr(0, 11), "Serial,Bin,");
  EXPECT_EQ(lines[24].substr(0, 3), "F3,");
  EXPECT_EQ(lines[25].substr(0, 3), "P4,");
  EXPECT_EQ(questions.size(), 2u);
}

TEST_F(ConvertCommands, OneKindBookShowsProgressAndHoldsTheOtherCommands) {
  // Large enough for the progress screen to be seen more than once.
  const int devices = 30000;
  tsd::GenerateOptions options;
  options.devices = devices;
  options.items = 8;
  const std::string lot = WriteTsd(dir, "BIG.tsd", tsd::GenerateLot(options));
  CLotvueView* view = OpenLoaded(lot);
  ASSERT_NE(view, nullptr);
  const std::string other = WriteTsd(dir, "OTHER.tsd", SmallLot(1, 2).Bytes());

  struct Sample {
    int progress;
    std::vector<bool> enabling;
    bool barFrame, barFilledToProgress;
  };
  std::vector<Sample> samples;
  auto* sampler = new QTimer(frame);
  QObject::connect(sampler, &QTimer::timeout, frame, [&] {
    if (LoadingLot.loadState.load() != kConverting) return;
    Sample s;
    s.progress = view->ConvertProgress;
    s.enabling = ConvertEnabling();
    QImage image;
    view->PaintFrame(image);
    s.barFrame = PixelAt(image, 10, 50) == Rgb3{0, 0, 200} && PixelAt(image, 409, 69) == Rgb3{0, 0, 200};
    const int q = static_cast<int>(400.0f * static_cast<float>(s.progress) / static_cast<float>(devices));
    s.barFilledToProgress = q < 3 || (PixelAt(image, 10 + q - 1, 52) == Rgb3{0, 255, 255} &&
                                      !(PixelAt(image, 10 + q + 1, 52) == Rgb3{0, 255, 255}));
    samples.push_back(s);
    // Nothing that reads or changes the lot gets through meanwhile.
    frame->RunCommand(kCmdConvertScientific);
    frame->RunCommand(kCmdConvert);
    frame->OpenResultFile(QString::fromStdString(other));
    frame->FrameOf(view)->close();
  });
  sampler->start(0);
  AppSettings.ConvertFileTypeCSV = 1;
  frame->RunCommand(kCmdConvertData);
  sampler->stop();

  ASSERT_GE(samples.size(), 2u);
  for (const Sample& s : samples) {
    EXPECT_EQ(s.enabling, kBusyEnabling);
    EXPECT_TRUE(s.barFrame);
    EXPECT_TRUE(s.barFilledToProgress) << s.progress;
  }
  EXPECT_EQ(samples.front().progress, 1);
  EXPECT_GT(samples.back().progress, samples.front().progress);
  EXPECT_EQ(view->ConvertProgress, devices);

  const std::string book = dir + "/BIG_Data.XLS";
  EXPECT_TRUE(IsXlsBook(book));
  EXPECT_FALSE(Exists(dir + "/BIG_Scientific.XLS"));
  EXPECT_FALSE(Exists(dir + "/BIG.CSV"));
  EXPECT_EQ(OpenViewList.size(), 1u);  // neither opened nor closed
  EXPECT_NE(frame->FrameOf(view), nullptr);
  // The "wait please" of the refused open, and the offer to open the book.
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages[0], QString::fromUtf8(Lang(kSlotLoadingWait)));
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].caption.toStdString(), book);
  EXPECT_EQ(opened, (std::vector<Opened>{{book, false}}));
  EXPECT_EQ(LoadingLot.loadState.load(), kIdle);
  EXPECT_EQ(ConvertEnabling(), (std::vector<bool>{true, true, true, true, true, true}));
}

TEST_F(ConvertCommands, OneKindBookThatCannotBeReplacedLeavesTheProgramIdle) {
  const std::string lot = WriteTsd(dir, "KEEP.tsd", SmallLot(2, 5).Bytes());
  ASSERT_NE(OpenLoaded(lot), nullptr);
  frame->RunCommand(kCmdConvertScientific);
  const std::string book = dir + "/KEEP_Scientific.XLS";
  EXPECT_TRUE(IsXlsBook(book));
  ASSERT_EQ(questions.size(), 1u);

  // A book that cannot be deleted (here a folder of that name).
  ClearRecords();
  std::filesystem::create_directories(dir + "/KEEP_Data.XLS/inside");
  frame->RunCommand(kCmdConvertData);
  EXPECT_EQ(messages, std::vector<QString>{QString::fromUtf8(Lang(kSlotCreatXlsError)) + "(My_Convert)(0)"});
  EXPECT_TRUE(questions.empty());
  EXPECT_EQ(LoadingLot.loadState.load(), kIdle);
  EXPECT_EQ(ConvertEnabling(), (std::vector<bool>{true, true, true, true, true, true}));
}

TEST_F(ConvertCommands, MenuTextsAndEnablingFollowTheLanguageAndTheWindows) {
  const int slots[] = {kSlotConvert,     kSlotConvertSetup,  kSlotConvertScientific,
                       kSlotConvertData, kSlotConvertDetail, kSlotConvertAllFiles};
  // Without a report window only Convert Detail and Convert All Files.
  EXPECT_EQ(ConvertEnabling(), (std::vector<bool>{false, false, false, false, true, true}));
  for (int language : {1, 2, 0}) {
    SelectLanguageTable(language);
    frame->UpdateCommands();
    for (std::size_t i = 0; i < std::size(kConvertCommands); ++i) {
      EXPECT_EQ(frame->action(kConvertCommands[i])->text(), QString::fromUtf8(LanguageText(language, slots[i])));
    }
  }
  EXPECT_EQ(frame->action(kCmdConvert)->shortcut(), QKeySequence(Qt::Key_F2));
  EXPECT_EQ(frame->action(kCmdConvertSetup)->shortcut(), QKeySequence(Qt::Key_F3));

  // Convert Detail works without a window; its OK changes the settings.
  AppSettings.ConvertFileTypeCSV = 0;
  WhenModal([](QWidget* w) {
    auto* csv = w->findChild<QWidget*>(QStringLiteral("1001"));
    ASSERT_NE(csv, nullptr);
    static_cast<QAbstractButton*>(csv)->click();
    static_cast<QDialog*>(w)->accept();
  });
  frame->RunCommand(kCmdConvertDetail);
  EXPECT_EQ(AppSettings.ConvertFileTypeCSV, 1);

  // A window whose file never arrived converts nothing.
  CLotvueView* missing = Open(dir + "/missing.tsd");
  ASSERT_TRUE(WaitLoaded(missing));
  ClearRecords();
  frame->RunCommand(kCmdConvert);
  frame->RunCommand(kCmdConvertData);
  EXPECT_TRUE(questions.empty());
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
}

}  // namespace
}  // namespace lotvue::testing
