#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/latin1_text.h"
#include "platform/cert_store.h"

namespace digital_id {

// A key of section AppSettings with the size of its value buffer (terminator included).
struct SettingKey {
  std::u16string_view name;
  std::size_t bufferChars;
};

// The keys of the settings file.
namespace keys {
inline constexpr SettingKey kAdvanceMode{u"AdvanceMode", 10};
inline constexpr SettingKey kForceSha256{u"ForceSHA256", 10};
inline constexpr SettingKey kLanguage{u"Language", 4};
inline constexpr SettingKey kSendReceiveTimeout{u"SendReceiveTimeout", 10};
inline constexpr SettingKey kCaIssuer{u"CAIssuer", 256};
inline constexpr SettingKey kCaSha256IssuerUrl{u"CASHA256IssuerURL", 256};
inline constexpr SettingKey kCaSha1IssuerUrl{u"CASHA1IssuerURL", 256};
inline constexpr SettingKey kRootSha256IssuerUrl{u"ROOTCASHA256IssuerURL", 256};
inline constexpr SettingKey kRootSha1IssuerUrl{u"ROOTCASHA1IssuerURL", 256};
inline constexpr SettingKey kDownloadTimeout{u"DownloadTimeout", 10};
inline constexpr SettingKey kCaAddress{u"CAAddress", 100};
inline constexpr SettingKey kCaTcpPortSha256{u"CATCPPortSHA256", 6};
inline constexpr SettingKey kCaTcpPortSha1{u"CATCPPortSHA1", 6};
inline constexpr SettingKey kConnectionTimeout{u"ConnectionTimeout", 10};
inline constexpr SettingKey kCaFeCertNameSha256{u"CAFECertNameSHA256", 128};
inline constexpr SettingKey kCaFeCertNameSha1{u"CAFECertNameSHA1", 128};
// Optional SHA-256 pins of the two anchors (hex, as openssl prints a fingerprint); the same in
// both modes. Room for the whole line openssl prints, label and colons included.
inline constexpr SettingKey kCaThumbprint{u"CAThumbprint", 256};
inline constexpr SettingKey kRootCaThumbprint{u"ROOTCAThumbprint", 256};
}  // namespace keys

// The section every key lives in.
inline constexpr std::u16string_view kSettingsSection = u"AppSettings";
// The settings file's name in the current directory.
inline constexpr std::u16string_view kSettingsFileName = u"app.ini";

// Reads a key from the settings file now (nothing is cached); at most bufferChars - 1
// characters, empty when the key, the section or the file is missing.
std::u16string ReadSetting(const SettingKey& key);

// The flag rule: A-Z lower-cased, and the whole value must be "true".
bool FlagFromText(std::u16string_view value);

// The number rule: narrowed, then parsed as an unsigned 32-bit integer with automatic base
// ("0x" hexadecimal, "0" octal, else decimal) up to the first character that does not belong to
// the number; empty or non-numeric gives 0, a leading "-" negates modulo 2^32, overflow
// saturates at 4294967295.
std::uint32_t NumberFromText(std::u16string_view value);

// True in SHA-256 mode: the operating system is post-XP or ForceSHA256 is true.
bool Sha256Mode();

// The SHA-256 twin of a key in SHA-256 mode, else its SHA-1 twin.
const SettingKey& ModeKey(const SettingKey& sha256Key, const SettingKey& sha1Key);

// True in machine context: advance mode is on and the User radio button is not checked. Asks the
// radio button anew at every call.
bool MachineContext();

// The store location of the current context.
StoreLocation CurrentStoreLocation();

}  // namespace digital_id
