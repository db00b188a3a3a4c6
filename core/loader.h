// The loading thread: reads LoadingLot.path in the background while the
// user-interface thread keeps painting, and hands the finished lot over to
// the report window that asked for it, and to no other.
//
// Protocol: the loading thread moves LoadingLot.loadState 0 -> 1 -> 2; the
// hand-over (TakeLoadedLot) moves it 2 -> 0. Every start of a load gets a
// ticket; only the holder of the current ticket can take the lot, so a window
// whose own file never arrived cannot take the file of a later window. A file
// that cannot be opened, is rejected, does not fit in memory or whose load
// is cancelled ends its load with the state back at 0 and an outcome that
// its window can ask for.
//
// The loader never touches a window: what has to be shown goes through the
// hooks, which the desktop application routes to its user-interface thread.
#pragma once

#include <cstdint>
#include <functional>

#include "core/lot_data.h"
#include "core/result_file.h"

namespace lotvue {

// Identifies one start of the loading thread; 0 is no load.
using LoadTicket = std::uint64_t;

enum class LoadOutcome {
  kNone,        // no such load (never started, or already taken or forgotten)
  kReading,     // the thread is at work, or the lot waits for its hand-over
  kLoaded,      // the lot was handed over
  kCannotOpen,  // the file could not be opened; nothing was read
  kRejected,    // the file was refused (too many items); nothing is kept
  kCancelled,   // the load was cancelled; nothing is kept
  kNoMemory,    // the lot did not fit in memory; nothing is kept
};

struct LoaderHooks {
  // Messages of the reader; called on the loading thread, which waits for
  // them to return. Must outlive the load.
  ReaderEvents* events = nullptr;
  // The grid set-up of the ticket's window, called on the loading thread
  // once the lot is complete and before loadState becomes 2.
  std::function<void(LoadTicket)> beforeReady;
  // Wait cursor on (true) while the thread works, off (false) at its end.
  std::function<void(bool)> busyCursor;
  ReadOptions options;  // the settings as they are when the load starts
};

// True when no file is being read, waits for its hand-over or is being
// converted: LoadingLot.loadState is 0 and no loading thread is at work.
// Opening files and closing windows wait for this.
bool LoaderIdle();

// Starts the loading thread on LoadingLot.path (set by the caller after a
// reset of LoadingLot). Returns the load's ticket, or 0 when the loader is
// not idle (nothing is started then).
LoadTicket StartLoading(LoaderHooks hooks);

// The ticket whose file LoadingLot holds or is reading (0 when none).
LoadTicket CurrentLoadTicket();

// Where the load of a ticket stands.
LoadOutcome OutcomeOf(LoadTicket ticket);

// The hand-over. Acts only when loadState is 2 and the lot belongs to
// ticket: resets `into` and copies LoadingLot into it, runs beforeRelease
// (the window stops polling and runs a pending folder conversion, while
// LoadingLot still holds the file), resets LoadingLot (loadState 0) and
// finally sets into.loadState to 2. Returns true when it acted.
bool TakeLoadedLot(LoadTicket ticket, LotData& into, const std::function<void()>& beforeRelease = {});

// Cancels the load of ticket. While the file is read, the thread is asked
// to stop at its next chunk of records; it then frees what it built, the
// outcome becomes kCancelled and loadState returns to 0 (poll OutcomeOf).
// Once the file has been read, the lot is dropped at once instead of being
// handed over. Returns true when the load is over (no longer kReading).
// Never waits for the thread while it is reading.
bool CancelLoad(LoadTicket ticket);

// A window that goes away drops what the loader remembers of its ticket.
void ForgetLoad(LoadTicket ticket);

// Waits for the loading thread to end. Only for a thread that does not
// wait on the caller's thread (after the hand-over, at exit, in tests).
void JoinLoaderThread();

}  // namespace lotvue
