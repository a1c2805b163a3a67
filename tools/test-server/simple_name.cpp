#include "simple_name.h"

#include <openssl/crypto.h>

#include <string_view>

namespace digital_id::test_server {

namespace {

bool NeedsQuotes(const std::string& value) {
  if (value.empty()) return false;
  if (value.front() == ' ' || value.back() == ' ') return true;
  return value.find_first_of(",+=\"\r\n<>#;") != std::string::npos;
}

std::string QuoteIfNeeded(const std::string& value) {
  if (!NeedsQuotes(value)) return value;
  std::string quoted = "\"";
  for (const char c : value) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + "\"";
}

std::string EntryValue(const X509_NAME_ENTRY* entry) {
  unsigned char* utf8 = nullptr;
  const int length = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(entry));
  if (length < 0 || utf8 == nullptr) return {};
  std::string value(reinterpret_cast<const char*>(utf8), static_cast<std::size_t>(length));
  OPENSSL_free(utf8);
  return value;
}

}  // namespace

std::string RenderSimpleName(const X509_NAME* name) {
  std::string text;
  const int count = X509_NAME_entry_count(name);
  int previousSet = -1;
  for (int i = 0; i < count; ++i) {
    const X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, i);
    const int set = X509_NAME_ENTRY_set(entry);
    if (i > 0) text += set == previousSet ? " + " : ", ";
    previousSet = set;
    text += QuoteIfNeeded(EntryValue(entry));
  }
  return text;
}

}  // namespace digital_id::test_server
