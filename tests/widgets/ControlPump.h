// For tests that show a bare control under Xvfb: the shared real-input
// helpers and a message pump that waits for a condition.
#pragma once

#include "../support/XInput.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

namespace xinput {

// Runs the window's messages until done() or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, int milliseconds = 20000) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < until) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    Sleep(10);
  }
  return done();
}

}  // namespace xinput
