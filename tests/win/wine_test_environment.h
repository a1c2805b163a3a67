#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace digital_id::wine_test {

// The folder of the Wine fixture (DIGITAL_ID_WINE_FIXTURE), ending in a backslash; empty when
// the tests run without it.
std::wstring FixtureFolder();

// A variable of the process environment, or else the value the Wine fixture wrote for it into
// environment.txt of its folder (NAME=VALUE lines); empty when neither has it.
std::wstring Environment(const wchar_t* name);

// The folder the Wine fixture prepared with test certificates, their openssl fingerprints and
// the test issuing server's anchors (DIGITAL_ID_WINE_DATA), ending in a backslash.
std::wstring DataFolder();

// The whole content of a file; empty when it cannot be read.
std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path);

// A hexadecimal text (openssl's "AB:CD:..." fingerprint with or without colons) as bytes.
std::vector<std::uint8_t> BytesFromHex(const std::string& hex);

// Writes text to a file, replacing it; false when that fails.
bool WriteTextFile(const std::wstring& path, const std::string& text);

// A fresh empty folder under the temporary folder, named after the given stem.
std::wstring MakeTemporaryFolder(const std::wstring& stem);

}  // namespace digital_id::wine_test
