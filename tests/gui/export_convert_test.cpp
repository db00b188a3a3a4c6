// The convert commands of a report window: the files written, the offers to
// open them, the progress screen of a one-kind book and the availability of
// the commands while it is written.
#include <filesystem>

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "app/child_frame.h"
#include "core/language.h"
#include "core/loader.h"
#include "export/convert_details_dlg.h"
#include "export/convert_setup_dlg.h"
#include "tests/core/lot_files.h"
#include "tests/gui/export_fixture.h"

namespace lotvue::testing {
namespace {

using ConvertCommands = ExportTest;
namespace fs = std::filesystem;

TEST_F(ConvertCommands, ConvertAndSetupWriteTheSwitchedOnTypesAndOfferEach) {
  ASSERT_NE(OpenLoaded(WriteTsd(dir, "LOT1.tsd", SmallLot(2, 7).Bytes())), nullptr);
  const std::string xls = dir + "/LOT1.XLS", csv = dir + "/LOT1.CSV";
  struct Case {
    int command, xlsOn, csvOn;
    const char* begin;  // Convert Setup: Begin and End typed, or Cancel (null)
    bool csvBlocked, answer, openWorks;
    std::vector<Opened> asked, opened;
    std::vector<QString> messages;
    std::size_t csvLines;
  } cases[] = {
      {kCmdConvert, 1, 1, nullptr, false, true, true, {{xls, 0}, {csv, 1}}, {{xls, 0}, {csv, 1}}, {}, 31},
      {kCmdConvert, 1, 1, nullptr, false, false, true, {{xls, 0}, {csv, 1}}, {}, {}, 31},
      {kCmdConvert, 1, 0, nullptr, false, true, false, {{xls, 0}}, {{xls, 0}}, {"Call Excel and NOTEPAD Error"}, 0},
      {kCmdConvert, 0, 0, nullptr, false, true, true, {}, {}, {}, 0},
      {kCmdConvert, 1, 1, nullptr, true, true, true, {{xls, 0}}, {{xls, 0}}, {"Creat CSV File Error"}, 0},
      {kCmdConvertSetup, 1, 1, "3", false, false, true, {{xls, 0}, {csv, 1}}, {}, {}, 26},  // devices 3 and 4
      {kCmdConvertSetup, 1, 1, nullptr, false, true, true, {}, {}, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    fs::remove_all(xls);
    fs::remove_all(csv);
    if (c.csvBlocked) fs::create_directories(csv + "/x");  // a folder where the file goes
    ClearRecords();
    AppSettings.ConvertFileTypeXLS = c.xlsOn;
    AppSettings.ConvertFileTypeCSV = c.csvOn;
    answer = c.answer;
    openWorks = c.openWorks;
    if (c.command == kCmdConvertSetup) {
      WhenModal([&c, this](QWidget* w) {
        auto* d = qobject_cast<CConvertSetupDlg*>(w);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->fileNameLabel()->text().toStdString() + d->endEdit()->text().toStdString(), dir + "/LOT1.XLS7");
        if (!c.begin) return d->cancelButton()->click();
        d->beginEdit()->setText(QString::fromLatin1(c.begin));
        d->endEdit()->setText(QStringLiteral("4"));
        d->okButton()->click();
      });
    }
    frame->RunCommand(c.command);
    EXPECT_EQ(IsXlsBook(xls), !c.asked.empty());
    const std::vector<std::string> lines = CsvLines(csv);
    EXPECT_EQ(c.csvBlocked ? 0 : lines.size(), c.csvLines);
    if (c.csvLines == 26) {
      EXPECT_EQ(lines[23].substr(0, 7) + lines[24].substr(0, 3) + lines[25].substr(0, 3), "Serial,F3,P4,");
    }
    ASSERT_EQ(questions.size(), c.asked.size());
    for (std::size_t i = 0; i < questions.size(); ++i) {
      const QString path = QString::fromStdString(c.asked[i].path);
      EXPECT_EQ(questions[i], std::make_pair(path, QString::fromUtf8(Lang(kSlotSaveSuccessOpen)) + path));
    }
    EXPECT_EQ(opened, c.opened);
    EXPECT_EQ(messages, c.messages);
  }
}

TEST_F(ConvertCommands, OneKindBookShowsProgressAndHoldsTheOtherCommands) {
  const int devices = 30000;  // enough for the progress screen to be seen more than once
  CLotvueView* view = OpenLoaded(WriteTsd(dir, "BIG.tsd", tsd::GenerateLot({.devices = devices, .items = 8})));
  ASSERT_NE(view, nullptr);
  const QString other = QString::fromStdString(WriteTsd(dir, "OTHER.tsd", SmallLot(1, 2).Bytes()));
  std::vector<int> progress;
  QTimer sampler;
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    if (LoadingLot.loadState.load() != kConverting) return;
    progress.push_back(view->ConvertProgress);
    EXPECT_EQ(ConvertEnabling(), kBusyEnabling);
    // The bar: cyan up to the device being written (its frame and the rest: StatusScreens.TextsAndProgressBar).
    QImage image;
    view->PaintFrame(image);
    const int q = static_cast<int>(400.0f * static_cast<float>(progress.back()) / static_cast<float>(devices));
    if (q > 2) {
      EXPECT_EQ(PixelAt(image, 10 + q - 1, 52), (Rgb3{0, 255, 255}));
    }
    EXPECT_NE(PixelAt(image, 10 + q + 1, 52), (Rgb3{0, 255, 255}));
    // Nothing that reads or changes lots gets through meanwhile.
    frame->RunCommand(kCmdConvertScientific);
    frame->RunCommand(kCmdConvert);
    frame->OpenResultFile(other);
    frame->FrameOf(view)->close();
  });
  sampler.start(0);
  AppSettings.ConvertFileTypeCSV = 1;
  frame->RunCommand(kCmdConvertData);
  sampler.stop();

  ASSERT_GE(progress.size(), 2u);
  EXPECT_EQ(progress.front(), 1);
  EXPECT_GT(progress.back(), 1);
  EXPECT_EQ(view->ConvertProgress, devices);
  const std::string book = dir + "/BIG_Data.XLS";
  EXPECT_TRUE(IsXlsBook(book));
  EXPECT_FALSE(Exists(dir + "/BIG_Scientific.XLS") || Exists(dir + "/BIG.CSV"));
  EXPECT_EQ(OpenViewList, std::vector<CLotvueView*>{view});
  EXPECT_EQ(messages.at(0).toStdString(), Lang(kSlotLoadingWait));  // the refused open
  EXPECT_EQ(questions.size(), 1u);
  EXPECT_EQ(opened, (std::vector<Opened>{{book, false}}));  // no text editor for a book
  EXPECT_EQ(ConvertEnabling(), kIdleEnabling);

  // A book that cannot be replaced: the message, no offer, the program idle again.
  ClearRecords();
  fs::create_directories(dir + "/BIG_Scientific.XLS/inside");
  frame->RunCommand(kCmdConvertScientific);
  EXPECT_EQ(messages, std::vector<QString>{QString::fromUtf8(Lang(kSlotCreatXlsError)) + "(My_Convert)(0)"});
  EXPECT_TRUE(questions.empty());
  EXPECT_EQ(ConvertEnabling(), kIdleEnabling);
}

TEST_F(ConvertCommands, ConvertToStdfAndXlsxFromTheFileMenu) {
  ASSERT_NE(OpenLoaded(WriteTsd(dir, "LOT1.tsd", SmallLot(2, 7).Bytes())), nullptr);
  QStringList items;
  for (QAction* a : frame->TopMenu(kReportMenu, 0)->actions()) items << a->text();
  EXPECT_GT(items.indexOf("Convert to XLSX"), 0) << items.join('|').toStdString();
  EXPECT_EQ(items.indexOf("Convert to XLSX") + 1, items.indexOf("Convert to STDF"));

  // Convert to XLSX, and Convert with Convert Detail's XLSX box (XLS and CSV
  // off): A.xlsx and its offer; a folder in the way: the message, no offer.
  const std::string xlsx = dir + "/LOT1.xlsx";
  AppSettings.ConvertFileTypeXLS = AppSettings.ConvertFileTypeCSV = 0;
  struct Case {
    int command;
    bool box, blocked, written;
  } cases[] = {{kCmdConvertXlsx, false, false, true}, {kCmdConvertXlsx, false, true, false},
               {kCmdConvert, true, false, true},      {kCmdConvert, true, true, false},
               {kCmdConvert, false, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    ClearRecords();
    fs::remove_all(xlsx);
    if (c.blocked) fs::create_directories(xlsx + "/x");
    ASSERT_TRUE(SaveConvertXlsxChecked(c.box));
    frame->RunCommand(c.command);
    EXPECT_EQ(IsZip(xlsx), c.written);
    // Offered (the question's text: the case above) and opened, the answer being Yes.
    EXPECT_EQ(opened, std::vector<Opened>(c.written, {xlsx, false}));
    EXPECT_EQ(messages, std::vector<QString>(c.blocked, QString::fromUtf8(Lang(kSlotCreatXlsError)) + "(My_Convert)(0)"));
  }
  ClearRecords();
  frame->RunCommand(kCmdConvertStdf);
  EXPECT_EQ(ReadFileBytes(dir + "/LOT1.stdf").substr(0, 6), std::string("\x02\0\0\x0A\x02\x04", 6));  // the FAR
  EXPECT_TRUE(messages.empty() && questions.empty());
  fs::remove(dir + "/LOT1.stdf");
  fs::create_directories(dir + "/LOT1.stdf/x");  // a folder where the file goes
  frame->RunCommand(kCmdConvertStdf);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].contains(QString::fromStdString(dir + "/LOT1.stdf")));
}

TEST_F(ConvertCommands, NothingToConvertWithoutALot) {
  EXPECT_EQ(ConvertEnabling(), (std::vector<bool>{false, false, false, false, false, false, true, true}));
  // A window whose file never arrived converts nothing.
  CLotvueView* missing = Open(dir + "/missing.tsd");
  ASSERT_TRUE(WaitLoaded(missing));
  for (int command : {kCmdConvert, kCmdConvertData, kCmdConvertScientific}) frame->RunCommand(command);
  EXPECT_TRUE(questions.empty() && messages.empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // Config alone
}

}  // namespace
}  // namespace lotvue::testing
