#include "view/desktop_open.h"

#include <QByteArray>
#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace lotvue {

bool OpenWithDesktopApplication(const std::string& path, bool textEditorFallback) {
  const QString file = QFile::decodeName(QByteArray::fromStdString(path));
  if (QDesktopServices::openUrl(QUrl::fromLocalFile(file))) return true;
  if (!textEditorFallback) return false;
  // No application for the file: any text editor shows a CSV file.
  static const char* const kEditors[] = {"gnome-text-editor", "gedit", "kate",       "kwrite",  "mousepad",
                                         "xed",               "pluma", "featherpad", "leafpad", "geany"};
  for (const char* editor : kEditors) {
    const QString program = QStandardPaths::findExecutable(QString::fromLatin1(editor));
    if (!program.isEmpty() && QProcess::startDetached(program, {file})) return true;
  }
  return false;
}

}  // namespace lotvue
