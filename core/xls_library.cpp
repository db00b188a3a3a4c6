#include "core/xls_library.h"

#include <atomic>
#include <csetjmp>
#include <csignal>
#include <mutex>

#include <dlfcn.h>

#include "core/app_settings.h"

namespace lotvue {

namespace {

// ---- The fault guard ----------------------------------------------------

constexpr int kGuardedSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr int kSignalCount = sizeof kGuardedSignals / sizeof kGuardedSignals[0];

struct GuardFrame {
  sigjmp_buf jump;
  GuardFrame* outer;
};

// The innermost guarded call of this thread. Initial-exec TLS, so that the
// signal handler reads it without any allocation.
thread_local GuardFrame* t_guard __attribute__((tls_model("initial-exec"))) = nullptr;

std::mutex g_handlerMutex;
int g_handlerUsers = 0;
struct sigaction g_previous[kSignalCount];

int SignalSlot(int sig) {
  for (int i = 0; i < kSignalCount; ++i)
    if (kGuardedSignals[i] == sig) return i;
  return -1;
}

void OnFault(int sig, siginfo_t* info, void*) {
  if (GuardFrame* frame = t_guard) {
    t_guard = frame->outer;
    siglongjmp(frame->jump, 1);
  }
  // Not a fault of a guarded call: the previous handler takes over. A real
  // fault happens again when this returns; a signal sent by someone is sent again.
  const int slot = SignalSlot(sig);
  if (slot >= 0) sigaction(sig, &g_previous[slot], nullptr);
  if (info == nullptr || info->si_code <= 0) raise(sig);
}

void AddHandlerUser() {
  std::lock_guard<std::mutex> lock(g_handlerMutex);
  if (g_handlerUsers++ > 0) return;
  struct sigaction sa = {};
  sa.sa_sigaction = OnFault;
  // SA_NODEFER: the signal stays unblocked in the handler, so that jumping
  // out of it (sigsetjmp without a saved mask, which is cheap) leaves the
  // thread's signal mask as it was.
  sa.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&sa.sa_mask);
  for (int i = 0; i < kSignalCount; ++i) sigaction(kGuardedSignals[i], &sa, &g_previous[i]);
}

void RemoveHandlerUser() {
  std::lock_guard<std::mutex> lock(g_handlerMutex);
  if (--g_handlerUsers > 0) return;
  for (int i = 0; i < kSignalCount; ++i) sigaction(kGuardedSignals[i], &g_previous[i], nullptr);
}

// Calls fn(args...) with the guard; R{} when fn is missing, faults or throws.
template <class R, class Fn, class... Args>
R Guarded(Fn* fn, Args... args) {
  if (fn == nullptr) return R{};
  GuardFrame frame;
  frame.outer = t_guard;
  if (sigsetjmp(frame.jump, 0) != 0) return R{};  // the handler restored t_guard
  t_guard = &frame;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  try {
    const R result = static_cast<R>(fn(args...));
    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_guard = frame.outer;
    return result;
  } catch (...) {
    t_guard = frame.outer;
    return R{};
  }
}

template <class T>
void Bind(void* module, const char* name, T& pointer) {
  pointer = reinterpret_cast<T>(dlsym(module, name));
}

}  // namespace

// ---- The binding ---------------------------------------------------------

CXlsLibrary::CXlsLibrary() : creationArgument_(kXlsCreationArgument) {}

CXlsLibrary::~CXlsLibrary() { Unload(); }

void CXlsLibrary::Unload() {
  createBook_ = nullptr;
  closeBook_ = nullptr;
  putDefFontName_ = nullptr;
  putDefFontPoint_ = nullptr;
  getSheetCount_ = nullptr;
  sheetNo_ = nullptr;
  putSheetName_ = nullptr;
  pos_ = nullptr;
  putStr_ = nullptr;
  putDouble_ = nullptr;
  putFontColor_ = nullptr;
  putBackColor_ = nullptr;
  getDroppedCellCount_ = nullptr;
  getLastError_ = nullptr;
  if (module_) {
    dlclose(module_);
    module_ = nullptr;
    RemoveHandlerUser();
  }
}

int CXlsLibrary::Load(ExportMessages* messages) { return LoadFrom(ExecutableFolder(), messages); }

int CXlsLibrary::LoadFrom(const std::string& folder, ExportMessages* messages) {
  Unload();
  std::string dir = folder;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  for (const char* file : {kXlsLibraryFile, kXlsFallbackLibraryFile}) {
    module_ = dlopen((dir + file).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module_) break;
  }
  if (!module_) {
    if (messages) messages->Show(kXlsMissingMessage);
    return 0;
  }
  AddHandlerUser();
  Bind(module_, "XlsCreateBook", createBook_);
  Bind(module_, "XlsCloseBook", closeBook_);
  Bind(module_, "XlsPutDefFontName", putDefFontName_);
  Bind(module_, "XlsPutDefFontPoint", putDefFontPoint_);
  Bind(module_, "XlsGetSheetCount", getSheetCount_);
  Bind(module_, "XlsSheetNo", sheetNo_);
  Bind(module_, "XlsPutSheetName", putSheetName_);
  Bind(module_, "POS", pos_);
  Bind(module_, "XlsPutStr", putStr_);
  Bind(module_, "XlsPutDouble", putDouble_);
  Bind(module_, "XlsPutFontColor", putFontColor_);
  Bind(module_, "XlsPutBackColor", putBackColor_);
  Bind(module_, "XlsGetDroppedCellCount", getDroppedCellCount_);
  Bind(module_, "XlsGetLastError", getLastError_);
  return 1;
}

int CXlsLibrary::XlsCreateBook(const char* fileName, int creationArg, int sheetCount, int* book) {
  return createBook_ ? createBook_(fileName, creationArg, sheetCount, book) : 0;
}

int CXlsLibrary::XlsCloseBook(int book) { return closeBook_ ? closeBook_(book) : 0; }

int CXlsLibrary::XlsPutDefFontName(const char* name) { return Guarded<int>(putDefFontName_, name); }
int CXlsLibrary::XlsPutDefFontPoint(double points) { return Guarded<int>(putDefFontPoint_, points); }
int CXlsLibrary::XlsGetSheetCount() { return Guarded<int>(getSheetCount_); }
int CXlsLibrary::XlsSheetNo(int sheet) { return Guarded<int>(sheetNo_, sheet); }
int CXlsLibrary::XlsPutSheetName(const char* name) { return Guarded<int>(putSheetName_, name); }

std::uint32_t CXlsLibrary::POS(int firstCol, int firstRow, int lastCol, int lastRow) {
  return Guarded<std::uint32_t>(pos_, firstCol, firstRow, lastCol, lastRow);
}

int CXlsLibrary::XlsPutStr(const char* text, std::uint32_t pos) { return Guarded<int>(putStr_, text, pos); }
int CXlsLibrary::XlsPutDouble(double value, std::uint32_t pos) { return Guarded<int>(putDouble_, value, pos); }
int CXlsLibrary::XlsPutFontColor(int colorIndex, std::uint32_t pos) {
  return Guarded<int>(putFontColor_, colorIndex, pos);
}
int CXlsLibrary::XlsPutBackColor(int colorIndex, std::uint32_t pos) {
  return Guarded<int>(putBackColor_, colorIndex, pos);
}
long long CXlsLibrary::XlsGetDroppedCellCount() { return Guarded<long long>(getDroppedCellCount_); }

int CXlsLibrary::XlsGetLastError() { return Guarded<int>(getLastError_); }

}  // namespace lotvue
