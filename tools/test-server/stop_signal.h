#pragma once

#include "unique_fd.h"

namespace digital_id::test_server {

// A one-way switch that every waiting thread can poll: once triggered, its descriptor stays
// readable for good, so each poll that includes it wakes at once.
class StopSignal {
 public:
  StopSignal();
  // True when the pipe behind the switch could be made.
  bool Valid() const { return readEnd_.Valid() && writeEnd_.Valid(); }
  // Flips the switch; safe from any thread, any number of times.
  void Trigger() const;
  // The descriptor to poll for POLLIN.
  int Fd() const { return readEnd_.Get(); }
  // True once Trigger has been called.
  bool Triggered() const;

 private:
  UniqueFd readEnd_;
  UniqueFd writeEnd_;
};

}  // namespace digital_id::test_server
