// The folder conversion ("Convert All Files"): every result file of the
// folder of one picked file is opened in its own report window, loaded,
// and converted by its window at the hand-over with the current settings,
// one file at a time, paced by a 50 ms timer of the main window. The
// windows stay open afterwards.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include <QObject>
#include <QString>
#include <QTimer>

class QWidget;

namespace lotvue {

class CMainFrame;

class CBatchConverter : public QObject {
  Q_OBJECT

 public:
  static constexpr int kTimerMs = 50;

  explicit CBatchConverter(CMainFrame& frame);

  // The folder conversion of the main window (made on first use).
  static CBatchConverter* Of(CMainFrame& frame);

  // Convert All Files (32772): the file dialog, then the folder's files.
  void OnConvertAllFiles();
  // Starts the folder conversion of the folder of chosenPath: silently
  // nothing when the name does not end in "tsd".
  void StartFolderOf(const QString& chosenPath);
  // One tick: waits while a file loads or is converted, else opens the next
  // file, or ends the batch when none is left.
  void OnTimer();

  // The files still to be opened (full paths), in the order they are taken.
  const std::deque<std::string>& BatchFileList() const { return batchFileList_; }
  bool Running() const { return timer_.isActive(); }

  // The file dialog; tests put a stand-in here (an empty text is Cancel).
  std::function<QString(QWidget*)> chooseFile;

 private:
  CMainFrame& frame_;
  std::deque<std::string> batchFileList_;
  QTimer timer_;
  bool inTick_ = false;
};

}  // namespace lotvue
