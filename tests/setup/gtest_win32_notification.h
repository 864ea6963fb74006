// GoogleTest's Notification for mingw's win32 thread model, which lacks
// std::mutex and std::condition_variable: the same one-shot signal made of
// a Win32 manual-reset event. Force-included into GoogleTest and its users
// in the Windows build only.
#pragma once

#define GTEST_HAS_NOTIFICATION_ 1

#include <windows.h>

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() : event_(CreateEventA(NULL, TRUE, FALSE, NULL)) {}
  ~Notification() {
    if (event_ != NULL) CloseHandle(event_);
  }
  Notification(const Notification &) = delete;
  Notification &operator=(const Notification &) = delete;

  void Notify() { SetEvent(event_); }
  void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

 private:
  HANDLE event_;
};

}  // namespace internal
}  // namespace testing
