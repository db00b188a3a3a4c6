#include "tests/gui/gui_fixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <ostream>

#include "core/app_settings.h"
#include "core/language.h"
#include "core/loader.h"
#include "tests/core/lot_files.h"

// QtGui's own entry for a key press offered to the shortcuts, not in its headers.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString& text, bool autorep, ushort count);

namespace lotvue::testing {

void GuiTest::SetUp() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  dir = TempFolder(std::string(info->test_suite_name()) + "." + info->name());
  config = dir + "/Config";
  std::filesystem::create_directories(config);
  setenv("LOTVUE_CONFIG_DIR", config.c_str(), 1);
  SelectLanguageTable(0);
  MakeFrame();
}

void GuiTest::TearDown() {
  WaitFor([] { return LoaderIdle() && LoadingLot.loadState.load() == kIdle; }, 30000);
  DeleteFrame();
  SelectLanguageTable(0);
  JoinLoaderThread();
}

void GuiTest::MakeFrame(const QString& commandLine) {
  DeleteFrame();
  frame = new CMainFrame;
  frame->SetPrompts(this);
  frame->OnCreate(commandLine);
  frame->resize(1200, 800);
  frame->show();
  QApplication::processEvents();
}

void GuiTest::DeleteFrame() {
  delete frame;
  frame = nullptr;
  QApplication::processEvents();
}

bool WaitFor(const std::function<bool()>& cond, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!cond()) {
    if (timer.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

void GuiTest::Settle() {
  QApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QApplication::processEvents();
}

CLotvueView* GuiTest::Open(const std::string& path) {
  frame->OpenResultFile(QString::fromStdString(path));
  return OpenViewList.empty() ? nullptr : OpenViewList.back();
}

CLotvueView* GuiTest::OpenLoaded(const std::string& path) {
  CLotvueView* view = Open(path);
  return view && WaitLoaded(view) && view->failure() == LoadOutcome::kNone ? view : nullptr;
}

bool GuiTest::WaitLoaded(CLotvueView* view) {
  return WaitFor([view] {
    return (view->Lot.loadState.load() == kRead || view->failure() != LoadOutcome::kNone) && LoaderIdle();
  });
}

void GuiTest::WhenModal(std::function<void(QWidget*)> act) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    act(modal);
  });
  poll->start(10);
}

void PromptsTest::SetUp() { SelectLanguageTable(0); }

void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos) {
  QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

void SendKey(QWidget* widget, int key, Qt::KeyboardModifiers mods) {
  QKeyEvent press(QEvent::KeyPress, key, mods);
  QApplication::sendEvent(widget, &press);
}

bool PressShortcut(QObject* target, int key, Qt::KeyboardModifiers mods) {
  return qt_sendShortcutOverrideEvent(target, 0, key, mods, QString(), false, 1);
}

Rgb3 PixelAt(const QImage& image, int x, int y) {
  const QColor c = image.pixelColor(x, y);
  return {c.red(), c.green(), c.blue()};
}

void PrintTo(const Rgb3& c, std::ostream* os) { *os << "(" << c.r << ", " << c.g << ", " << c.b << ")"; }

}  // namespace lotvue::testing
