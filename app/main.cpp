// lotvue: the desktop viewer of result files.
#include <QApplication>

#include "analysis/analysis_commands.h"
#include "app/lotvue_app.h"
#include "app/main_frame.h"
#include "export/convert_commands.h"

int main(int argc, char* argv[]) {
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
