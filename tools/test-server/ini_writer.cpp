#include "ini_writer.h"

namespace digital_id::test_server {

std::string RenderAppIni(const ClientSettings& settings) {
  const std::string http = "http://127.0.0.1:" + std::to_string(settings.httpPort);
  const std::string tlsPort = std::to_string(settings.tlsPort);
  std::string text = "[AppSettings]\n";
  const auto add = [&text](const char* key, const std::string& value) {
    text += std::string(key) + "=" + value + "\n";
  };
  add("Language", settings.language);
  add("AdvanceMode", settings.advanceMode ? "TRUE" : "FALSE");
  add("ForceSHA256", "FALSE");
  add("SendReceiveTimeout", "10000");
  add("DownloadTimeout", "10000");
  add("ConnectionTimeout", "5000");
  add("CAIssuer", settings.caIssuer);
  add("CASHA256IssuerURL", http + "/ca.der");
  add("CASHA1IssuerURL", http + "/ca.der");
  add("ROOTCASHA256IssuerURL", http + "/root.der");
  add("ROOTCASHA1IssuerURL", http + "/root.der");
  add("CAAddress", settings.host);
  add("CATCPPortSHA256", tlsPort);
  add("CATCPPortSHA1", tlsPort);
  add("CAFECertNameSHA256", settings.host);
  add("CAFECertNameSHA1", settings.host);
  // The anchors come over plain HTTP: the pins are what makes a planted copy fail.
  if (!settings.caPin.empty()) add("CAThumbprint", settings.caPin);
  if (!settings.rootPin.empty()) add("ROOTCAThumbprint", settings.rootPin);
  return text;
}

}  // namespace digital_id::test_server
