#pragma once

#include <string_view>

#include "core/shell/localised_text.h"
#include "core/shell/run_outcome.h"
#include "core/shell/settings.h"
#include "platform/cert_store.h"

namespace digital_id {

// The two trust anchors: the issuing CA certificate and the root certificate.
enum class AnchorKind { Ca, Root };

// Everything in which the CA and the root variants of the anchor operations differ.
struct AnchorParameters {
  std::u16string_view storeName;  // system store the anchor lives in
  SettingKey sha256UrlKey;        // download address in SHA-256 mode
  SettingKey sha1UrlKey;          // download address otherwise
  SettingKey pinKey;              // SHA-256 digest the download must have, when set
  std::string_view pinnedName;    // what the pin names, in a notice ("root certificate")
  TextPair downloadingText;       // status while downloading
  TextPair downloadFailedText;    // detail when the download failed
  TextPair checkingText;          // status while checking the stored copy
  TextPair passingText;           // detail when the stored copy passes
  TextPair notFoundText;          // detail when no stored copy passes
  TextPair installingText;        // status before the add
  TextPair beforeAddDetail;       // detail before the add
  TextPair installFailedText;     // status when the add fails
  TextPair installFailedDetail;   // detail when the add fails
  bool reportsUnopenableStore;    // a store that does not open gets the administrator text
  // The kind's download (DownloadCaCertificate, DownloadRootCertificate): the certificate, or
  // null with the run ended.
  StepEnd (*download)(CertificatePtr& certificate);
  // The kind's installation (InstallCaCertificate, InstallRootCertificate).
  StepEnd (*install)(const Certificate& certificate);
};

// The parameters of one kind.
const AnchorParameters& ParametersOf(AnchorKind kind);

}  // namespace digital_id
