// Publication of installed identities for other programs: the identity files, the NSS databases
// of the user (read back with certutil), the inventory of what was published and its removal,
// the PKCS #12 export (read back with openssl and imported
// with pk12util), the machine's system trust through its overrides, trust only for the root that
// also anchored the server, escaped names, and failures that never turn an installation into a
// failure.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "platform/linux/enrollment/base64_text.h"
#include "platform/linux/enrollment/openssl_enrollment_objects.h"
#include "platform/linux/publish/identity_inventory.h"
#include "platform/linux/publish/identity_publisher.h"
#include "platform/linux/publish/identity_removal.h"
#include "platform/linux/publish/pkcs12_export.h"
#include "platform/linux/x509/openssl_certificate.h"
#include "tests/support/backend_test_support.h"

namespace digital_id::backend_tests {
namespace {

namespace fs = std::filesystem;

// The certificates of a PEM file, in file order.
std::vector<X509Ptr> PemCertificates(const std::string& file) {
  const std::string text = ReadFile(file);
  BioPtr bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
  std::vector<X509Ptr> certificates;
  while (X509* certificate = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)) {
    certificates.emplace_back(certificate);
  }
  return certificates;
}

// certutil's listing of a database: -L (certificates and trust) or -K (keys).
std::string Certutil(const std::string& listing, const std::string& folder) {
  const auto [status, output] = RunCommand("certutil " + listing + " -d sql:" + folder + " 2>&1");
  EXPECT_EQ(status, 0) << output;
  return output;
}

// True when certutil -L shows nickname with exactly this trust.
bool HasTrust(const std::string& listing, const std::string& nickname, const std::string& trust) {
  return std::regex_search(listing, std::regex("\n" + nickname + " +" + trust + " *\n"));
}

// How often text occurs in a listing.
std::size_t Occurrences(const std::string& listing, const std::string& text) {
  std::size_t count = 0;
  for (std::size_t at = listing.find(text); at != std::string::npos;
       at = listing.find(text, at + 1)) {
    ++count;
  }
  return count;
}

// A child process that holds a write lock on a file (fcntl, as Firefox locks .parentlock)
// until destruction.
class ParentLockHolder {
 public:
  explicit ParentLockHolder(const std::string& file) {
    int ends[2] = {-1, -1};
    if (::pipe(ends) != 0) return;
    child_ = ::fork();
    if (child_ == 0) {
      const int fd = ::open(file.c_str(), O_RDWR | O_CREAT, 0600);
      struct flock lock {};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;
      const char held = fd >= 0 && ::fcntl(fd, F_SETLKW, &lock) == 0 ? 1 : 0;
      if (::write(ends[1], &held, 1) != 1) ::_exit(1);  // the parent then sees no lock held
      ::pause();
      ::_exit(0);
    }
    char held = 0;
    holding_ = child_ > 0 && ::read(ends[0], &held, 1) == 1 && held == 1;
    ::close(ends[0]);
    ::close(ends[1]);
  }
  ~ParentLockHolder() {
    if (child_ > 0) {
      ::kill(child_, SIGKILL);
      ::waitpid(child_, nullptr, 0);
    }
  }
  ParentLockHolder(const ParentLockHolder&) = delete;
  ParentLockHolder& operator=(const ParentLockHolder&) = delete;
  // True once the child holds the lock.
  bool Holding() const { return holding_; }

 private:
  pid_t child_ = -1;
  bool holding_ = false;
};

class IdentityPublicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // As after a handshake with a server whose chain ends in the test root.
    serverAnchor.Set(CertificateDer(ca.Root()));
  }

  // A request in the context, a leaf issued for it by the test CA, and its installation; the
  // leaf, or null when the installation did not answer 0.
  X509Ptr Enroll(EnrollmentContext context, const std::string& commonName) {
    const std::u16string request = objects.CreateRequest(EnrollmentPath::Modern, context);
    const auto der = DecodeBase64Any(std::string(request.begin(), request.end()));
    if (!der) return nullptr;
    const unsigned char* cursor = der->data();
    X509ReqPtr parsed(d2i_X509_REQ(nullptr, &cursor, static_cast<long>(der->size())));
    X509Ptr leaf = parsed ? ca.Issue(X509_REQ_get0_pubkey(parsed.get()), commonName) : nullptr;
    if (!leaf) return nullptr;
    const std::string base64 = EncodeBase64Lines(ca.ChainResponse(leaf.get()));
    const std::int32_t result = objects.InstallResponse(
        EnrollmentPath::Modern, context, std::u16string(base64.begin(), base64.end()));
    return result == 0 ? std::move(leaf) : nullptr;
  }

  // Adds the test root to the Root store of a location, as the anchor installation does.
  bool AddRoot(StoreLocation location) {
    auto store = services.OpenSystemStore(location, u"Root");
    const Bytes der = CertificateDer(ca.Root());
    const auto root = OpenSslCertificate::FromDer(der.data(), der.size());
    return store && root && store->Add(*root);
  }

  // The report so far, as the console shows it.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const PublicationResult& result : publisher.Report().Results()) {
      lines.push_back(PublicationLine(result));
    }
    return lines;
  }

  // True when some report line starts with verdict and contains text.
  bool Reported(const std::string& verdict, const std::string& text) const {
    const std::vector<std::string> lines = Lines();
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.rfind(verdict, 0) == 0 && line.find(text) != std::string::npos;
    });
  }

  std::string Joined() const {
    std::string text;
    for (const std::string& line : Lines()) text += line + "\n";
    return text;
  }

  ScopedStoreEnvironment environment;
  FileCertServices services;
  VerifiedServerAnchor serverAnchor;
  IdentityPublisher publisher{serverAnchor};
  OpenSslEnrollmentObjects objects{services, &publisher};
  TestCa ca;
};

TEST_F(IdentityPublicationTest, UserIdentityReachesItsFilesTheSharedDatabaseAndUsableProfiles) {
  ASSERT_TRUE(AddRoot(StoreLocation::CurrentUser));
  // Firefox profiles: one usable, one in use (its lock link), one of the old format, one missing,
  // one in the Flatpak folder, and one in the Snap folder whose .parentlock is held.
  const std::string firefox = environment.Home() + "/.mozilla/firefox";
  const std::string flatpak = environment.Home() + "/.var/app/org.mozilla.firefox/.mozilla/firefox";
  for (const std::string& folder : {firefox + "/a1.default-release", firefox + "/b2.running",
                                    firefox + "/c3.old", flatpak + "/d4.flat"}) {
    fs::create_directories(folder);
  }
  ASSERT_EQ(::symlink(("127.0.0.1:+" + std::to_string(::getpid())).c_str(),
                      (firefox + "/b2.running/lock").c_str()),
            0);
  ASSERT_TRUE(WriteFile(firefox + "/c3.old/cert8.db", "old"));
  ASSERT_TRUE(WriteFile(firefox + "/profiles.ini",
                        "[Install4F96D1932A9F858E]\nDefault=a1.default-release\n"
                        "[Profile0]\nName=default-release\nIsRelative=1\nPath=a1.default-release\n"
                        "[Profile1]\nName=running\nIsRelative=1\nPath=b2.running\n"
                        "[Profile2]\nName=old\nIsRelative=0\nPath=" +
                            firefox +
                            "/c3.old\n[Profile3]\nName=gone\nIsRelative=1\nPath=e5.gone\n"));
  ASSERT_TRUE(
      WriteFile(flatpak + "/profiles.ini", "[Profile0]\r\nIsRelative=1\r\nPath=d4.flat\r\n"));
  // The Flatpak profile's owner has explicitly distrusted the root.
  const Bytes rootDer = CertificateDer(ca.Root());
  ASSERT_TRUE(
      WriteFile(environment.Root() + "/root.der", std::string(rootDer.begin(), rootDer.end())));
  const std::string flatDatabase = " -d sql:" + flatpak + "/d4.flat 2>&1";
  ASSERT_EQ(RunCommand("certutil -N --empty-password" + flatDatabase).first, 0);
  ASSERT_EQ(RunCommand("certutil -A -n 'Enrollment Test Root' -t p,p,p -i " + environment.Root() +
                       "/root.der" + flatDatabase)
                .first,
            0);
  // A Snap profile whose .parentlock another process holds, as a running Firefox does.
  const std::string snap = environment.Home() + "/snap/firefox/common/.mozilla/firefox";
  fs::create_directories(snap + "/f6.snap");
  ASSERT_TRUE(WriteFile(snap + "/profiles.ini", "[Profile0]\nIsRelative=1\nPath=f6.snap\n"));
  const ParentLockHolder holder(snap + "/f6.snap/.parentlock");
  ASSERT_TRUE(holder.Holding());

  const X509Ptr first = Enroll(EnrollmentContext::User, "Enrolled User");
  ASSERT_TRUE(first) << Joined();

  // The identity files: the certificate then its issuing CA, the key that fits it, the stable
  // names pointing at them.
  const std::string identity = environment.UserData() + "/identity";
  const std::vector<X509Ptr> chain = PemCertificates(identity + "/identity.crt");
  ASSERT_EQ(chain.size(), 2u);
  EXPECT_EQ(X509_cmp(chain[0].get(), first.get()), 0);
  EXPECT_EQ(X509_cmp(chain[1].get(), ca.Intermediate()), 0);
  BioPtr keyFile(BIO_new_file((identity + "/identity.key").c_str(), "r"));
  ASSERT_TRUE(keyFile);
  EvpPkeyPtr key(PEM_read_bio_PrivateKey(keyFile.get(), nullptr, nullptr, nullptr));
  ASSERT_TRUE(key);
  EXPECT_EQ(X509_check_private_key(first.get(), key.get()), 1);
  const std::string firstFolder = identity + "/" + fs::read_symlink(identity + "/current").string();
  EXPECT_EQ(ModeOf(firstFolder + "/identity.key"), 0600);
  EXPECT_EQ(ModeOf(firstFolder + "/identity.crt"), 0644);
  EXPECT_EQ(ModeOf(identity), 0700);

  // The shared database and the usable profiles hold the identity with its key, the issuing CA
  // without trust and the root as a CA for servers, except where it was distrusted.
  for (const std::string& folder : {environment.Home() + "/.pki/nssdb",
                                    firefox + "/a1.default-release", flatpak + "/d4.flat"}) {
    const std::string listing = Certutil("-L", folder);
    EXPECT_TRUE(HasTrust(listing, "Enrolled User", "u,u,u")) << folder << "\n" << listing;
    EXPECT_TRUE(HasTrust(listing, "Enrollment Test Issuing CA", ",,")) << listing;
    const bool distrusted = folder == flatpak + "/d4.flat";
    EXPECT_TRUE(HasTrust(listing, "Enrollment Test Root", distrusted ? "p,p,p" : "C,,")) << listing;
    EXPECT_NE(Certutil("-K", folder).find("Enrolled User"), std::string::npos) << folder;
  }
  EXPECT_TRUE(
      Reported("skipped: ", "d4.flat: Enrollment Test Root is distrusted here and stays so"))
      << Joined();
  EXPECT_EQ(ModeOf(environment.Home() + "/.pki/nssdb"), 0700);
  // The others are left exactly as they were.
  EXPECT_EQ(FolderEntries(firefox + "/b2.running"), std::vector<std::string>{"lock"});
  EXPECT_EQ(FolderEntries(firefox + "/c3.old"), std::vector<std::string>{"cert8.db"});
  EXPECT_TRUE(Reported("skipped: ", "b2.running: in use (Firefox is running)")) << Joined();
  EXPECT_TRUE(Reported("skipped: ", "c3.old: old database format (cert8.db)")) << Joined();
  EXPECT_TRUE(Reported("skipped: ", "e5.gone: profile folder missing")) << Joined();
  EXPECT_TRUE(Reported("skipped: ", "f6.snap: in use (Firefox is running)")) << Joined();
  EXPECT_EQ(FolderEntries(snap + "/f6.snap"), std::vector<std::string>{".parentlock"});
  EXPECT_TRUE(Reported("published: ", "Firefox (Flatpak) profile")) << Joined();
  // The same lines are in the log beside the stores.
  const std::string log = ReadFile(environment.UserData() + "/publish.log");
  EXPECT_NE(log.find("in use (Firefox is running)"), std::string::npos) << log;
  EXPECT_EQ(ModeOf(environment.UserData() + "/publish.log"), 0600);

  // A second identity joins the first one; the anchors are not added again.
  const X509Ptr second = Enroll(EnrollmentContext::User, "Enrolled User");
  ASSERT_TRUE(second) << Joined();
  EXPECT_EQ(X509_cmp(PemCertificates(identity + "/identity.crt").at(0).get(), second.get()), 0);
  EXPECT_EQ(X509_cmp(PemCertificates(firstFolder + "/identity.crt").at(0).get(), first.get()), 0);
  EXPECT_EQ(FolderEntries(identity).size(), 5u);  // two identities, current and the two names
  const std::string listing = Certutil("-L", environment.Home() + "/.pki/nssdb");
  EXPECT_EQ(Occurrences(listing, "Enrollment Test Root"), 1u) << listing;
  EXPECT_EQ(Occurrences(listing, "Enrollment Test Issuing CA"), 1u) << listing;
  EXPECT_EQ(Occurrences(Certutil("-K", environment.Home() + "/.pki/nssdb"), "Enrolled User"), 2u);

  // The inventory lists both, oldest first, with the files and databases that hold each; a
  // profile in use is read as well (read-only).
  const std::string shared = environment.Home() + "/.pki/nssdb";
  const std::string busy = firefox + "/a1.default-release/lock";
  ASSERT_EQ(::symlink(("127.0.0.1:+" + std::to_string(::getpid())).c_str(), busy.c_str()), 0);
  const std::vector<std::string> written = {shared, firefox + "/a1.default-release",
                                            flatpak + "/d4.flat"};
  const IdentityInventory inventory = ReadIdentityInventory(StoreLocation::CurrentUser);
  ASSERT_EQ(inventory.entries.size(), 2u) << inventory.error;
  const IdentityRecord& older = inventory.entries[0].record;
  const IdentityRecord& newest = inventory.entries[1].record;
  EXPECT_EQ(older.serial, CertificateSerialText(first.get()));
  EXPECT_EQ(newest.serial, CertificateSerialText(second.get()));
  EXPECT_NE(newest.serial, older.serial);
  EXPECT_NE(newest.subject.find("CN=Enrolled User"), std::string::npos) << newest.subject;
  EXPECT_NE(newest.issuer.find("CN=Enrollment Test Issuing CA"), std::string::npos);
  EXPECT_TRUE(newest.hasPrivateKey);
  EXPECT_LT(newest.notBefore, newest.notAfter);
  EXPECT_EQ(newest.nssDatabases, written);
  EXPECT_EQ(older.nssDatabases, written);
  const std::string newestFolder = identity + "/" + inventory.entries[1].stem;
  EXPECT_EQ(
      newest.publishedFiles,
      (std::vector<std::string>{newestFolder + "/identity.crt", newestFolder + "/identity.key",
                                identity + "/identity.crt", identity + "/identity.key"}));
  EXPECT_EQ(older.publishedFiles.size(), 2u);
  ASSERT_EQ(::unlink(busy.c_str()), 0);

  // Removing the newest takes it and its key from My, its folder and every database that is not
  // in use; the running profiles are skipped and said so, the anchors stay, and "current" names
  // the older identity again. An unknown serial changes nothing.
  EXPECT_FALSE(RemoveIdentityBySerial(StoreLocation::CurrentUser, "0BAD").found);
  const IdentityRemoval removal = RemoveIdentityBySerial(StoreLocation::CurrentUser, newest.serial);
  EXPECT_TRUE(removal.found);
  EXPECT_TRUE(removal.removed);
  std::string report;
  for (const PublicationResult& result : removal.results) report += PublicationLine(result) + "\n";
  EXPECT_NE(report.find("removed: Enrolled User (serial " + newest.serial + ") from My: "),
            std::string::npos)
      << report;
  for (const std::string& folder : written) {
    EXPECT_NE(report.find(folder + ": identity with its key\n"), std::string::npos) << report;
    const std::string listing = Certutil("-L", folder);
    EXPECT_EQ(Occurrences(listing, "Enrolled User"), 1u) << folder << "\n" << listing;
    EXPECT_EQ(Occurrences(listing, "Enrollment Test Issuing CA"), 1u) << listing;
    EXPECT_EQ(Occurrences(listing, "Enrollment Test Root"), 1u) << listing;
    // The key left is the older identity's: certutil names only a key whose certificate is there.
    EXPECT_EQ(Occurrences(Certutil("-K", folder), "Enrolled User"), 1u) << folder;
    const auto [status, pem] =
        RunCommand("certutil -L -n 'Enrolled User' -a -d sql:" + folder + " 2>/dev/null");
    BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    X509Ptr left(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
    ASSERT_TRUE(left) << status << pem;
    EXPECT_EQ(X509_cmp(left.get(), first.get()), 0);
  }
  EXPECT_NE(
      report.find("skipped: Enrolled User (serial " + newest.serial + ") from Firefox profile " +
                  firefox + "/b2.running: in use (Firefox is running)"),
      std::string::npos)
      << report;
  EXPECT_NE(report.find("/f6.snap: in use (Firefox is running)"), std::string::npos) << report;
  EXPECT_FALSE(fs::exists(newestFolder));
  EXPECT_EQ(fs::read_symlink(identity + "/current").string(), inventory.entries[0].stem);
  EXPECT_EQ(X509_cmp(PemCertificates(identity + "/identity.crt").at(0).get(), first.get()), 0);
  const std::vector<std::string> my = FolderEntries(environment.UserData() + "/stores/My");
  EXPECT_EQ(my, (std::vector<std::string>{inventory.entries[0].stem + ".der",
                                          inventory.entries[0].stem + ".key"}));
  EXPECT_NE(ReadFile(environment.UserData() + "/publish.log").find("removed: Enrolled User"),
            std::string::npos);
}

TEST_F(IdentityPublicationTest, NewestIdentityExportsAsAesPkcs12WithASha256Mac) {
  const std::string file = environment.Root() + "/identity.p12";
  EXPECT_FALSE(ExportNewestIdentityAsPkcs12(StoreLocation::CurrentUser, "secret", file).written);
  ASSERT_TRUE(AddRoot(StoreLocation::CurrentUser));
  ASSERT_TRUE(Enroll(EnrollmentContext::User, "Older"));
  const X509Ptr newest = Enroll(EnrollmentContext::User, "Newest");
  ASSERT_TRUE(newest);
  EXPECT_FALSE(ExportNewestIdentityAsPkcs12(StoreLocation::CurrentUser, "", file).written);

  const Pkcs12Export exported =
      ExportNewestIdentityAsPkcs12(StoreLocation::CurrentUser, "pass phrase", file);
  ASSERT_TRUE(exported.written) << exported.error;
  EXPECT_EQ(ModeOf(file), 0600);
  const auto [status, info] =
      RunCommand("openssl pkcs12 -info -noout -in " + file + " -passin 'pass:pass phrase' 2>&1");
  EXPECT_EQ(status, 0) << info;
  EXPECT_NE(info.find("MAC: sha256"), std::string::npos) << info;
  EXPECT_EQ(Occurrences(info, "PBES2, PBKDF2, AES-256-CBC"), 2u) << info;
  EXPECT_EQ(Occurrences(info, "PRF hmacWithSHA256"), 2u) << info;
  EXPECT_EQ(info.find("RC2"), std::string::npos) << info;
  EXPECT_EQ(info.find("3DES"), std::string::npos) << info;
  // Both encryptions and the MAC: at least 600,000 iterations each.
  const std::regex iteration("Iteration ([0-9]+)");
  std::size_t counted = 0;
  for (std::sregex_iterator it(info.begin(), info.end(), iteration), end; it != end; ++it) {
    EXPECT_GE(std::stoul((*it)[1].str()), 600000u) << info;
    ++counted;
  }
  EXPECT_EQ(counted, 3u) << info;
  // NSS imports it with the passphrase, key included, and refuses a wrong one.
  const std::string database = environment.Root() + "/p12db";
  fs::create_directories(database);
  ASSERT_EQ(RunCommand("certutil -N --empty-password -d sql:" + database + " 2>&1").first, 0);
  const std::string import = "pk12util -i " + file + " -d sql:" + database + " -W ";
  EXPECT_NE(RunCommand(import + "'wrong' 2>&1").first, 0);
  const auto [imported, importOutput] = RunCommand(import + "'pass phrase' 2>&1");
  EXPECT_EQ(imported, 0) << importOutput;
  EXPECT_NE(Certutil("-K", database).find("Newest"), std::string::npos);

  // The newest certificate, the key that fits it and the chain up to the root.
  BioPtr in(BIO_new_file(file.c_str(), "rb"));
  std::unique_ptr<PKCS12, OpenSslDeleter<PKCS12, PKCS12_free>> p12(
      d2i_PKCS12_bio(in.get(), nullptr));
  ASSERT_TRUE(p12);
  EXPECT_NE(PKCS12_verify_mac(p12.get(), "wrong", -1), 1);
  EVP_PKEY* key = nullptr;
  X509* certificate = nullptr;
  STACK_OF(X509)* authorities = nullptr;
  ASSERT_EQ(PKCS12_parse(p12.get(), "pass phrase", &key, &certificate, &authorities), 1);
  const EvpPkeyPtr ownedKey(key);
  const X509Ptr ownedCertificate(certificate);
  EXPECT_EQ(X509_cmp(certificate, newest.get()), 0);
  EXPECT_EQ(X509_check_private_key(certificate, key), 1);
  EXPECT_EQ(sk_X509_num(authorities), 2);
  sk_X509_pop_free(authorities, X509_free);
}

TEST_F(IdentityPublicationTest, ControlCharactersOfANameAreEscapedInTheReportAndItsLog) {
  // A name that would forge a log entry of its own, clear a terminal and set its colour (CSI as
  // ESC [ and as the C1 character U+009B), with a backslash that must not pass for an escape.
  ASSERT_TRUE(AddRoot(StoreLocation::CurrentUser));
  ASSERT_TRUE(Enroll(EnrollmentContext::User,
                     "Evil\nfailed: forged\x1b[2J\xc2\x9b"
                     "31m\x7f\\x0a"))
      << Joined();
  const std::string shown = "Evil\\x0afailed: forged\\x1b[2J\\u{9b}31m\\x7f\\\\x0a";
  EXPECT_TRUE(Reported("published: ", "identity files for " + shown + ": ")) << Joined();
  const std::string log = ReadFile(environment.UserData() + "/publish.log");
  ASSERT_FALSE(Lines().empty());
  // One line of the log per entry, each the entry after its time stamp.
  EXPECT_EQ(Occurrences(log, "\n"), Lines().size()) << log;
  EXPECT_NE(log.find(" published: identity files for " + shown + ": "), std::string::npos) << log;
  for (const std::string& text : {log, Joined()}) {
    EXPECT_EQ(text.find_first_of(std::string("\x1b\x7f\r\0", 4)), std::string::npos) << text;
    EXPECT_EQ(text.find("\xc2\x9b"), std::string::npos) << text;
  }
}

TEST_F(IdentityPublicationTest, OnlyTheRootThatAuthenticatedTheServerGainsTrust) {
  // Anchors added to the stores are trusted by nothing outside them.
  ASSERT_TRUE(AddRoot(StoreLocation::LocalMachine));
  ASSERT_TRUE(AddRoot(StoreLocation::CurrentUser));
  EXPECT_TRUE(Lines().empty()) << Joined();

  const std::string trust = environment.Root() + "/trust";
  const std::string marker = environment.Root() + "/updated";
  {
    // p11-kit refuses (here: a program that always fails), so the anchors folder takes it.
    const ScopedVariable trustCommand("DIGITAL_ID_TRUST_COMMAND", "/bin/false");
    const ScopedVariable folder("DIGITAL_ID_SYSTEM_TRUST_DIR", trust);
    const ScopedVariable update("DIGITAL_ID_UPDATE_CA_COMMAND", "/usr/bin/touch " + marker);
    // A server anchored by another root, or none verified: the identity's root stays untrusted.
    for (const Bytes& server : {CertificateDer(ca.Intermediate()), Bytes()}) {
      serverAnchor.Set(server);
      ASSERT_TRUE(Enroll(EnrollmentContext::Machine, "Machine Name")) << Joined();
      EXPECT_TRUE(Reported("skipped: ", "trust for Enrollment Test Root: it is not the root"))
          << Joined();
      EXPECT_FALSE(fs::exists(trust)) << Joined();
      EXPECT_FALSE(fs::exists(marker));
    }
    serverAnchor.Set(CertificateDer(ca.Root()));
    ASSERT_TRUE(Enroll(EnrollmentContext::Machine, "Machine Name")) << Joined();
    ASSERT_TRUE(Enroll(EnrollmentContext::Machine, "Machine Name")) << Joined();
  }
  // One file however often it was published: the root, never the issuing CA.
  const std::vector<std::string> files = FolderEntries(trust);
  ASSERT_EQ(files.size(), 1u) << Joined();
  EXPECT_TRUE(
      std::regex_match(files[0], std::regex("digital-id-enrollment-test-root-[0-9a-f]{16}\\.crt")))
      << files[0];
  const std::vector<X509Ptr> anchors = PemCertificates(trust + "/" + files[0]);
  ASSERT_EQ(anchors.size(), 1u);
  EXPECT_EQ(X509_cmp(anchors[0].get(), ca.Root()), 0);
  EXPECT_TRUE(fs::exists(marker));
  EXPECT_TRUE(Reported("published: ", trust + "/" + files[0])) << Joined();
  // Relocated machine stores alone never reach a system trust.
  ASSERT_TRUE(Enroll(EnrollmentContext::Machine, "Machine Name")) << Joined();
  EXPECT_TRUE(Reported("skipped: ", "system trust for Enrollment Test Root (machine Root)"))
      << Joined();

  // The machine's identity is kept for root alone.
  ASSERT_TRUE(Enroll(EnrollmentContext::Machine, "Machine Name")) << Joined();
  const std::string identity = environment.Root() + "/identity";
  EXPECT_EQ(ModeOf(identity), 0700);
  for (const auto& entry : fs::recursive_directory_iterator(identity)) {
    if (entry.is_regular_file() && !entry.is_symlink()) {
      EXPECT_EQ(ModeOf(entry.path().string()), 0600) << entry.path();
    }
  }
  EXPECT_EQ(PemCertificates(identity + "/identity.crt").size(), 2u);
  EXPECT_FALSE(fs::exists(environment.Home() + "/.pki")) << "no user database for the machine";

  // User stores moved outside HOME leave the databases of that home alone.
  const ScopedVariable elsewhere("XDG_DATA_HOME", environment.Root() + "/elsewhere");
  ASSERT_TRUE(Enroll(EnrollmentContext::User, "Relocated User")) << Joined();
  EXPECT_TRUE(Reported("skipped: ", "NSS databases")) << Joined();
  EXPECT_FALSE(fs::exists(environment.Home() + "/.pki"));
  EXPECT_TRUE(fs::exists(environment.Root() + "/elsewhere/digital-id/identity/identity.crt"));
}

TEST_F(IdentityPublicationTest, PublicationFailuresNeverFailTheInstallation) {
  // No database can be made where a file stands, nor identity files.
  ASSERT_TRUE(fs::create_directories(environment.Home()));
  ASSERT_TRUE(WriteFile(environment.Home() + "/.pki", "a file"));
  ASSERT_TRUE(fs::create_directories(environment.UserData()));
  ASSERT_TRUE(WriteFile(environment.UserData() + "/identity", "a file"));

  ASSERT_TRUE(Enroll(EnrollmentContext::User, "Still Installed")) << Joined();
  auto personal = services.OpenFileStore(StoreLocation::CurrentUser, u"My");
  ASSERT_TRUE(personal);
  EXPECT_EQ(personal->Certificates().size(), 1u);
  EXPECT_EQ(personal->Keys().size(), 1u);
  EXPECT_TRUE(Reported("failed: ", "identity files")) << Joined();
  EXPECT_TRUE(Reported("failed: ", "shared NSS database")) << Joined();
}

}  // namespace
}  // namespace digital_id::backend_tests
