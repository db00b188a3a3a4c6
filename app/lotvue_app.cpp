#include "app/lotvue_app.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/frame_memory.h"
#include "app/main_frame.h"
#include "core/language.h"
#include "core/loader.h"

namespace lotvue {

CLotvueApp::CLotvueApp() = default;

CLotvueApp::~CLotvueApp() { ExitInstance(); }

bool CLotvueApp::InitInstance(const QStringList& args) {
  LoadLanguage();
  frame_ = std::make_unique<CMainFrame>();
  frame_->OnCreate(args.size() > 1 ? args[1] : QString());
  // As the last run left it; else maximised. Without a window manager (a
  // bare X server) maximising does nothing: the window starts on the whole
  // screen all the same.
  if (frame_->memory()->RestoreWindow()) {
    frame_->show();
    return true;
  }
  if (QScreen* screen = QGuiApplication::primaryScreen()) frame_->setGeometry(screen->availableGeometry());
  frame_->showMaximized();
  return true;
}

void CLotvueApp::ExitInstance() {
  frame_.reset();
  JoinLoaderThread();
}

}  // namespace lotvue
