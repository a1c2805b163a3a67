#pragma once

#include <cstdint>
#include <string>

namespace digital_id {

// Which family of enrollment objects makes the key and installs the response.
enum class EnrollmentPath {
  Modern,  // key, PKCS #10 request and enrollment objects
  Legacy,  // the older enrollment control
};

// Whose key and stores an enrollment uses: the current user's or the local machine's.
enum class EnrollmentContext {
  User,
  Machine,
};

// The platform's certificate-enrollment objects.
class EnrollmentObjects {
 public:
  virtual ~EnrollmentObjects() = default;

  // Makes a fresh exportable key pair and a PKCS #10 request for it, records the pending request
  // in the chosen context and returns the request's plain Base64 (line breaks as the platform
  // inserts them). Empty when any step fails.
  virtual std::u16string CreateRequest(EnrollmentPath path, EnrollmentContext context) = 0;
  // Installs a Base64 response (with or without header lines) for a pending request of the
  // chosen context. Returns the platform's result code: 0 on success.
  virtual std::int32_t InstallResponse(EnrollmentPath path, EnrollmentContext context,
                                       const std::u16string& response) = 0;
};

}  // namespace digital_id
