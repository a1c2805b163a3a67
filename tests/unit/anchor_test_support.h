#pragma once

#include "core_test_fixture.h"
#include "platform/fake/fake_cert_services.h"

namespace digital_id::testing {

inline constexpr char16_t kRootName[] = u"XX, Example Org, Example Root CA";
inline constexpr char16_t kIssuingName[] = u"XX, Example Org, Example Issuing CA";
inline constexpr char16_t kCaUrl[] = u"http://pki.test/ca.der";
inline constexpr char16_t kRootUrl[] = u"http://pki.test/root.der";

// A current anchor certificate as the test PKI issues it.
inline fake::FakeCertificateData AnchorData(bool root, std::uint64_t now) {
  fake::FakeCertificateData data;
  data.subject = root ? kRootName : kIssuingName;
  data.issuer = kRootName;
  data.notBefore = now - kOneDay;
  data.notAfter = now + 365 * kOneDay;
  data.serial = root ? "root" : "ca";
  return data;
}

// Points the settings at the two anchors and serves them.
inline void ServeAnchors(fake::FakePlatform& fakes) {
  const std::uint64_t now = fakes.system.now.load();
  for (const auto* key : {u"CASHA256IssuerURL", u"CASHA1IssuerURL"}) fakes.profile.Set(key, kCaUrl);
  for (const auto* key : {u"ROOTCASHA256IssuerURL", u"ROOTCASHA1IssuerURL"}) {
    fakes.profile.Set(key, kRootUrl);
  }
  fakes.profile.Set(u"CAIssuer", u"Example Issuing CA");
  fakes.profile.Set(u"DownloadTimeout", u"10000");
  fake::FakeDownload ca;
  ca.content = fake::EncodeFakeCertificate(AnchorData(false, now));
  fakes.downloads.Serve(kCaUrl, ca);
  fake::FakeDownload root;
  root.content = fake::EncodeFakeCertificate(AnchorData(true, now));
  fakes.downloads.Serve(kRootUrl, root);
}

}  // namespace digital_id::testing
