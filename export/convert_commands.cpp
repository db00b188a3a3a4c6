#include "export/convert_commands.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>

#include "app/commands.h"
#include "app/main_frame.h"
#include "core/csv_export.h"
#include "core/loader.h"
#include "core/lot_data.h"
#include "core/stdf_export.h"
#include "core/xls_export.h"
#include "core/xlsx_export.h"
#include "export/batch_convert.h"
#include "export/convert_details_dlg.h"
#include "export/convert_setup_dlg.h"
#include "view/report_view.h"
#include "view/user_prompts.h"

namespace lotvue {

namespace {

QString FileName(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

// The wait cursor for as long as a conversion runs; a message box in
// between gets the arrow back.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// The conversion's messages: boxes owned by the report window, through its prompts.
class ViewMessages : public ExportMessages {
 public:
  explicit ViewMessages(CLotvueView& view) : view_(&view), prompts_(view.prompts()) {}
  void Show(const std::string& text) override {
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    prompts_.ShowMessage(view_, QString::fromStdString(text));
    QApplication::restoreOverrideCursor();
  }

 private:
  QPointer<CLotvueView> view_;
  UserPrompts& prompts_;
};

// The commands act on a window whose lot has been handed over.
bool HasLot(const CLotvueView& view) { return view.Lot.loadState.load() == kRead; }

// Events are let through at most this often while a book is written: the
// window repaints its progress and answers the user, and a lot of millions
// of devices does not spend its time in the event loop.
constexpr int kProgressEventsMs = 10;

}  // namespace

int DeviceCountOf(const LotData& lot) {
  const int w = lot.columns();
  if (w <= 0) return 0;
  return static_cast<int>(lot.deviceCells.size() / static_cast<std::size_t>(w)) - 1;
}

ConvertResult ViewConvert(CLotvueView& view, int firstDevice, int lastDevice, const AppSettingsData& settings,
                          bool xlsx) {
  ViewMessages messages(view);
  WaitCursor wait;
  return My_Convert(view.Lot, firstDevice, lastDevice, settings, messages, xlsx);
}

void AskOpenConverted(CLotvueView& view, const ConvertResult& result, const AppSettingsData& settings) {
  if (settings.ConvertFileTypeXLS == 1 && result.xlsWritten) OfferToOpen(view.prompts(), &view, TwoSheetBookPath(view.Lot.path), false);
  if (result.xlsxWritten) OfferToOpen(view.prompts(), &view, TwoSheetXlsxPath(view.Lot.path), false);
  if (settings.ConvertFileTypeCSV == 1 && result.csvWritten) OfferToOpen(view.prompts(), &view, CsvPathOf(view.Lot.path), true);
}

void OnConvert(CLotvueView& view) {
  if (!HasLot(view)) return;
  const AppSettingsData settings = AppSettings;
  const ConvertResult result = ViewConvert(view, -1, -1, settings, ConvertXlsxChecked());
  AskOpenConverted(view, result, settings);
}

void OnConvertSetup(CLotvueView& view) {
  if (!HasLot(view)) return;
  CConvertSetupDlg dialog(view.prompts(), &view);
  dialog.m_nDeviceCount = DeviceCountOf(view.Lot);
  const std::string& path = view.Lot.path;
  dialog.m_strFileName = FileName(path.substr(0, path.size() >= 4 ? path.size() - 4 : 0));
  if (dialog.exec() != QDialog::Accepted) return;
  const AppSettingsData settings = AppSettings;
  const ConvertResult result = ViewConvert(view, dialog.m_nBegin, dialog.m_nEnd, settings);
  AskOpenConverted(view, result, settings);
}

void ConvertDataOrScientific(CMainFrame& frame, CLotvueView& view, int kind) {
  // Re-entry (a command reached while a book is written) and a file being
  // read both find the program busy.
  if (!HasLot(view) || !LoaderIdle()) return;
  const std::string book = OneKindBookPath(view.Lot.path, kind);
  bool written = false;
  {
    ConvertingState converting;  // loadState 3: every window shows "Convering"
    frame.UpdateCommands();
    WaitCursor wait;
    ViewMessages messages(view);
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    bool first = true;
    written = ConvertOneKindBook(view.Lot, kind, messages, [&](int row) {
      view.ConvertProgress = row;
      if (first || sinceEvents.elapsed() >= kProgressEventsMs) {
        first = false;
        view.viewport()->update();
        QApplication::processEvents();
        sinceEvents.restart();
      }
    });
  }
  frame.UpdateCommands();
  view.viewport()->update();
  QApplication::processEvents();
  if (written) OfferToOpen(view.prompts(), &view, book, false);
}

void OnConvertToStdf(CLotvueView& view) {
  if (!HasLot(view)) return;
  ViewMessages messages(view);
  WaitCursor wait;
  WriteStdfFile(view.Lot, messages);
}

void OnConvertToXlsx(CLotvueView& view) {
  if (!HasLot(view)) return;
  bool written = false;
  {
    ViewMessages messages(view);
    WaitCursor wait;
    const CellRange whole = DeviceCellRange(view.Lot, -1, -1);
    written = WriteTwoSheetXlsx(view.Lot, whole.firstCell, whole.endCell, messages);
  }
  if (written) OfferToOpen(view.prompts(), &view, TwoSheetXlsxPath(view.Lot.path), false);
}

void OnConvertDetail(CMainFrame& frame) {
  CConvertDetailsDlg dialog(&frame);
  if (dialog.exec() != QDialog::Accepted) return;
  frame.RepaintAllViews();
}

void RegisterExportCommands(CMainFrame& frame) {
  CMainFrame* f = &frame;
  auto onView = [f](void (*command)(CLotvueView&)) {
    return [f, command] {
      if (CLotvueView* view = f->ActiveView()) command(*view);
    };
  };
  frame.SetCommandHandler(kCmdConvert, onView(OnConvert));
  frame.SetCommandHandler(kCmdConvertSetup, onView(OnConvertSetup));
  frame.SetCommandHandler(kCmdConvertScientific, [f] {
    if (CLotvueView* view = f->ActiveView()) ConvertDataOrScientific(*f, *view, kKindScientific);
  });
  frame.SetCommandHandler(kCmdConvertData, [f] {
    if (CLotvueView* view = f->ActiveView()) ConvertDataOrScientific(*f, *view, kKindData);
  });
  frame.SetCommandHandler(kCmdConvertStdf, onView(OnConvertToStdf));
  frame.SetCommandHandler(kCmdConvertXlsx, onView(OnConvertToXlsx));
  frame.SetCommandHandler(kCmdConvertDetail, [f] { OnConvertDetail(*f); });
  CBatchConverter* batch = CBatchConverter::Of(frame);
  frame.SetCommandHandler(kCmdConvertAllFiles, [batch] { batch->OnConvertAllFiles(); });
  // At the hand-over of a folder conversion's file: the whole lot, no questions.
  frame.convertAtHandOver = [](CLotvueView& view) { ViewConvert(view, -1, -1); };
}

}  // namespace lotvue
