#pragma once

#include <windows.h>

#include <wincrypt.h>

#include <string>
#include <string_view>

namespace digital_id {

// A distinguished name as one line of UTF-8, written as the Linux backend writes it (OpenSSL's
// RFC 2253 form without escaping bytes above 0x7F): the last attribute first, "," between
// relative names and "+" inside one, OpenSSL's short attribute names ("CN", "O", "ST",
// "emailAddress"), and the characters , + " \ < > ; escaped with a backslash (also a leading #
// or blank and a trailing blank; control characters as \XX). Empty when the name cannot be read.
std::string NameText(CERT_NAME_BLOB& name);

// The same from CryptoAPI's X.500 text of a name in encoding order (CertNameToStrW with
// CERT_X500_NAME_STR: ", " between relative names, " + " inside one, values that hold special
// characters in double quotes with "" for a quote).
std::string NameTextFromX500(std::u16string_view x500);

}  // namespace digital_id
