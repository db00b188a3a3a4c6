// lotvue: the desktop viewer of result files.
#include <QApplication>

#include "app/lotvue_app.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lotvue"));
  lotvue::CLotvueApp app;
  if (!app.InitInstance(QApplication::arguments())) return 1;
  const int result = QApplication::exec();
  app.ExitInstance();
  return result;
}
