#pragma once

#include <string>

namespace digital_id::test_server {

// The oldest error on this thread's OpenSSL error queue as text (the queue is emptied), or
// "unknown error" when the queue is empty.
std::string TakeOpenSslError();

}  // namespace digital_id::test_server
