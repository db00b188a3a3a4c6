#include "app/frame_memory.h"

#include <algorithm>

#include <QAction>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMenu>
#include <QSettings>

#include "app/commands.h"
#include "app/main_frame.h"
#include "core/app_settings.h"
#include "core/frame_layout.h"
#include "core/lot_data.h"

namespace lotvue {
namespace {

const QString kRecentKey = QStringLiteral("Recent/Files");
const QString kGeometryKey = QStringLiteral("MainWindow/Geometry");
const QString kStateKey = QStringLiteral("MainWindow/State");
const QString kFontHeightKey = QStringLiteral("Report/FontHeight");

// Lotvue.ini, whose other keys (Convert/XLSX) QSettings keeps as they are.
QSettings Options() { return QSettings(QString::fromStdString(OptionsPath()), QSettings::IniFormat); }

template <typename Write>
void WriteOptions(Write write) {
  if (!EnsureConfigFolder()) return;
  QSettings options = Options();
  write(options);
  options.sync();
}

// "&1 /lots/a.tsd": the number as the menu's key, a long path shortened in the middle.
QString EntryText(const QMenu* menu, int index, const std::string& path) {
  QString shown = QFontMetrics(menu->font()).elidedText(QString::fromStdString(path), Qt::ElideMiddle, 600);
  return QStringLiteral("&%1 %2").arg(index + 1).arg(shown.replace(QLatin1Char('&'), QStringLiteral("&&")));
}

}  // namespace

CFrameMemory::CFrameMemory(CMainFrame& frame) : QObject(&frame), frame_(frame) {
  QSettings options = Options();
  for (const QString& path : options.value(kRecentKey).toStringList()) {
    if (!path.isEmpty() && recent_.size() < static_cast<std::size_t>(kRecentFiles)) recent_.push_back(path.toStdString());
  }
  fontHeight_ = ClampFontHeight(options.value(kFontHeightKey, LotContent{}.fontHeight).toInt());
  for (int menu : {kMainMenu, kReportMenu}) menus_.push_back({frame.TopMenu(menu, 0), {}});
  ShowList();
}

void CFrameMemory::Remember(const std::string& path) {
  RememberRecentFile(recent_, path);
  ShowList();
  WriteList();
}

void CFrameMemory::OpenRecent(const std::string& path) {
  if (QFileInfo(QString::fromStdString(path)).isFile()) {
    frame_.OpenResultFile(QString::fromStdString(path));
    return;
  }
  recent_.erase(std::remove(recent_.begin(), recent_.end(), path), recent_.end());
  ShowList();
  WriteList();
  frame_.prompts().ShowMessage(&frame_, QStringLiteral("The file %1 no longer exists; it has been taken off the list of "
                                                       "recent files.").arg(QString::fromStdString(path)));
}

void CFrameMemory::SetFontHeight(int height) { fontHeight_ = ClampFontHeight(height); }

bool CFrameMemory::RestoreWindow() {
  QSettings options = Options();
  if (!frame_.restoreGeometry(options.value(kGeometryKey).toByteArray())) return false;
  frame_.restoreState(options.value(kStateKey).toByteArray());
  return true;
}

void CFrameMemory::SaveWindow() {
  WriteOptions([this](QSettings& options) {
    options.setValue(kGeometryKey, frame_.saveGeometry());
    options.setValue(kStateKey, frame_.saveState());
    options.setValue(kFontHeightKey, fontHeight_);
  });
  WriteList();
}

void CFrameMemory::ShowList() {
  QAction* exit = frame_.action(kCmdExit);
  for (auto& [menu, entries] : menus_) {
    // Later, as the chosen entry may be what runs this.
    for (QAction* a : entries) {
      menu->removeAction(a);
      a->deleteLater();
    }
    entries.clear();
    for (std::size_t i = 0; i < recent_.size(); ++i) {
      auto* a = new QAction(EntryText(menu, static_cast<int>(i), recent_[i]), menu);
      connect(a, &QAction::triggered, this, [this, path = recent_[i]] { OpenRecent(path); });
      entries.push_back(a);
    }
    if (!entries.empty()) {
      entries.push_back(new QAction(menu));
      entries.back()->setSeparator(true);
    }
    menu->insertActions(exit, QList<QAction*>(entries.begin(), entries.end()));
  }
}

void CFrameMemory::WriteList() {
  WriteOptions([this](QSettings& options) {
    QStringList paths;
    for (const std::string& path : recent_) paths << QString::fromStdString(path);
    options.setValue(kRecentKey, paths);
  });
}

}  // namespace lotvue
