// lotvue: the desktop viewer of result files.
#include <QApplication>

#include "app/lotvue_app.h"
#include "app/main_frame.h"
#ifdef LOTVUE_WITH_ANALYSIS
#include "analysis/analysis_commands.h"
#endif
#ifdef LOTVUE_WITH_EXPORT
#include "export/convert_commands.h"
#endif

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lotvue"));
  lotvue::CLotvueApp app;
  if (!app.InitInstance(QApplication::arguments())) return 1;
#ifdef LOTVUE_WITH_ANALYSIS
  lotvue::RegisterAnalysisCommands(*app.mainWindow());
#endif
#ifdef LOTVUE_WITH_EXPORT
  lotvue::RegisterExportCommands(*app.mainWindow());
#endif
  const int result = QApplication::exec();
  app.ExitInstance();
  return result;
}
