#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>

#include "platform/linux/digest.h"
#include "platform/linux/file_cert_services.h"
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

// The fingerprint the openssl command line prints, as lower-case hex without colons.
std::string OpenSslFingerprint(const std::string& file, const std::string& digest) {
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
  return hex;
}

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

TEST_F(FileCertStoreTest, ThumbprintsEqualTheOpenSslFingerprints) {
  const X509Ptr certificate = MakeSelfSigned("Thumbprint Test");
  const Bytes der = CertificateDer(certificate.get());
  const std::string file = environment.Root() + "/thumb.der";
  ASSERT_TRUE(WriteFile(file, std::string(der.begin(), der.end())));
  const auto loaded = Load(certificate.get());
  ASSERT_TRUE(loaded);
  const Bytes sha1 = services.Thumbprint(ThumbprintAlgorithm::Sha1, *loaded);
  const Bytes sha256 = services.Thumbprint(ThumbprintAlgorithm::Sha256, *loaded);
  EXPECT_EQ(sha1.size(), 20u);
  EXPECT_EQ(sha256.size(), 32u);
  EXPECT_EQ(HexPrefix(sha1, sha1.size()), OpenSslFingerprint(file, "sha1"));
  EXPECT_EQ(HexPrefix(sha256, sha256.size()), OpenSslFingerprint(file, "sha256"));
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

TEST_F(FileCertStoreTest, OnlyExactlyOneDerCertificateIsAccepted) {
  const X509Ptr certificate = MakeSelfSigned("Exact");
  Bytes der = CertificateDer(certificate.get());
  EXPECT_TRUE(services.CreateFromDer(der.data(), der.size()));
  Bytes longer = der;
  longer.push_back(0);
  EXPECT_FALSE(services.CreateFromDer(longer.data(), longer.size()));
  EXPECT_FALSE(services.CreateFromDer(der.data(), der.size() - 1));
  EXPECT_FALSE(services.CreateFromDer(der.data(), 0));
  EXPECT_FALSE(services.CreateFromDer(nullptr, 10));
  const std::string pem = "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n";
  EXPECT_FALSE(
      services.CreateFromDer(reinterpret_cast<const std::uint8_t*>(pem.data()), pem.size()));
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
