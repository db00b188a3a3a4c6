// RunInTwo: two independent pieces of work at once, the second on a thread
// of its own. Where no thread can be had (a process at its limits) the two
// run one after the other. An exception of either (out of memory, say)
// reaches the caller once both have ended, never the thread's end.
#pragma once

#include <exception>
#include <system_error>
#include <thread>

namespace lotvue {

template <class First, class Second>
void RunInTwo(First&& first, Second&& second) {
  std::exception_ptr secondError;
  std::thread thread;
  try {
    thread = std::thread([&] {
      try {
        second();
      } catch (...) {
        secondError = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    first();
    second();
    return;
  }
  try {
    first();
  } catch (...) {
    thread.join();
    throw;
  }
  thread.join();
  if (secondError) std::rethrow_exception(secondError);
}

}  // namespace lotvue
