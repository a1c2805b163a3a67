#include "platform/linux/publish/system_trust.h"

#include <openssl/pem.h>
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>

#include "platform/linux/publish/publication_paths.h"
#include "platform/linux/stores/atomic_file.h"
#include "platform/linux/stores/issued_identity.h"
#include "platform/linux/system/command_runner.h"
#include "platform/linux/system/privileged_run.h"
#include "platform/linux/x509/digest.h"

namespace digital_id {

namespace {

constexpr std::size_t kFingerprintBytes = 8;
constexpr std::size_t kMaxNameChars = 48;

Bytes PemOf(X509* certificate) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_X509(bio.get(), certificate) != 1) {
    return {};
  }
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  return length > 0 && data != nullptr ? Bytes(data, data + length) : Bytes();
}

// The first line of a command's complaint, for the report.
std::string FirstLine(const std::string& text) {
  const std::string line = text.substr(0, text.find('\n'));
  return line.empty() ? "no message" : line;
}

// A private temporary folder, removed with its content on destruction.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (TemporaryFolder() / "digital-id-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
      path_ = pattern;
    }
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) {
      std::filesystem::remove_all(path_, ignored);
    }
  }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Stores the anchor through p11-kit; empty when it did, else why not.
std::string StoreWithP11Kit(const std::vector<std::string>& trust, const Bytes& pem) {
  const ScratchFolder scratch;
  const std::filesystem::path file = scratch.Path() / "anchor.pem";
  if (scratch.Path().empty() ||
      WriteFileAtomically(file, pem, 0644, Placement::Replace) != WriteOutcome::Written) {
    return "cannot write a temporary file";
  }
  std::vector<std::string> words = trust;
  words.insert(words.end(), {"anchor", "--store", file.string()});
  const CommandResult result = RunCommandWords(words);
  return result.exitCode == 0
             ? std::string()
             : trust.front() + " anchor --store failed: " + FirstLine(result.errors);
}

}  // namespace

std::string SystemTrustFileName(X509* anchor) {
  std::string name;
  for (const char c : CommonNameOf(anchor)) {
    const auto byte = static_cast<unsigned char>(c);
    if (name.size() < kMaxNameChars) {
      name.push_back(std::isalnum(byte) != 0 ? static_cast<char>(std::tolower(byte)) : '-');
    }
  }
  unsigned char* der = nullptr;
  const int length = i2d_X509(anchor, &der);
  Bytes digest;
  if (length > 0 && der != nullptr) {
    digest = ComputeDigest(ThumbprintAlgorithm::Sha256, der, static_cast<std::size_t>(length));
  }
  OPENSSL_free(der);
  return "digital-id-" + (name.empty() ? std::string("anchor") : name) + "-" +
         HexPrefix(digest, kFingerprintBytes) + ".crt";
}

SystemTrustResult AddToSystemTrust(X509* anchor) {
  using Outcome = PublicationOutcome;
  try {
    const Bytes pem = PemOf(anchor);
    if (pem.empty()) {
      return {Outcome::Failed, "cannot encode the certificate"};
    }
    const SystemTrustTargets targets = CurrentSystemTrustTargets();
    if (!targets.refusal.empty()) {
      return {Outcome::Failed, targets.refusal + " (unsafe override)"};
    }
    std::string p11KitProblem;
    if (!targets.p11KitTrust.empty()) {
      p11KitProblem = StoreWithP11Kit(targets.p11KitTrust, pem);
      if (p11KitProblem.empty()) {
        return {Outcome::Published, "p11-kit trust anchor"};
      }
    }
    if (!targets.anchorFolder) {
      if (!p11KitProblem.empty()) {
        return {Outcome::Failed, p11KitProblem};
      }
      return {Outcome::Skipped,
              "no system trust named for relocated machine stores (set "
              "DIGITAL_ID_SYSTEM_TRUST_DIR or DIGITAL_ID_TRUST_COMMAND)"};
    }
    const std::filesystem::path file = *targets.anchorFolder / SystemTrustFileName(anchor);
    std::error_code error;
    if (!std::filesystem::is_directory(*targets.anchorFolder, error)) {
      std::filesystem::create_directories(*targets.anchorFolder, error);
    }
    if (WriteFileAtomically(file, pem, 0644, Placement::Replace) != WriteOutcome::Written) {
      return {Outcome::Failed, "cannot write " + file.string()};
    }
    if (!targets.updateCommand.empty()) {
      const CommandResult update = RunCommandWords(targets.updateCommand);
      if (update.exitCode != 0) {
        return {Outcome::Failed, file.string() + " written, but " + targets.updateCommand.front() +
                                     " failed: " + FirstLine(update.errors)};
      }
    }
    return {Outcome::Published, file.string()};
  } catch (...) {
    return {Outcome::Failed, "out of memory"};
  }
}

}  // namespace digital_id
