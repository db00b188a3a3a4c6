// The loading thread's protocol: tickets, hand-over, and the ends of files
// that never arrive.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/loader.h"
#include "tests/core/lot_files.h"

namespace lotvue {
namespace {

using testing::SmallLot;
using testing::TempFolder;
using testing::WriteTsd;

class CountingEvents : public ReaderEvents {
 public:
  void NotTsdFile() override { ++notTsd; }
  void RangeWarning(int, int, int) override { ++range; }
  std::atomic<int> notTsd{0};
  std::atomic<int> range{0};
};

// Waits until the load of ticket is no longer being read.
void WaitWhileReading(LoadTicket ticket) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < end) {
    if (OutcomeOf(ticket) != LoadOutcome::kReading || LoadingLot.loadState.load() == kRead) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  FAIL() << "load did not end";
}

class Loader : public ::testing::Test {
 protected:
  LoadTicket Start(const std::string& path) {
    LoadingLot.Reset();
    LoadingLot.path = path;
    LoaderHooks hooks;
    hooks.events = &events;
    hooks.beforeReady = [this](LoadTicket t) {
      readyTicket = t;
      readyState = LoadingLot.loadState.load();
    };
    return StartLoading(hooks);
  }
  void TearDown() override {
    JoinLoaderThread();
    LoadingLot.Reset();
  }
  CountingEvents events;
  std::atomic<LoadTicket> readyTicket{0};
  std::atomic<int> readyState{-1};
  std::string dir = TempFolder("loader");
};

TEST_F(Loader, HandsTheLotOverToItsTicketOnly) {
  const std::string path = WriteTsd(dir, "a.tsd", SmallLot(3, 10).Bytes());
  const LoadTicket ticket = Start(path);
  ASSERT_NE(ticket, 0u);
  EXPECT_FALSE(LoaderIdle());
  EXPECT_EQ(StartLoading(LoaderHooks{}), 0u) << "one file at a time";
  WaitWhileReading(ticket);
  ASSERT_EQ(LoadingLot.loadState.load(), kRead);
  EXPECT_EQ(readyTicket.load(), ticket);
  EXPECT_EQ(readyState.load(), kReading) << "the grid is set up before the state says read";

  LotData view;
  EXPECT_FALSE(TakeLoadedLot(ticket + 1, view));
  EXPECT_FALSE(TakeLoadedLot(0, view));
  std::string heldDuringRelease;
  ASSERT_TRUE(TakeLoadedLot(ticket, view, [&] { heldDuringRelease = LoadingLot.path; }));
  EXPECT_EQ(heldDuringRelease, path) << "the batch step still sees the file in LoadingLot";
  EXPECT_EQ(view.loadState.load(), kRead);
  EXPECT_EQ(view.devices(), 10);
  EXPECT_EQ(view.path, path);
  EXPECT_EQ(view.recordsRead.load(), 0);
  EXPECT_TRUE(LoaderIdle());
  EXPECT_EQ(LoadingLot.loadState.load(), kIdle);
  EXPECT_TRUE(LoadingLot.path.empty());
  EXPECT_EQ(CurrentLoadTicket(), 0u);
  EXPECT_FALSE(TakeLoadedLot(ticket, view)) << "only once";
}

TEST_F(Loader, FilesThatNeverArriveReturnToIdle) {
  struct Case {
    std::string name;
    std::vector<std::uint8_t> bytes;  // empty: the file does not exist
    LoadOutcome outcome;
    int messages;
  } cases[] = {
      {"missing.tsd", {}, LoadOutcome::kCannotOpen, 0},
      {"many.tsd", SmallLot(257, 2).Bytes(), LoadOutcome::kRejected, 1},
  };
  for (const Case& c : cases) {
    events.notTsd = 0;
    const std::string path = c.bytes.empty() ? dir + "/" + c.name : WriteTsd(dir, c.name, c.bytes);
    const LoadTicket ticket = Start(path);
    WaitWhileReading(ticket);
    JoinLoaderThread();
    EXPECT_EQ(OutcomeOf(ticket), c.outcome) << c.name;
    EXPECT_EQ(events.notTsd.load(), c.messages) << c.name;
    EXPECT_TRUE(LoaderIdle()) << c.name;
    EXPECT_EQ(LoadingLot.loadState.load(), kIdle) << c.name;
    EXPECT_EQ(LoadingLot.items(), 0) << c.name;

    // The window of the lost file cannot take the next file's lot.
    const LoadTicket next = Start(WriteTsd(dir, "next.tsd", SmallLot(1, 1).Bytes()));
    WaitWhileReading(next);
    LotData stale, fresh;
    EXPECT_FALSE(TakeLoadedLot(ticket, stale)) << c.name;
    EXPECT_TRUE(TakeLoadedLot(next, fresh)) << c.name;
    ForgetLoad(ticket);
    EXPECT_EQ(OutcomeOf(ticket), LoadOutcome::kNone);
  }
}

// Cancelled while reading (the thread stops at its next chunk) or once
// read (the lot is dropped at once): nothing is kept and the loader is idle.
TEST_F(Loader, CancelledLoadReturnsToIdle) {
  const std::string path = WriteTsd(dir, "big.tsd", SmallLot(16, 100000).Bytes());
  const LoadTicket ticket = Start(path);
  if (!CancelLoad(ticket)) {
    WaitWhileReading(ticket);
    CancelLoad(ticket);  // a load that ended before it saw the request is dropped now
  }
  JoinLoaderThread();
  EXPECT_EQ(OutcomeOf(ticket), LoadOutcome::kCancelled);
  EXPECT_TRUE(LoaderIdle());
  EXPECT_TRUE(LoadingLot.deviceCells.empty() && LoadingLot.path.empty());
  LotData view;
  EXPECT_FALSE(TakeLoadedLot(ticket, view));
  EXPECT_NE(Start(path), 0u) << "the next file can be opened";
}

}  // namespace
}  // namespace lotvue
