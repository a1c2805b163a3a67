// Feeds arbitrary settings files to the INI reader and every value it finds to the conversions
// the settings go through (flags, numbers, the language rule).
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/shell/localised_text.h"
#include "core/shell/settings.h"
#include "fuzz/fuzz_input.h"
#include "platform/linux/system/ini_profile.h"

namespace digital_id {
namespace {

// Runs each conversion over one value and checks what the rules promise.
void ConvertValue(std::u16string_view value) {
  if (FlagFromText(value)) {
    fuzzing::Require(value.size() == 4);
  }
  const std::uint32_t number = NumberFromText(value);
  if (value.empty()) {
    fuzzing::Require(number == 0);
  }
  if (LanguageFromSetting(value) == Language::French) {
    fuzzing::Require(value == u"FR");
  }
  const std::string narrow = Narrow(value);
  fuzzing::Require(narrow.size() == value.size());
  fuzzing::Require(WidenLatin1(narrow).size() == narrow.size());
}

}  // namespace
}  // namespace digital_id

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace digital_id;
  const std::string bytes(fuzzing::AsText(data, size));
  const std::u16string text = DecodeIniText(bytes);
  for (const SettingKey* key :
       {&keys::kAdvanceMode, &keys::kForceSha256, &keys::kLanguage, &keys::kDownloadTimeout,
        &keys::kCaIssuer, &keys::kCaTcpPortSha256, &keys::kCaFeCertNameSha256}) {
    const std::u16string value =
        FindIniValue(text, std::u16string(kSettingsSection), std::u16string(key->name));
    ConvertValue(value);
  }
  // The raw bytes as one value too, both as 8-bit text and as UTF-16.
  ConvertValue(WidenLatin1(fuzzing::AsText(data, size)));
  ConvertValue(fuzzing::AsUtf16(data, size));
  return 0;
}
