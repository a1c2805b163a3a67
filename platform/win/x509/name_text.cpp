#include "platform/win/x509/name_text.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/utf8_text.h"
#include "platform/win/wide_text.h"

namespace digital_id {

namespace {

// One attribute of a name, and whether it starts a relative name of its own.
struct Attribute {
  std::string key;
  std::string value;
  bool startsRelativeName = true;
};

// CryptoAPI's X.500 attribute names whose OpenSSL short names differ.
constexpr std::pair<std::string_view, std::string_view> kOpenSslNames[] = {
    {"S", "ST"},
    {"E", "emailAddress"},
    {"STREET", "street"},
    {"T", "title"},
    {"G", "GN"},
    {"I", "initials"},
    {"SERIALNUMBER", "serialNumber"}};

std::string OpenSslName(const std::string& key) {
  for (const auto& [x500, openSsl] : kOpenSslNames) {
    if (key == x500) {
      return std::string(openSsl);
    }
  }
  // An attribute CryptoAPI has no name for comes as "OID.1.2.3"; OpenSSL writes the bare number.
  return key.rfind("OID.", 0) == 0 ? key.substr(4) : key;
}

// A value escaped as OpenSSL's RFC 2253 form escapes it.
std::string Escaped(const std::string& value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const auto byte = static_cast<unsigned char>(value[i]);
    const bool edge =
        (i == 0 && (byte == '#' || byte == ' ')) || (i + 1 == value.size() && byte == ' ');
    if (byte < 0x20 || byte == 0x7F) {
      out += '\\';
      out += kDigits[byte >> 4];
      out += kDigits[byte & 0x0F];
      continue;
    }
    if (edge ||
        std::string_view(",+\"\\<>;").find(static_cast<char>(byte)) != std::string_view::npos) {
      out += '\\';
    }
    out += static_cast<char>(byte);
  }
  return out;
}

// The attributes of an X.500 text in its order; empty when the text does not read as one.
std::vector<Attribute> Attributes(std::u16string_view text) {
  std::vector<Attribute> attributes;
  std::size_t at = 0;
  bool startsRelativeName = true;
  while (at < text.size()) {
    const std::size_t equals = text.find(u'=', at);
    if (equals == std::u16string_view::npos) {
      return {};
    }
    Attribute attribute;
    attribute.key = Utf16ToUtf8(text.substr(at, equals - at));
    attribute.startsRelativeName = startsRelativeName;
    at = equals + 1;
    std::u16string value;
    if (at < text.size() && text[at] == u'"') {
      // A quoted value ends at a quote that is not doubled.
      for (++at;; ++at) {
        if (at >= text.size()) {
          return {};
        }
        if (text[at] == u'"') {
          if (at + 1 < text.size() && text[at + 1] == u'"') {
            value += u'"';
            ++at;
            continue;
          }
          ++at;
          break;
        }
        value += text[at];
      }
    } else {
      // A plain value holds no comma or plus (those are quoted) and ends with no blank of its
      // own: a blank before a plus belongs to the separator.
      const std::size_t end = std::min(text.find(u',', at), text.find(u'+', at));
      value = text.substr(at, (end == std::u16string_view::npos ? text.size() : end) - at);
      at = end == std::u16string_view::npos ? text.size() : end;
      if (!value.empty() && value.back() == u' ' && at < text.size() && text[at] == u'+') {
        value.pop_back();
      }
    }
    attribute.value = Utf16ToUtf8(value);
    attributes.push_back(std::move(attribute));
    // The separator: ", " between relative names, " + " inside one.
    while (at < text.size() && text[at] == u' ') {
      ++at;
    }
    if (at < text.size()) {
      if (text[at] != u',' && text[at] != u'+') {
        return {};
      }
      startsRelativeName = text[at] == u',';
      ++at;
      while (at < text.size() && text[at] == u' ') {
        ++at;
      }
    }
  }
  return attributes;
}

}  // namespace

std::string NameTextFromX500(std::u16string_view x500) {
  const std::vector<Attribute> attributes = Attributes(x500);
  std::string out;
  // The last attribute first; "+" joins it to the next one printed when both are of one
  // relative name.
  for (std::size_t i = attributes.size(); i > 0; --i) {
    const Attribute& attribute = attributes[i - 1];
    if (i < attributes.size()) {
      out += attributes[i].startsRelativeName ? "," : "+";
    }
    out += OpenSslName(attribute.key) + "=" + Escaped(attribute.value);
  }
  return out;
}

std::string NameText(CERT_NAME_BLOB& name) {
  constexpr DWORD kStyle = CERT_X500_NAME_STR;
  const DWORD chars = CertNameToStrW(X509_ASN_ENCODING, &name, kStyle, nullptr, 0);
  if (chars <= 1) {
    return {};
  }
  std::wstring text(chars, L'\0');
  const DWORD written = CertNameToStrW(X509_ASN_ENCODING, &name, kStyle, text.data(), chars);
  if (written == 0) {
    return {};
  }
  text.resize(std::min<DWORD>(written, chars) - 1);
  return NameTextFromX500(FromWide(text));
}

}  // namespace digital_id
