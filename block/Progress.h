#pragma once
// The one seam between long work and whoever shows how far it has gone: the
// window's progress bar, a terminal, a test. The work calls it on its own
// thread; an implementation may ask the work to stop by returning false from
// Step (work that cannot stop ignores the answer).

#include <cstdint>

class Progress {
 public:
  virtual ~Progress() = default;
  // The work is about to take `steps` steps (0 when there is nothing to do).
  virtual void Begin(std::int64_t steps) { (void)steps; }
  // One more step is done; false asks the work to stop where it can.
  virtual bool Step() = 0;
  // The work is over, finished or stopped.
  virtual void End() {}
};
