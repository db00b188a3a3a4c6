#include "core/loader.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace lotvue {
namespace {

// Set by StartLoading before the thread exists, cleared by the thread as
// its very last action.
std::atomic<bool> threadActive{false};
std::atomic<LoadTicket> currentTicket{0};
std::atomic<bool> cancelRequested{false};  // of the current load
LoadTicket lastTicket = 0;  // user-interface thread only
std::thread loaderThread;   // user-interface thread only

// Outcomes of the loads whose windows have not asked yet.
std::mutex outcomeMutex;
std::vector<std::pair<LoadTicket, LoadOutcome>> outcomes;

void SetOutcome(LoadTicket ticket, LoadOutcome outcome) {
  std::lock_guard<std::mutex> lock(outcomeMutex);
  for (auto& entry : outcomes) {
    if (entry.first == ticket) {
      entry.second = outcome;
      return;
    }
  }
  outcomes.emplace_back(ticket, outcome);
}

void LoaderThreadProc(LoadTicket ticket, LoaderHooks hooks) {
  SilentReaderEvents silent;
  ReaderEvents& events = hooks.events ? *hooks.events : silent;
  if (hooks.busyCursor) hooks.busyCursor(true);
  hooks.options.cancel = &cancelRequested;
  const LoadResult result = LoadResultFile(LoadingLot, hooks.options, events, [&] {
    if (hooks.beforeReady) hooks.beforeReady(ticket);
  });
  switch (result) {
    case LoadResult::kCannotOpen:
      // LoadingLot was not touched and loadState is still 0.
      SetOutcome(ticket, LoadOutcome::kCannotOpen);
      break;
    case LoadResult::kRejected:
    case LoadResult::kCancelled:
    case LoadResult::kNoMemory:
      // The reader stops at state 1 with a half-filled lot: nothing of it is
      // kept, and the program is idle again.
      SetOutcome(ticket, result == LoadResult::kRejected    ? LoadOutcome::kRejected
                         : result == LoadResult::kCancelled ? LoadOutcome::kCancelled
                                                            : LoadOutcome::kNoMemory);
      LoadingLot.Reset();
      break;
    case LoadResult::kLoaded:
      break;  // loadState is 2: the lot waits for its window
  }
  if (hooks.busyCursor) hooks.busyCursor(false);
  threadActive.store(false);
}

}  // namespace

bool LoaderIdle() { return LoadingLot.loadState.load() == kIdle && !threadActive.load(); }

LoadTicket StartLoading(LoaderHooks hooks) {
  if (!LoaderIdle()) return 0;
  JoinLoaderThread();  // the previous thread has done its work; let it go
  const LoadTicket ticket = ++lastTicket;
  SetOutcome(ticket, LoadOutcome::kReading);
  currentTicket.store(ticket);
  cancelRequested.store(false);
  threadActive.store(true);
  loaderThread = std::thread(LoaderThreadProc, ticket, std::move(hooks));
  return ticket;
}

LoadTicket CurrentLoadTicket() { return currentTicket.load(); }

LoadOutcome OutcomeOf(LoadTicket ticket) {
  std::lock_guard<std::mutex> lock(outcomeMutex);
  for (const auto& entry : outcomes) {
    if (entry.first == ticket) return entry.second;
  }
  return LoadOutcome::kNone;
}

bool TakeLoadedLot(LoadTicket ticket, LotData& into, const std::function<void()>& beforeRelease) {
  if (ticket == 0 || LoadingLot.loadState.load() != kRead || currentTicket.load() != ticket) return false;
  into.Reset();
  into.CopyFrom(LoadingLot);
  if (beforeRelease) beforeRelease();
  // After writing 2 the thread only restores the cursor and ends.
  JoinLoaderThread();
  currentTicket.store(0);
  LoadingLot.Reset();  // loadState 0: the next file may be opened
  SetOutcome(ticket, LoadOutcome::kLoaded);
  into.loadState.store(kRead);
  return true;
}

bool CancelLoad(LoadTicket ticket) {
  if (ticket == 0 || currentTicket.load() != ticket) return OutcomeOf(ticket) != LoadOutcome::kReading;
  if (LoadingLot.loadState.load() != kRead) {
    cancelRequested.store(true);
    return false;
  }
  // Read already: the lot is dropped instead of handed over.
  JoinLoaderThread();
  currentTicket.store(0);
  LoadingLot.Reset();
  SetOutcome(ticket, LoadOutcome::kCancelled);
  return true;
}

void ForgetLoad(LoadTicket ticket) {
  std::lock_guard<std::mutex> lock(outcomeMutex);
  outcomes.erase(std::remove_if(outcomes.begin(), outcomes.end(),
                                [ticket](const auto& entry) { return entry.first == ticket; }),
                 outcomes.end());
}

void JoinLoaderThread() {
  if (loaderThread.joinable()) loaderThread.join();
}

}  // namespace lotvue
