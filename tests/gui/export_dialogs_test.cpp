// The Convert Setup and Convert Details dialogs: values shown, typed and
// refused, OK and Cancel, the settings they change.
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "core/language.h"
#include "export/convert_details_dlg.h"
#include "export/convert_setup_dlg.h"
#include "tests/gui/export_fixture.h"

namespace lotvue::testing {
namespace {

class ConvertDialogs : public ExportTest {
 protected:
  // Runs act on the dialog once it is up, then the dialog itself.
  template <typename Dialog, typename Act>
  static int RunDialog(Dialog& dialog, Act act) {
    WhenModal([&dialog, act](QWidget*) { act(dialog); });
    return dialog.exec();
  }
};

TEST_F(ConvertDialogs, SetupAcceptsOnlyARangeWithinTheLot) {
  CConvertSetupDlg dialog;
  dialog.m_nDeviceCount = 5;
  dialog.m_strFileName = QStringLiteral("/lots/A123");

  struct Case {
    const char* begin;
    const char* end;
    const char* message;
    bool endSelected;  // else Begin
  };
  const Case refused[] = {
      {"1", "6", "Invalid", true},  // End beyond the last device
      {"0", "6", "Invalid", true},  // End is checked first
      {"0", "3", "Invalid", false},
      {"-2", "3", "Invalid", false},
      {"4", "3", "Invalid", false},  // Begin after End
      {"x", "3", "Please enter an integer.", false},
      {"2", "", "Please enter an integer.", true},
      {"2", "3.5", "Please enter an integer.", true},
  };
  const int result = RunDialog(dialog, [&](CConvertSetupDlg& d) {
    EXPECT_EQ(d.beginEdit()->text(), "1");
    EXPECT_EQ(d.endEdit()->text(), "5");
    EXPECT_EQ(d.fileNameLabel()->text(), "/lots/A123.XLS");
    EXPECT_EQ(d.windowTitle(), "File Conver Setup");
    EXPECT_EQ(d.warningLabel()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_NE(d.fileNameLabel()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    for (const Case& c : refused) {
      SCOPED_TRACE(std::string(c.begin) + ".." + c.end);
      messages.clear();
      d.beginEdit()->setText(QString::fromLatin1(c.begin));
      d.endEdit()->setText(QString::fromLatin1(c.end));
      d.okButton()->click();
      EXPECT_TRUE(d.isVisible());
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0], c.message);
      QLineEdit* selected = c.endSelected ? d.endEdit() : d.beginEdit();
      QLineEdit* other = c.endSelected ? d.beginEdit() : d.endEdit();
      EXPECT_TRUE(selected->hasFocus());
      EXPECT_EQ(selected->selectedText(), selected->text());
      EXPECT_FALSE(other->hasSelectedText());
    }
    messages.clear();
    d.beginEdit()->setText(QStringLiteral(" 2"));
    d.endEdit()->setText(QStringLiteral("5 "));
    d.okButton()->click();
  });
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(dialog.m_nBegin, 2);
  EXPECT_EQ(dialog.m_nEnd, 5);

  // Without devices nothing is accepted; Cancel closes.
  CConvertSetupDlg empty;
  empty.m_strFileName = QStringLiteral("/lots/EMPTY");
  messages.clear();
  const int emptyResult = RunDialog(empty, [&](CConvertSetupDlg& d) {
    EXPECT_EQ(d.beginEdit()->text(), "1");
    EXPECT_EQ(d.endEdit()->text(), "0");
    d.okButton()->click();
    EXPECT_TRUE(d.isVisible());
    EXPECT_TRUE(d.beginEdit()->hasFocus());
    d.cancelButton()->click();
  });
  EXPECT_EQ(emptyResult, QDialog::Rejected);
  EXPECT_EQ(messages, std::vector<QString>{"Invalid"});
}

TEST_F(ConvertDialogs, DetailsShowAndStoreTheSettings) {
  struct Case {
    const char* name;
    AppSettingsData before;
    // Shown: XLS, CSV, checked radio (-1 none), radios enabled.
    bool xls, csv;
    int radio;
    bool radiosEnabled;
    std::function<void(CConvertDetailsDlg&)> act;  // ends with OK or Cancel
    AppSettingsData after;
  };
  auto ok = [](CConvertDetailsDlg& d) { d.okButton()->click(); };
  const Case cases[] = {
      {"unchanged on OK", {1, 1, 1, 0, 1}, true, false, 1, false, ok, {1, 1, 1, 0, 1}},
      {"format out of range becomes Data", {0, 0, 0, 1, 7}, false, true, -1, true, ok, {0, 0, 0, 1, 0}},
      {"disabled radios keep their value", {0, 0, 1, 0, 2}, true, false, 2, false, ok, {0, 0, 1, 0, 2}},
      {"CSV switched on, Value chosen, XLS off",
       {0, 1, 1, 0, 0},
       true,
       false,
       0,
       false,
       [](CConvertDetailsDlg& d) {
         d.csvBox()->click();
         EXPECT_TRUE(d.formatRadio(2)->isEnabled());
         d.formatRadio(2)->click();
         d.xlsBox()->click();
         d.okButton()->click();
       },
       {0, 1, 0, 1, 2}},
      {"CSV switched off again disables the radios",
       {0, 0, 0, 1, 1},
       false,
       true,
       1,
       true,
       [](CConvertDetailsDlg& d) {
         d.csvBox()->click();
         EXPECT_FALSE(d.formatRadio(0)->isEnabled());
         d.okButton()->click();
       },
       {0, 0, 0, 0, 1}},
      {"Cancel changes nothing",
       {1, 0, 1, 1, 2},
       true,
       true,
       2,
       true,
       [](CConvertDetailsDlg& d) {
         d.csvBox()->click();
         d.xlsBox()->click();
         d.cancelButton()->click();
       },
       {1, 0, 1, 1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AppSettings = c.before;
    CConvertDetailsDlg dialog;
    RunDialog(dialog, [&](CConvertDetailsDlg& d) {
      EXPECT_EQ(d.xlsBox()->isChecked(), c.xls);
      EXPECT_EQ(d.csvBox()->isChecked(), c.csv);
      for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(d.formatRadio(i)->isChecked(), i == c.radio) << i;
        EXPECT_EQ(d.formatRadio(i)->isEnabled(), c.radiosEnabled) << i;
      }
      // The hidden boxes carry Show Line and Avg Stdev Only Pass.
      EXPECT_FALSE(d.showLineBox()->isVisible());
      EXPECT_FALSE(d.avgStdOnlyPassBox()->isVisible());
      EXPECT_EQ(d.showLineBox()->isChecked(), c.before.ShowLine == 1);
      EXPECT_EQ(d.avgStdOnlyPassBox()->isChecked(), c.before.AvgStdOnlyPass == 1);
      c.act(d);
    });
    EXPECT_EQ(AppSettings.AvgStdOnlyPass, c.after.AvgStdOnlyPass);
    EXPECT_EQ(AppSettings.ShowLine, c.after.ShowLine);
    EXPECT_EQ(AppSettings.ConvertFileTypeXLS, c.after.ConvertFileTypeXLS);
    EXPECT_EQ(AppSettings.ConvertFileTypeCSV, c.after.ConvertFileTypeCSV);
    EXPECT_EQ(AppSettings.CSVFormat, c.after.CSVFormat);
  }
}

TEST_F(ConvertDialogs, TextsComeFromTheLanguageExceptTheSetupTemplate) {
  for (int language : {0, 1, 2}) {
    SCOPED_TRACE(language);
    SelectLanguageTable(language);
    auto text = [language](int slot) { return QString::fromUtf8(LanguageText(language, slot)); };
    CConvertDetailsDlg details;
    RunDialog(details, [&](CConvertDetailsDlg& d) {
      EXPECT_EQ(d.windowTitle(), text(kSlotFileConvertDetails));
      EXPECT_EQ(d.fileTypeGroup()->title(), text(kSlotFileType));
      EXPECT_EQ(d.formatRadio(0)->text(), text(kSlotData));
      EXPECT_EQ(d.formatRadio(1)->text(), text(kSlotScientific));
      EXPECT_EQ(d.formatRadio(2)->text(), text(kSlotValue));
      EXPECT_EQ(d.showLineBox()->text(), text(kSlotDetailsShowLine));
      EXPECT_EQ(d.avgStdOnlyPassBox()->text(), text(kSlotAvgStdevOnlyPass));
      EXPECT_EQ(d.okButton()->text(), text(kSlotOk));
      EXPECT_EQ(d.cancelButton()->text(), text(kSlotCancel));
      EXPECT_EQ(d.xlsBox()->text(), "XLS");
      EXPECT_EQ(d.csvBox()->text(), "CSV");
      d.cancelButton()->click();
    });
    CConvertSetupDlg setup;
    setup.m_nDeviceCount = 1;
    messages.clear();
    RunDialog(setup, [&](CConvertSetupDlg& d) {
      EXPECT_EQ(d.windowTitle(), "File Conver Setup");
      EXPECT_EQ(d.okButton()->text(), "OK");
      d.beginEdit()->setText(QStringLiteral("0"));
      d.okButton()->click();
      d.cancelButton()->click();
    });
    EXPECT_EQ(messages, std::vector<QString>{text(kSlotInvalid)});
  }
}

}  // namespace
}  // namespace lotvue::testing
