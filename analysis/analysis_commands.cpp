#include "analysis/analysis_commands.h"

#include "analysis/device_qc_dlg.h"
#include "analysis/fail_list_dlg.h"
#include "analysis/item_stats_window.h"
#include "app/commands.h"
#include "app/main_frame.h"
#include "core/device_qc.h"
#include "core/fail_list.h"
#include "core/lot_data.h"
#include "view/report_view.h"

namespace lotvue {

void OnDeviceQc(const LotData& lot, UserPrompts& prompts, QWidget* parent) {
  CDeviceQcDlg dlg(TakeQcLot(lot), prompts, parent);
  dlg.exec();
}

void OnOnlyShowFail(const LotData& lot, UserPrompts& prompts, QWidget* parent) {
  BuildFailRows(lot);
  const std::string& path = lot.path;
  CFailListDlg dlg(failRows, lot.columns(), path.substr(0, path.size() >= 4 ? path.size() - 4 : 0), prompts, parent);
  dlg.exec();
}

void RegisterAnalysisCommands(CMainFrame& frame) {
  CMainFrame* f = &frame;
  frame.SetCommandHandler(kCmdDeviceQc, [f] {
    if (CLotvueView* view = f->ActiveView()) OnDeviceQc(view->Lot, f->prompts(), f);
  });
  frame.SetCommandHandler(kCmdOnlyShowFail, [f] {
    if (CLotvueView* view = f->ActiveView()) OnOnlyShowFail(view->Lot, f->prompts(), f);
  });
  frame.SetCommandHandler(kCmdNormalDistribution, [f] {
    if (CLotvueView* view = f->ActiveView()) ShowItemStatsWindow(*view, f->prompts(), f);
  });
}

}  // namespace lotvue
