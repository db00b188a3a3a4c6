// paint_bench: the report window's speed, offscreen.
//  1. One "Matrix" frame scrolled to the middle, painted into an image, for a
//     lot of 1,000 devices and one of 200,000 (64 items each), in file order,
//     sorted by a value column, and sorted with the failed devices only or
//     the devices whose column holds a text: the cost must not grow with the
//     lot.
//  2. The time from opening the 200,000 x 64 lot to its hand-over to the
//     window, beside the plain core load of the same file.
//
//   paint_bench [--frames N] [--runs N] [--width W] [--height H] [--keep DIR]
//               [--open-devices N]   (the lot of part 2; 200,000 by default)
#include <QApplication>
#include <QEventLoop>
#include <QMdiArea>
#include <QTimer>
#include <QMdiSubWindow>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/child_frame.h"
#include "app/main_frame.h"
#include "core/app_settings.h"
#include "core/language.h"
#include "core/loader.h"
#include "core/result_file.h"
#include "tools/tsd_writer.h"
#include "view/report_view.h"

using namespace lotvue;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// CPU time of the calling thread: the paint cost without the waits of a
// machine that is busy with other work.
double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double ProcessCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

std::string MakeLot(const std::string& dir, int devices, int items) {
  const std::string path = dir + "/lot_" + std::to_string(devices) + "x" + std::to_string(items) + ".tsd";
  if (!std::filesystem::exists(path)) {
    tsd::GenerateOptions o;
    o.seed = 7;
    o.devices = devices;
    o.items = items;
    tsd::WriteFile(path, tsd::GenerateLot(o));
  }
  return path;
}

// Opens path in the main window; returns the view and the open-to-hand-over time.
CLotvueView* OpenAndWait(CMainFrame& frame, const std::string& path, double* ms) {
  const auto start = Clock::now();
  frame.OpenResultFile(QString::fromStdString(path));
  CLotvueView* view = OpenViewList.back();
  // Sleeps in the event loop until the window announces the hand-over.
  QEventLoop loop;
  QObject::connect(view, &CLotvueView::loadFinished, &loop, &QEventLoop::quit);
  QTimer::singleShot(300000, &loop, &QEventLoop::quit);
  if (view->Lot.loadState.load() != kRead) loop.exec();
  if (view->Lot.loadState.load() != kRead) return nullptr;
  if (ms) *ms = Ms(Clock::now() - start);
  return view;
}

void CloseAll(CMainFrame& frame) {
  for (QMdiSubWindow* w : frame.mdiArea()->subWindowList()) w->close();
  QApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QApplication::processEvents();
}

}  // namespace

int main(int argc, char* argv[]) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int frames = 200, runs = 3, width = 1280, height = 800, openDevices = 200000;
  std::string dir = (std::filesystem::temp_directory_path() / "lotvue-paint-bench").string();
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--frames") frames = std::atoi(argv[i + 1]);
    else if (a == "--runs") runs = std::atoi(argv[i + 1]);
    else if (a == "--width") width = std::atoi(argv[i + 1]);
    else if (a == "--height") height = std::atoi(argv[i + 1]);
    else if (a == "--keep") dir = argv[i + 1];
    else if (a == "--open-devices") openDevices = std::atoi(argv[i + 1]);
  }
  std::filesystem::create_directories(dir);
  if (!qEnvironmentVariableIsSet("LOTVUE_CONFIG_DIR")) qputenv("LOTVUE_CONFIG_DIR", QByteArray::fromStdString(dir));
  QApplication application(argc, argv);
  SelectLanguageTable(0);
  CMainFrame frame;
  frame.OnCreate(QString());
  frame.resize(width + 40, height + 160);
  frame.show();
  QApplication::processEvents();

  // The rows of the window: file order, or sorted by the value column of
  // item 3 (record column 5), alone or with a filter.
  struct Rows {
    const char* name;
    int sortColumn;
    RowFilter filter;
  };
  const Rows orders[] = {
      {"file order", -1, {}},
      {"sorted", 5, {}},
      {"sorted, failed", 5, {RowFilterKind::kFailed, 0, ""}},
      {"sorted, contains", 5, {RowFilterKind::kContains, 6, "5"}},
  };
  std::printf("Matrix frame scrolled to the middle, %dx%d pixels, 64 items, median of %d frames\n", width, height, frames);
  std::printf("  %-10s %-17s %9s %14s %14s %14s %14s\n", "devices", "rows", "shown", "off (wall)", "off (cpu)", "on (wall)",
              "on (cpu)");
  for (int devices : {1000, 200000}) {
    const std::string path = MakeLot(dir, devices, 64);
    CLotvueView* view = OpenAndWait(frame, path, nullptr);
    if (!view) return 1;
    QMdiSubWindow* child = frame.FrameOf(view);
    child->resize(width + (child->width() - view->viewport()->width()),
                  height + (child->height() - view->viewport()->height()));
    QApplication::processEvents();
    for (const Rows& rows : orders) {
      if (rows.sortColumn != view->rows().sort().column) view->SortByColumn(rows.sortColumn);
      view->SetFilter(rows.filter);
      view->ScrollToRow(view->grid().rowCount / 2);
      double medians[2], cpu[2];
      for (int lines = 0; lines < 2; ++lines) {
        AppSettings.ShowLine = lines;
        QImage image;
        view->PaintFrame(image);  // warm up: glyph caches, the image
        std::vector<double> times, cpuTimes;
        for (int f = 0; f < frames; ++f) {
          const double c0 = ThreadCpuMs();
          const auto t0 = Clock::now();
          view->PaintFrame(image);
          times.push_back(Ms(Clock::now() - t0));
          cpuTimes.push_back(ThreadCpuMs() - c0);
        }
        medians[lines] = Median(times);
        cpu[lines] = Median(cpuTimes);
      }
      std::printf("  %-10d %-17s %9d %11.3f ms %11.3f ms %11.3f ms %11.3f ms\n", devices, rows.name, view->rows().shown(),
                  medians[0], cpu[0], medians[1], cpu[1]);
    }
    AppSettings.ShowLine = 0;
    CloseAll(frame);
  }

  const std::string big = MakeLot(dir, openDevices, 64);
  std::printf("\nOpen to hand-over of %s (%.1f MB), %d runs\n", big.c_str(),
              static_cast<double>(std::filesystem::file_size(big)) / 1e6, runs);
  std::vector<double> core, gui, coreCpu, guiCpu;
  auto coreRun = [&] {
    LotData lot;
    lot.path = big;
    SilentReaderEvents events;
    const double c0 = ProcessCpuMs();
    const auto t0 = Clock::now();
    LoadResultFile(lot, ReadOptions{}, events);
    core.push_back(Ms(Clock::now() - t0));
    coreCpu.push_back(ProcessCpuMs() - c0);
  };
  auto guiRun = [&] {
    double ms = 0;
    const double c0 = ProcessCpuMs();
    if (!OpenAndWait(frame, big, &ms)) std::exit(1);
    guiCpu.push_back(ProcessCpuMs() - c0);
    gui.push_back(ms);
    CloseAll(frame);
  };
  // Alternating order, so neither side always runs on a warmer machine.
  for (int r = 0; r < runs; ++r) {
    if (r % 2 == 0) {
      coreRun();
      guiRun();
    } else {
      guiRun();
      coreRun();
    }
  }
  // The fastest run of each is the one least disturbed by other work.
  const double c = *std::min_element(core.begin(), core.end());
  const double g = *std::min_element(gui.begin(), gui.end());
  std::printf("  core load (LoadResultFile, no thread): best %9.1f ms, median %9.1f ms, cpu %9.1f ms\n", c, Median(core),
              Median(coreCpu));
  std::printf("  open to hand-over (window, thread):    best %9.1f ms, median %9.1f ms, cpu %9.1f ms  (best %+.1f %%)\n", g,
              Median(gui), Median(guiCpu), (g - c) * 100.0 / c);
  JoinLoaderThread();
  return 0;
}
