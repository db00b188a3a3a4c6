#include "view/user_prompts.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>

#include "core/language.h"

namespace lotvue {

namespace {
// How long the opener may take to hand the file to an application.
constexpr int kOpenerWaitMs = 15000;
}  // namespace

void DesktopPrompts::ShowMessage(QWidget* parent, const QString& text) {
  if (!parent) parent = mainWindow_.data();
  // Texts carry CR LF line ends; the box wants plain line feeds.
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Lotvue"), shown, QMessageBox::Ok, parent);
  box.exec();
}

bool DesktopPrompts::AskYesNo(QWidget* parent, const QString& caption, const QString& text) {
  return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
         QMessageBox::Yes;
}

bool DesktopPrompts::OpenFile(const std::string& path, bool textEditorFallback) {
  const QString file = QFile::decodeName(QByteArray::fromStdString(path));
  // The desktop's opener says by its exit status whether an application
  // took the file ("no method available" is a failure). It returns once
  // the application is started; one still running after a while counts
  // as started.
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (!opener.isEmpty()) {
    // Owned by the application, so that a slow opener is not killed.
    auto* process = new QProcess(QCoreApplication::instance());
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    process->setProgram(opener);
    process->setArguments({file});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start();
    if (!process->waitForStarted(5000)) {
      process->deleteLater();
    } else if (!process->waitForFinished(kOpenerWaitMs)) {
      return true;
    } else if (process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0) {
      return true;
    }
  }
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

void OfferToOpen(UserPrompts& prompts, QWidget* parent, const std::string& path, bool textEditorFallback) {
  const QString file = QFile::decodeName(QByteArray::fromStdString(path));
  if (!prompts.AskYesNo(parent, file, QString::fromUtf8(Lang(kSlotSaveSuccessOpen)) + file)) return;
  if (!prompts.OpenFile(path, textEditorFallback)) prompts.ShowMessage(parent, QString::fromUtf8(Lang(kSlotCallExcelError)));
}

}  // namespace lotvue
