#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>

#include "platform/linux/stores/file_cert_services.h"
#include "platform/linux/x509/digest.h"
#include "tests/contracts/cert_services_contract.h"
#include "tests/support/backend_test_support.h"

namespace digital_id::backend_tests {
namespace {

constexpr std::uint64_t kFileTimeTicksPerSecond = 10000000ULL;
constexpr std::uint64_t kUnixEpochSeconds = 11644473600ULL;

class FileCertStoreTest : public ::testing::Test {
 protected:
  CertificatePtr Load(X509* certificate) {
    const Bytes der = CertificateDer(certificate);
    return services.CreateFromDer(der.data(), der.size());
  }
  std::u16string SubjectOf(const Certificate& certificate) {
    return services.NameToSimpleString(certificate.EncodedSubject(), 256);
  }

  ScopedStoreEnvironment environment;
  FileCertServices services;
};

// The contract's test certificates, made once per test program with the openssl command line
// in a scratch folder, as the Windows tests' are.
class ContractCertificates {
 public:
  static const ContractCertificates& Get() {
    static const ContractCertificates made;
    return made;
  }
  // The certificate file of a test certificate.
  std::string File(contracts::ContractCertificate which) const {
    return folder_.Path() +
           (which == contracts::ContractCertificate::Plain ? "/plain.der" : "/names.der");
  }

 private:
  ContractCertificates() {
    const std::string config = folder_.Path() + "/req.cnf";
    EXPECT_TRUE(WriteFile(config, "[req]\ndistinguished_name = dn\nstring_mask = default\n[dn]\n"));
    Make(contracts::ContractCertificate::Plain, "/C=XX/O=Example Org/CN=Contract Store Test A");
    Make(contracts::ContractCertificate::Names,
         "/C=XX/O=Example, Org/OU=Unit A+CN=Multi Value/CN=Say \"Hi\"");
  }
  void Make(contracts::ContractCertificate which, const std::string& subject) const {
    const auto [status, output] = RunCommand(
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout "
        "/dev/null -config " +
        folder_.Path() + "/req.cnf -subj '" + subject + "' -days 30 -outform DER -out " +
        File(which) + " 2>&1");
    EXPECT_EQ(status, 0) << output;
  }

  ScratchFolder folder_;
};

// The fingerprint the openssl command line prints for a DER file, as bytes.
Bytes OpenSslFingerprint(const std::string& file, const std::string& digest) {
  const auto [status, output] =
      RunCommand("openssl x509 -inform DER -in " + file + " -noout -fingerprint -" + digest);
  EXPECT_EQ(status, 0) << output;
  std::string hex;
  const auto equals = output.find('=');
  for (std::size_t i = equals == std::string::npos ? output.size() : equals + 1; i < output.size();
       ++i) {
    if (std::isxdigit(static_cast<unsigned char>(output[i])) != 0) {
      hex.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(output[i]))));
    }
  }
  Bytes bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// The file stores and OpenSSL's certificates in a scratch store environment.
class FileStoreBackend : public contracts::CertServicesBackend {
 public:
  CertServices& Services() override { return services_; }
  Bytes Der(contracts::ContractCertificate which) override {
    const std::string der = ReadFile(ContractCertificates::Get().File(which));
    return Bytes(der.begin(), der.end());
  }
  std::u16string PlainCommonName() override { return u"Contract Store Test A"; }
  Bytes OpenSslFingerprint(contracts::ContractCertificate which,
                           ThumbprintAlgorithm algorithm) override {
    return backend_tests::OpenSslFingerprint(
        ContractCertificates::Get().File(which),
        algorithm == ThumbprintAlgorithm::Sha1 ? "sha1" : "sha256");
  }
  std::u16string ScratchStore() override { return u"ContractTest"; }

 private:
  ScopedStoreEnvironment environment_;
  FileCertServices services_;
};

using contracts::CertServicesContract;
INSTANTIATE_TEST_SUITE_P(FileStore, CertServicesContract,
                         ::testing::Values(contracts::CertServicesBackendFactory{
                             "FileStore", [] { return std::make_unique<FileStoreBackend>(); }}));

TEST_F(FileCertStoreTest, AddedCertificatesAreFoundInInsertionOrderAndDuplicatesCoexist) {
  const X509Ptr alpha = MakeSelfSigned("Alpha Test Root");
  const X509Ptr beta = MakeSelfSigned("Beta Test Root");
  auto store = services.OpenSystemStore(StoreLocation::CurrentUser, u"CA");
  ASSERT_TRUE(store);
  EXPECT_FALSE(store->FindFirstBySubject(u""));
  ASSERT_TRUE(store->Add(*Load(beta.get())));
  ASSERT_TRUE(store->Add(*Load(alpha.get())));
  ASSERT_TRUE(store->Add(*Load(beta.get())));

  // Store order is insertion order: "test" matches beta first.
  const auto first = store->FindFirstBySubject(u"TEST ROOT");
  ASSERT_TRUE(first);
  EXPECT_EQ(SubjectOf(*first), u"Beta Test Root");
  const auto alphaFound = store->FindFirstBySubject(u"alpha");
  ASSERT_TRUE(alphaFound);
  EXPECT_EQ(alphaFound->Encoded(), CertificateDer(alpha.get()));
  EXPECT_FALSE(store->FindFirstBySubject(u"gamma"));

  // Three certificate files and nothing else; the folder is private to the user.
  const auto files = FolderEntries(environment.UserStore("CA"));
  ASSERT_EQ(files.size(), 3u);
  for (const std::string& name : files) {
    EXPECT_TRUE(name.ends_with(".der")) << name;
  }
  EXPECT_EQ(ModeOf(environment.UserStore("CA")), 0700);

  // Deleting the first beta leaves the second one, which now comes after alpha.
  ASSERT_TRUE(store->Delete(store->FindFirstBySubject(u"beta")));
  EXPECT_EQ(FolderEntries(environment.UserStore("CA")).size(), 2u);
  EXPECT_EQ(SubjectOf(*store->FindFirstBySubject(u"root")), u"Alpha Test Root");
  ASSERT_TRUE(store->FindFirstBySubject(u"beta"));

  // A certificate that was not found in this store cannot be deleted from it.
  EXPECT_FALSE(store->Delete(Load(alpha.get())));
  auto other = services.OpenSystemStore(StoreLocation::CurrentUser, u"Root");
  ASSERT_TRUE(other);
  EXPECT_FALSE(other->Delete(store->FindFirstBySubject(u"alpha")));
  EXPECT_EQ(FolderEntries(environment.UserStore("CA")).size(), 2u);
}

TEST_F(FileCertStoreTest, StoresOfTheTwoLocationsAreSeparateAndReopenWithTheirContent) {
  const X509Ptr root = MakeSelfSigned("Machine Root");
  {
    auto machine = services.OpenSystemStore(StoreLocation::LocalMachine, u"root");
    ASSERT_TRUE(machine);
    ASSERT_TRUE(machine->Add(*Load(root.get())));
  }
  auto reopened = services.OpenSystemStore(StoreLocation::LocalMachine, u"Root");
  ASSERT_TRUE(reopened);
  EXPECT_TRUE(reopened->FindFirstBySubject(u"machine"));
  auto user = services.OpenSystemStore(StoreLocation::CurrentUser, u"Root");
  ASSERT_TRUE(user);
  EXPECT_EQ(FolderEntries(environment.MachineStore("Root")).size(), 1u);

  // A user's Root shows the machine's certificates after the user's own, read-only.
  const X509Ptr userRoot = MakeSelfSigned("User Root Machine");
  ASSERT_TRUE(user->Add(*Load(userRoot.get())));
  EXPECT_EQ(FolderEntries(environment.UserStore("Root")).size(), 1u);
  EXPECT_EQ(FolderEntries(environment.MachineStore("Root")).size(), 1u);
  EXPECT_EQ(SubjectOf(*user->FindFirstBySubject(u"machine")), u"User Root Machine");
  auto seenFromUser = user->FindFirstBySubject(u"machine root");
  ASSERT_TRUE(seenFromUser);
  EXPECT_EQ(seenFromUser->Encoded(), CertificateDer(root.get()));
  EXPECT_FALSE(user->Delete(std::move(seenFromUser)));
  EXPECT_EQ(FolderEntries(environment.MachineStore("Root")).size(), 1u);
  // Stores other than CA and Root keep to their location.
  auto machineMy = services.OpenSystemStore(StoreLocation::LocalMachine, u"My");
  ASSERT_TRUE(machineMy && machineMy->Add(*Load(root.get())));
  EXPECT_FALSE(
      services.OpenSystemStore(StoreLocation::CurrentUser, u"My")->FindFirstBySubject(u""));
  const std::vector<Bytes> trusted = TrustedRootsFromStores();
  ASSERT_EQ(trusted.size(), 2u);
  EXPECT_EQ(trusted[0], CertificateDer(userRoot.get()));
  EXPECT_EQ(trusted[1], CertificateDer(root.get()));

  EXPECT_FALSE(services.OpenSystemStore(StoreLocation::CurrentUser, u"../escape"));
  EXPECT_FALSE(services.OpenSystemStore(StoreLocation::CurrentUser, u""));
}

TEST_F(FileCertStoreTest, CertificateFieldsComeFromTheEncodedCertificate) {
  const X509NamePtr issuerName = MakeName({{"CN", "Field Issuer"}});
  const X509NamePtr subjectName = MakeName({{"CN", "Field Subject"}});
  const EvpPkeyPtr issuerKey = MakeEcKey();
  const EvpPkeyPtr subjectKey = MakeEcKey();
  CertificateProfile issuerProfile;
  issuerProfile.subject = issuerName.get();
  issuerProfile.publicKey = issuerKey.get();
  issuerProfile.signingKey = issuerKey.get();
  issuerProfile.extensions = CaExtensions();
  const X509Ptr issuer = MakeCertificate(issuerProfile);
  CertificateProfile profile;
  profile.subject = subjectName.get();
  profile.publicKey = subjectKey.get();
  profile.issuer = issuer.get();
  profile.signingKey = issuerKey.get();
  profile.notBefore = 1577934245;  // 2020-01-02 03:04:05 UTC
  profile.notAfter = 4102444800;   // 2100-01-01 00:00:00 UTC (a generalized time)
  const X509Ptr leaf = MakeCertificate(profile);
  ASSERT_TRUE(leaf);
  const auto loaded = Load(leaf.get());
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->NotBefore(), (1577934245ULL + kUnixEpochSeconds) * kFileTimeTicksPerSecond);
  EXPECT_EQ(loaded->NotAfter(), (4102444800ULL + kUnixEpochSeconds) * kFileTimeTicksPerSecond);
  EXPECT_EQ(loaded->SignatureAlgorithmOid(), "1.2.840.10045.4.3.2");  // ecdsa-with-SHA256
  EXPECT_EQ(loaded->EncodedIssuer(), NameDer(issuerName.get()));
  EXPECT_EQ(loaded->EncodedSubject(), NameDer(subjectName.get()));
  EXPECT_EQ(loaded->Encoded(), CertificateDer(leaf.get()));
}

TEST_F(FileCertStoreTest, AWriteThatFailsMidwayLeavesNoPartialFile) {
  const X509Ptr certificate = MakeSelfSigned("Interrupted Write");
  const auto loaded = Load(certificate.get());
  ASSERT_TRUE(loaded);
  auto store = services.OpenSystemStore(StoreLocation::CurrentUser, u"CA");
  ASSERT_TRUE(store);
  ASSERT_GT(loaded->Encoded().size(), 100u);

  // The child may write at most 100 bytes to any file: the certificate's write fails halfway.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100, 100};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(store->Add(*loaded) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1) << "the add should have failed";
  EXPECT_TRUE(FolderEntries(environment.UserStore("CA")).empty());

  // The store still works afterwards.
  EXPECT_TRUE(store->Add(*loaded));
  EXPECT_EQ(FolderEntries(environment.UserStore("CA")).size(), 1u);
}

TEST_F(FileCertStoreTest, AStoreWithoutWriteRightsDoesNotOpen) {
  const std::string machineRoot = environment.Root() + "/machine";
  ASSERT_EQ(::mkdir(machineRoot.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(environment.MachineStore("CA").c_str(), 0755), 0);
  if (::geteuid() != 0) {
    ASSERT_EQ(::chmod(environment.MachineStore("CA").c_str(), 0555), 0);
    ASSERT_EQ(::chmod(machineRoot.c_str(), 0555), 0);
    EXPECT_FALSE(services.OpenSystemStore(StoreLocation::LocalMachine, u"CA"));
    EXPECT_FALSE(services.OpenSystemStore(StoreLocation::LocalMachine, u"Root"));
    EXPECT_TRUE(services.OpenSystemStore(StoreLocation::CurrentUser, u"CA"));
    return;
  }
  // Root may write anywhere: an unprivileged child tries the folders root owns.
  ASSERT_EQ(::chmod(environment.Root().c_str(), 0755), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
      ::_exit(3);
    }
    const bool existing = services.OpenSystemStore(StoreLocation::LocalMachine, u"CA") != nullptr;
    const bool created = services.OpenSystemStore(StoreLocation::LocalMachine, u"Root") != nullptr;
    ::_exit(existing ? 1 : created ? 2 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: existing store opened, 2: new store created, 3: no drop";
  EXPECT_TRUE(services.OpenSystemStore(StoreLocation::LocalMachine, u"CA"));
}

TEST_F(FileCertStoreTest, AKeyLeftWithoutItsCertificateIsIgnoredAndTidiedAwayButPendingKeysStay) {
  const X509Ptr certificate = MakeSelfSigned("Complete Pair");
  const SecretBytes keyPem = {'k', 'e', 'y'};
  auto personal = services.OpenFileStore(StoreLocation::CurrentUser, u"My");
  auto pending = services.OpenFileStore(StoreLocation::CurrentUser, u"REQUEST");
  ASSERT_TRUE(personal && pending);
  const auto pair = personal->AddWithKey(*Load(certificate.get()), keyPem);
  ASSERT_TRUE(pair);
  ASSERT_TRUE(pending->AddKey("pending", keyPem));
  // What a writer killed between the key and the certificate leaves, and a temporary file.
  const std::string my = environment.UserStore("My");
  ASSERT_TRUE(WriteFile(my + "/0000000009-0123456789abcdef.key", "orphan"));
  ASSERT_TRUE(WriteFile(my + "/.tmp-AbCdEf", "half"));

  const auto keys = personal->Keys();
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].stem, *pair);
  EXPECT_EQ(personal->Certificates().size(), 1u);

  ASSERT_TRUE(services.OpenFileStore(StoreLocation::CurrentUser, u"My"));
  EXPECT_EQ(FolderEntries(my), (std::vector<std::string>{*pair + ".der", *pair + ".key"}));
  ASSERT_TRUE(services.OpenFileStore(StoreLocation::CurrentUser, u"REQUEST"));
  EXPECT_EQ(pending->Keys().size(), 1u);
}

}  // namespace
}  // namespace digital_id::backend_tests
