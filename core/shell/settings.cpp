#include "core/shell/settings.h"

#include "core/shell/app_state.h"

namespace digital_id {

std::u16string ReadSetting(const SettingKey& key) {
  const AppState& app = App();
  if (app.settingsPath.empty() || key.bufferChars == 0) {
    return {};
  }
  std::u16string value =
      Services().profile->ReadString(std::u16string(kSettingsSection), std::u16string(key.name),
                                     key.bufferChars, app.settingsPath);
  // The buffer holds the terminator too: never hand on more than it could take.
  if (value.size() > key.bufferChars - 1) {
    value.resize(key.bufferChars - 1);
  }
  return value;
}

bool FlagFromText(std::u16string_view value) {
  std::u16string lowered(value);
  for (char16_t& c : lowered) {
    if (c >= u'A' && c <= u'Z') {
      c = static_cast<char16_t>(c - u'A' + u'a');
    }
  }
  return lowered == u"true";
}

namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

std::uint32_t NumberFromText(std::u16string_view value) {
  const std::string text = Narrow(value);
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  unsigned base = 10;
  if (i < text.size() && text[i] == '0') {
    const bool hexPrefix = i + 2 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
                           DigitValue(text[i + 2]) < 16;
    if (hexPrefix) {
      base = 16;
      i += 2;
    } else {
      base = 8;
    }
  }
  constexpr std::uint64_t kMax = 0xFFFFFFFFu;
  std::uint64_t number = 0;
  bool overflow = false;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i]);
    if (digit >= static_cast<int>(base)) break;
    number = number * base + static_cast<unsigned>(digit);
    if (number > kMax) {
      overflow = true;
      number = kMax;
    }
  }
  if (overflow) return static_cast<std::uint32_t>(kMax);
  const auto result = static_cast<std::uint32_t>(number);
  return negative ? static_cast<std::uint32_t>(0u - result) : result;
}

bool Sha256Mode() {
  const AppState& app = App();
  return app.isPostXp.load() != 0 || app.forceSha256.load() != 0;
}

const SettingKey& ModeKey(const SettingKey& sha256Key, const SettingKey& sha1Key) {
  return Sha256Mode() ? sha256Key : sha1Key;
}

bool MachineContext() {
  const AppState& app = App();
  if (app.advanceMode.load() == 0) {
    return false;
  }
  return !Services().windows->IsChecked(app.userRadio);
}

StoreLocation CurrentStoreLocation() {
  return MachineContext() ? StoreLocation::LocalMachine : StoreLocation::CurrentUser;
}

}  // namespace digital_id
