#pragma once

#include <filesystem>
#include <string>

#include "platform/cert_store.h"

namespace digital_id::tls_test {

// A throw-away PKI in a temporary folder, made once per test program: a root, an intermediate,
// leaves for localhost and 127.0.0.1 (valid, expired, for another name) sharing one key, and a
// self-signed certificate. Names are PrintableStrings, signatures sha256RSA.
class TestPki {
 public:
  // The PKI of this test program, made on first use.
  static const TestPki& Get();

  // The folder that holds the PEM files below.
  const std::filesystem::path& Folder() const { return folder_; }
  // DER of the root, for the engine's extra roots.
  const Bytes& RootDer() const { return rootDer_; }
  // DER of the valid leaf.
  const Bytes& GoodLeafDer() const { return goodLeafDer_; }

  // Paths of the PEM files: the key the leaves share, the intermediate, the leaves (valid,
  // expired, naming wrong.example) and the self-signed certificate for localhost.
  std::string LeafKey() const { return File("leaf-key.pem"); }
  std::string Intermediate() const { return File("intermediate.pem"); }
  std::string GoodLeaf() const { return File("leaf-good.pem"); }
  std::string ExpiredLeaf() const { return File("leaf-expired.pem"); }
  std::string WrongNameLeaf() const { return File("leaf-wrong-name.pem"); }
  std::string SelfSigned() const { return File("self-signed.pem"); }

  // Removes the folder.
  ~TestPki();
  TestPki(const TestPki&) = delete;
  TestPki& operator=(const TestPki&) = delete;

 private:
  TestPki();
  std::string File(const char* name) const { return (folder_ / name).string(); }

  std::filesystem::path folder_;
  Bytes rootDer_;
  Bytes goodLeafDer_;
};

}  // namespace digital_id::tls_test
