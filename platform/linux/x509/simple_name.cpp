#include "platform/linux/x509/simple_name.h"

#include <openssl/asn1.h>
#include <openssl/x509.h>

#include <climits>
#include <string_view>

#include "base/utf8_text.h"
#include "platform/linux/x509/openssl_handles.h"

namespace digital_id {

namespace {

// Each byte as the character of the same value (8-bit strings).
std::u16string Latin1ToUtf16(std::string_view bytes) {
  std::u16string result;
  result.reserve(bytes.size());
  for (const char byte : bytes) {
    result.push_back(static_cast<char16_t>(static_cast<unsigned char>(byte)));
  }
  return result;
}

// Big-endian code units of width bytes each (BMPString 2, UniversalString 4).
std::u16string BigEndianToUtf16(std::string_view bytes, std::size_t width) {
  std::u16string result;
  for (std::size_t index = 0; index + width <= bytes.size(); index += width) {
    char32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
      value = (value << 8) | static_cast<unsigned char>(bytes[index + i]);
    }
    if (width == 2) {
      result.push_back(static_cast<char16_t>(value));
    } else {
      AppendCodePoint(result, value);
    }
  }
  return result;
}

// The text of one attribute value according to its ASN.1 string type.
std::u16string ValueText(const ASN1_STRING* value) {
  if (value == nullptr) {
    return {};
  }
  const auto* data = reinterpret_cast<const char*>(ASN1_STRING_get0_data(value));
  const int length = ASN1_STRING_length(value);
  const std::string_view bytes = data != nullptr && length > 0
                                     ? std::string_view(data, static_cast<std::size_t>(length))
                                     : std::string_view();
  switch (ASN1_STRING_type(value)) {
    case V_ASN1_BMPSTRING:
      return BigEndianToUtf16(bytes, 2);
    case V_ASN1_UNIVERSALSTRING:
      return BigEndianToUtf16(bytes, 4);
    case V_ASN1_UTF8STRING:
    case V_ASN1_T61STRING: {
      // Teletex strings are read as UTF-8 when they are well-formed UTF-8, else as 8-bit text.
      auto utf16 = Utf8ToUtf16(bytes);
      return utf16 ? *utf16 : Latin1ToUtf16(bytes);
    }
    default:
      return Latin1ToUtf16(bytes);
  }
}

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

// A value is quoted when it is empty, starts or ends with white space, or holds a character that
// has a meaning in the string form of a name.
bool NeedsQuotes(const std::u16string& value) {
  if (value.empty() || IsSpace(value.front()) || IsSpace(value.back())) {
    return true;
  }
  return value.find_first_of(u",+=\"\n<>#;") != std::u16string::npos;
}

void AppendValue(std::u16string& out, const std::u16string& value) {
  if (!NeedsQuotes(value)) {
    out += value;
    return;
  }
  out.push_back(u'"');
  for (const char16_t c : value) {
    out.push_back(c);
    if (c == u'"') {
      out.push_back(u'"');
    }
  }
  out.push_back(u'"');
}

}  // namespace

std::u16string RenderSimpleName(const Bytes& encodedName, std::size_t bufferChars) {
  if (bufferChars == 0 || encodedName.empty() ||
      encodedName.size() > static_cast<std::size_t>(LONG_MAX)) {
    return {};
  }
  const unsigned char* cursor = encodedName.data();
  X509NamePtr name(d2i_X509_NAME(nullptr, &cursor, static_cast<long>(encodedName.size())));
  if (!name || cursor != encodedName.data() + encodedName.size()) {
    return {};
  }
  std::u16string out;
  int previousSet = -1;
  const int count = X509_NAME_entry_count(name.get());
  for (int index = 0; index < count; ++index) {
    const X509_NAME_ENTRY* entry = X509_NAME_get_entry(name.get(), index);
    const int set = X509_NAME_ENTRY_set(entry);
    if (index > 0) {
      out += set == previousSet ? u" + " : u", ";
    }
    previousSet = set;
    AppendValue(out, ValueText(X509_NAME_ENTRY_get_data(entry)));
  }
  if (out.size() > bufferChars - 1) {
    out.resize(bufferChars - 1);
  }
  return out;
}

}  // namespace digital_id
