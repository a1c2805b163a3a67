#pragma once

#include <systemd/sd-bus.h>

#include <memory>

namespace digital_id {

// Closes a bus connection after sending what is queued, and frees it.
struct SdBusCloser {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
// Frees a bus message.
struct SdBusMessageFreer {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};

// Owners of a bus connection and of a message.
using SdBusPtr = std::unique_ptr<sd_bus, SdBusCloser>;
using SdBusMessagePtr = std::unique_ptr<sd_bus_message, SdBusMessageFreer>;

// An error a call may fill in, freed at the end of its scope.
class SdBusError {
 public:
  SdBusError() = default;
  ~SdBusError() { sd_bus_error_free(&error_); }
  SdBusError(const SdBusError&) = delete;
  SdBusError& operator=(const SdBusError&) = delete;
  // The error for a call to fill in.
  sd_bus_error* Get() { return &error_; }

 private:
  sd_bus_error error_ = SD_BUS_ERROR_NULL;
};

}  // namespace digital_id
