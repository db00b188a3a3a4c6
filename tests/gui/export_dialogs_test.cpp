// The Convert Setup and Convert Details dialogs: values shown, typed and
// refused, OK and Cancel, the settings they store.
#include <QCheckBox>
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
  template <typename Dialog, typename Act>
  static int Run(Dialog& dialog, Act act) {
    WhenModal([&dialog, act](QWidget*) { act(dialog); });
    return dialog.exec();
  }
};

TEST_F(ConvertDialogs, SetupAcceptsOnlyARangeWithinTheLot) {
  struct Case {
    const char *begin, *end, *message;
    bool endSelected;  // else Begin
  };
  const Case refused[] = {
      {"1", "6", "Invalid", true},  {"0", "6", "Invalid", true},  // End is checked first
      {"0", "3", "Invalid", false}, {"-2", "3", "Invalid", false}, {"4", "3", "Invalid", false},
      {"x", "3", "Please enter an integer.", false}, {"2", "3.5", "Please enter an integer.", true},
  };
  CConvertSetupDlg dialog(*this);
  dialog.m_nDeviceCount = 5;
  dialog.m_strFileName = QStringLiteral("/lots/A123");
  const int result = Run(dialog, [&](CConvertSetupDlg& d) {
    EXPECT_EQ(d.beginEdit()->text() + "-" + d.endEdit()->text(), "1-5");
    EXPECT_EQ(d.fileNameLabel()->text(), "/lots/A123.XLS");
    EXPECT_EQ(d.warningLabel()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    for (const Case& c : refused) {
      SCOPED_TRACE(std::string(c.begin) + ".." + c.end);
      messages.clear();
      d.beginEdit()->setText(QString::fromLatin1(c.begin));
      d.endEdit()->setText(QString::fromLatin1(c.end));
      d.okButton()->click();
      EXPECT_TRUE(d.isVisible());
      EXPECT_EQ(messages, std::vector<QString>{c.message});
      QLineEdit* selected = c.endSelected ? d.endEdit() : d.beginEdit();
      EXPECT_TRUE(selected->hasFocus());
      EXPECT_EQ(selected->selectedText(), selected->text());
    }
    d.beginEdit()->setText(QStringLiteral(" 2"));
    d.endEdit()->setText(QStringLiteral("5"));
    d.okButton()->click();
  });
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(dialog.m_nBegin * 10 + dialog.m_nEnd, 25);

  // A lot without devices: Begin 1, End 0, nothing is accepted.
  CConvertSetupDlg empty(*this);
  messages.clear();
  EXPECT_EQ(Run(empty, [](CConvertSetupDlg& d) { d.okButton()->click(), d.cancelButton()->click(); }), QDialog::Rejected);
  EXPECT_EQ(messages, std::vector<QString>{"Invalid"});
}

TEST_F(ConvertDialogs, DetailsShowAndStoreTheSettings) {
  // Settings in field order: AvgStdOnlyPass, ShowLine, XLS, CSV, CSVFormat.
  // Actions: x/c/l click XLS/CSV/XLSX, 0-2 a format, then o (OK) or n (Cancel).
  // The XLSX box is kept in Lotvue.ini, not the settings file, unchecked
  // while that file is missing, and stored on OK only.
  struct Case {
    AppSettingsData before;
    const char* shown;  // XLS, CSV, checked format (- none), formats enabled, XLSX
    const char* actions;
    AppSettingsData after;
    bool xlsx;
  } cases[] = {
      {{1, 1, 1, 0, 1}, "10 1 0 0", "o", {1, 1, 1, 0, 1}, false},   // hidden boxes store back their values
      {{0, 0, 0, 1, 7}, "01 - 1 0", "lo", {0, 0, 0, 1, 0}, true},   // a format outside 0..2: none shown, 0 stored
      {{0, 0, 1, 0, 2}, "10 2 0 1", "o", {0, 0, 1, 0, 2}, true},    // disabled formats keep their value
      {{0, 1, 1, 0, 0}, "10 0 0 1", "c2xlo", {0, 1, 0, 1, 2}, false},
      {{0, 0, 0, 1, 1}, "01 1 1 0", "co", {0, 0, 0, 0, 1}, false},
      {{1, 0, 1, 1, 2}, "11 2 1 0", "cxln", {1, 0, 1, 1, 2}, false},
  };
  const std::string spec = config + "/LotVuer.spec";
  ASSERT_TRUE(SaveSettingsTo(spec, AppSettings));
  const std::string specBytes = ReadFileBytes(spec);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.actions);
    AppSettings = c.before;
    CConvertDetailsDlg dialog;
    Run(dialog, [&](CConvertDetailsDlg& d) {
      int checked = -1;
      for (int i = 0; i < 3; ++i) checked = d.formatRadio(i)->isChecked() ? i : checked;
      const QString shown = QStringLiteral("%1%2 %3 %4 %5")
                                .arg(int(d.xlsBox()->isChecked()))
                                .arg(int(d.csvBox()->isChecked()))
                                .arg(checked < 0 ? QStringLiteral("-") : QString::number(checked))
                                .arg(int(d.formatRadio(0)->isEnabled() && d.formatRadio(2)->isEnabled()))
                                .arg(int(d.xlsxBox()->isChecked()));
      EXPECT_EQ(shown, c.shown);
      EXPECT_FALSE(d.showLineBox()->isVisible() || d.avgStdOnlyPassBox()->isVisible());
      for (const char* a = c.actions; *a; ++a) {
        if (*a == 'x') d.xlsBox()->click();
        if (*a == 'c') d.csvBox()->click();
        if (*a == 'l') d.xlsxBox()->click();
        if (*a >= '0' && *a <= '2') d.formatRadio(*a - '0')->click();
        if (*a == 'o') d.okButton()->click();
        if (*a == 'n') d.cancelButton()->click();
        if (*a == 'c') {
          EXPECT_EQ(d.formatRadio(1)->isEnabled(), d.csvBox()->isChecked());
        }
      }
    });
    EXPECT_EQ(SettingsFileText(AppSettings), SettingsFileText(c.after));
    EXPECT_EQ(ConvertXlsxChecked(), c.xlsx);
    EXPECT_NE(ReadFileBytes(config + "/Lotvue.ini").find(c.xlsx ? "XLSX=true" : "XLSX=false"), std::string::npos);
  }
  EXPECT_EQ(ReadFileBytes(spec), specBytes);

  // Its texts are the language's; the setup dialog keeps its template's.
  SelectLanguageTable(1);
  CConvertDetailsDlg details;
  CConvertSetupDlg setup(*this);
  Run(details, [](CConvertDetailsDlg& d) {
    EXPECT_EQ(d.windowTitle().toStdString() + d.formatRadio(1)->text().toStdString() + d.csvBox()->text().toStdString(),
              std::string(LanguageText(1, kSlotFileConvertDetails)) + LanguageText(1, kSlotScientific) + "CSV");
    d.cancelButton()->click();
  });
  Run(setup, [](CConvertSetupDlg& d) {
    d.cancelButton()->click();
    EXPECT_EQ(d.windowTitle(), "File Conver Setup");
  });
}

}  // namespace
}  // namespace lotvue::testing
