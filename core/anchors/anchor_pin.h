#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/anchors/anchor_kind.h"
#include "platform/cert_store.h"

namespace digital_id {

// Length of a pinned digest: SHA-256, whatever the mode.
inline constexpr std::size_t kPinDigestBytes = 32;

// An anchor pin as the settings file gives it.
struct AnchorPin {
  // False when the value is absent or blank: the download is taken as it comes.
  bool set = false;
  // The digest the value names; nullopt when it is set but not 64 hex digits, a pin that no
  // certificate matches.
  std::optional<Bytes> digest;
  // The value as written, for a notice.
  std::u16string written;
};

// Reads a pin value: blanks around it are dropped, then an optional leading label
// "SHA256 Fingerprint=" (any case, as openssl prints it), then every colon and blank inside;
// what is left must be 64 hex digits of either case.
AnchorPin ParseAnchorPin(std::u16string_view value);

// Upper-case hex of bytes, two digits a byte, nothing between them.
std::string HexDigits(const Bytes& bytes);

// True when the kind has no pin or the downloaded certificate's SHA-256 digest is the pinned
// one. On a mismatch the front end gets one notice line naming the setting and both digests.
bool DownloadMatchesPin(const AnchorParameters& parameters, const Certificate& downloaded);

}  // namespace digital_id
