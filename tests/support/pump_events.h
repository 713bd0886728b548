// Test support for GUI tests that wait on other threads: runs the calling thread's event loop
// until a condition holds.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

namespace orvane::testing_support {

// Pumps events until done() holds; false once the generous safety limit has passed.
template <class Done>
bool PumpUntil(Done done, int limit_ms = 10000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limit_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

}  // namespace orvane::testing_support
