#pragma once

#include <cstdint>
#include <string>

namespace digital_id::test_server {

// What the client's settings file must say to reach this server.
struct ClientSettings {
  std::string language = "EN";     // Language
  bool advanceMode = false;        // AdvanceMode TRUE or FALSE
  std::string caIssuer;            // CAIssuer: the issuing CA's subject as a simple-name string
  std::string host = "127.0.0.1";  // CAAddress and the expected server name
  std::uint16_t httpPort = 0;      // port of the anchor downloads
  std::uint16_t tlsPort = 0;       // port of the issuance exchange
  std::string caPin;    // CAThumbprint: SHA-256 fingerprint of the issuing CA (empty: none)
  std::string rootPin;  // ROOTCAThumbprint: the same for the root (empty: none)
};

// The text of an app.ini (section AppSettings) that points the client at this server; the pin
// keys are written only when their value is set.
std::string RenderAppIni(const ClientSettings& settings);

}  // namespace digital_id::test_server
