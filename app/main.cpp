// lotvue: the desktop viewer of result files.
#include <cstdio>
#include <cstring>

#include <QApplication>

#include "analysis/analysis_commands.h"
#include "app/lotvue_app.h"
#include "app/main_frame.h"
#include "core/version.h"
#include "export/convert_commands.h"

int main(int argc, char* argv[]) {
  // Answered before any window exists, so they work without a display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s\n", lotvue::kVersionText);
    return 0;
  }
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("usage: lotvue [FILE.tsd]\n       lotvue --version\n"
                "Opens the result file in a report window (see lotvue(1)).\n");
    return 0;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lotvue"));
  lotvue::CLotvueApp app;
  if (!app.InitInstance(QApplication::arguments())) return 1;
  lotvue::RegisterAnalysisCommands(*app.mainWindow());
  lotvue::RegisterExportCommands(*app.mainWindow());
  const int result = QApplication::exec();
  app.ExitInstance();
  return result;
}
