// The main window with the convert commands registered.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include <QAction>

#include "app/commands.h"
#include "core/app_settings.h"
#include "export/convert_commands.h"
#include "tests/core/lot_files.h"
#include "tests/gui/gui_fixture.h"

namespace lotvue::testing {

inline bool Exists(const std::string& path) { return std::ifstream(path).good(); }
// An XLS book starts with the compound file signature.
inline bool IsXlsBook(const std::string& path) { return ReadFileBytes(path).rfind("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 0) == 0; }
inline std::vector<std::string> CsvLines(const std::string& path) {
  std::vector<std::string> lines;
  const std::string text = ReadFileBytes(path);
  for (std::size_t start = 0, end; start < text.size(); start = end + 2) {
    end = std::min(text.find("\r\n", start), text.size());
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// Convert, Convert Setup, Convert Scientific, Convert Data, Convert to XLSX, Convert to STDF, Convert Detail,
// Convert All Files.
inline constexpr int kConvertCommands[] = {kCmdConvert,       kCmdConvertSetup, kCmdConvertScientific,
                                           kCmdConvertData,   kCmdConvertXlsx,  kCmdConvertStdf,
                                           kCmdConvertDetail, kCmdConvertAllFiles};
// While a file is read or converted only Convert Detail stays available.
inline const std::vector<bool> kBusyEnabling = {false, false, false, false, false, false, true, false};
inline const std::vector<bool> kIdleEnabling = {true, true, true, true, true, true, true, true};
// An XLSX book is a ZIP file.
inline bool IsZip(const std::string& path) { return ReadFileBytes(path).rfind("PK\x03\x04", 0) == 0; }

class ExportTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    RegisterExportCommands(*frame);
  }
  // As the toolbar and the menus show them now (no update is asked for).
  std::vector<bool> ConvertEnabling() {
    std::vector<bool> enabled;
    for (int id : kConvertCommands) enabled.push_back(frame->action(id)->isEnabled());
    return enabled;
  }
};

}  // namespace lotvue::testing
