#include "core/anchors/bind_status_callback.h"

namespace digital_id {

HResult MyBindStatusCallback::OnProgress(std::uint32_t /*progress*/, std::uint32_t /*progressMax*/,
                                         std::uint32_t /*statusCode*/,
                                         const char16_t* /*statusText*/) {
  return abortRequested.load() != 0 ? kEAbort : kSOk;
}

}  // namespace digital_id
