#include "export/batch_convert.h"

#include <QFile>
#include <QFileDialog>

#include "app/main_frame.h"
#include "core/folder_list.h"
#include "core/language.h"
#include "core/loader.h"
#include "view/report_view.h"

namespace lotvue {

CBatchConverter::CBatchConverter(CMainFrame& frame) : QObject(&frame), frame_(frame) {
  setObjectName(QStringLiteral("batchConverter"));
  timer_.setInterval(kTimerMs);
  connect(&timer_, &QTimer::timeout, this, &CBatchConverter::OnTimer);
}

CBatchConverter* CBatchConverter::Of(CMainFrame& frame) {
  if (auto* batch = frame.findChild<CBatchConverter*>(QStringLiteral("batchConverter"), Qt::FindDirectChildrenOnly)) {
    return batch;
  }
  return new CBatchConverter(frame);
}

void CBatchConverter::OnConvertAllFiles() {
  QString path;
  if (chooseFile) {
    path = chooseFile(&frame_);
  } else {
    path = QFileDialog::getOpenFileName(&frame_, QString::fromUtf8(Lang(kSlotOpen)), QString(),
                                        QStringLiteral("TSF Files(*.tsd);;All Files(*.*)"));
  }
  if (path.isEmpty()) return;  // Cancel
  StartFolderOf(path);
}

void CBatchConverter::StartFolderOf(const QString& chosenPath) {
  const std::string chosen = QFile::encodeName(chosenPath).toStdString();
  const std::optional<std::string> folder = BatchFolderOf(chosen);
  if (!folder || folder->empty()) return;
  batchFileList_.clear();
  // A folder that cannot be read has no files: the first tick ends the batch.
  if (const auto names = BatchFileNames(*folder)) {
    for (const std::string& name : *names) batchFileList_.push_back(JoinPath(*folder, name));
  }
  BatchConverting = 1;
  timer_.start();
}

void CBatchConverter::OnTimer() {
  // A message box of the open or the conversion runs its own event loop,
  // in which this timer goes on ticking.
  if (inTick_) return;
  // A file is loading, waits for its hand-over or is being converted.
  if (!LoaderIdle()) return;
  if (batchFileList_.empty()) {
    timer_.stop();
    // The last name may not have reached a hand-over (already open, could
    // not be read): no later file of the user is converted unasked.
    BatchConverting = 0;
    return;
  }
  inTick_ = true;
  BatchConverting = 1;
  const std::string path = batchFileList_.front();
  batchFileList_.pop_front();
  frame_.OpenResultFile(QFile::decodeName(QByteArray::fromStdString(path)));
  inTick_ = false;
}

}  // namespace lotvue
