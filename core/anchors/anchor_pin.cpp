#include "core/anchors/anchor_pin.h"

#include "base/utf8_text.h"
#include "core/shell/app_state.h"
#include "core/shell/settings.h"

namespace digital_id {

namespace {

// The label openssl puts before a SHA-256 fingerprint ("sha256" or "SHA256" by version).
constexpr std::u16string_view kFingerprintLabel = u"sha256 fingerprint=";

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

char16_t Lowered(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  const char16_t lower = Lowered(c);
  if (lower >= u'a' && lower <= u'f') return lower - u'a' + 10;
  return -1;
}

bool StartsWithLabel(std::u16string_view text) {
  if (text.size() < kFingerprintLabel.size()) return false;
  for (std::size_t i = 0; i < kFingerprintLabel.size(); ++i) {
    if (Lowered(text[i]) != kFingerprintLabel[i]) return false;
  }
  return true;
}

// The 32 bytes that hex digits (colons and blanks already removed) name; nullopt unless they
// are exactly 64 hex digits.
std::optional<Bytes> DigestFromHex(std::u16string_view digits) {
  if (digits.size() != 2 * kPinDigestBytes) return std::nullopt;
  Bytes digest;
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    const int high = HexValue(digits[i]);
    const int low = HexValue(digits[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    digest.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return digest;
}

}  // namespace

AnchorPin ParseAnchorPin(std::u16string_view value) {
  while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
  while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
  AnchorPin pin;
  if (value.empty()) return pin;
  pin.set = true;
  pin.written = std::u16string(value);
  if (StartsWithLabel(value)) value.remove_prefix(kFingerprintLabel.size());
  std::u16string digits;
  for (const char16_t c : value) {
    if (c != u':' && !IsBlank(c)) digits += c;
  }
  pin.digest = DigestFromHex(digits);
  return pin;
}

std::string HexDigits(const Bytes& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const std::uint8_t b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 0x0F];
  }
  return text;
}

bool DownloadMatchesPin(const AnchorParameters& parameters, const Certificate& downloaded) {
  const AnchorPin pin = ParseAnchorPin(ReadSetting(parameters.pinKey));
  if (!pin.set) return true;
  // Always SHA-256: the pin does not follow the SHA-1/SHA-256 mode of the other settings.
  const Bytes received =
      Services().certificates->Thumbprint(ThumbprintAlgorithm::Sha256, downloaded);
  // A digest that cannot be computed matches nothing.
  if (pin.digest && received.size() == kPinDigestBytes && received == *pin.digest) return true;
  // Built by appending: chains of operator+ trip a false -Wrestrict of some GCC versions.
  std::string line = Utf16ToUtf8(parameters.pinKey.name);
  line.append(" does not match the downloaded ").append(parameters.pinnedName);
  line.append(": expected ");
  if (pin.digest) {
    line.append(HexDigits(*pin.digest));
  } else {
    line.append("\"").append(Utf16ToUtf8(pin.written));
    line.append("\" (not a SHA-256 digest of 64 hex digits)");
  }
  line.append(", received ");
  line.append(received.empty() ? std::string("no digest (it could not be computed)")
                               : HexDigits(received));
  Services().windows->ShowNotice(line);
  return false;
}

}  // namespace digital_id
