// Feeds arbitrary server answers to the evaluation of the acknowledgement and of the verdict (and
// to the installation of an issued certificate when the verdict announces one), over the fake
// platform, and walks the channel's record sizes over the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "channel/tls_record.h"
#include "fuzz/fuzz_input.h"
#include "issuance/issuance.h"
#include "platform/fake/fake_platform.h"
#include "shell/app_state.h"
#include "shell/main_window.h"
#include "shell/settings.h"

namespace digital_id {
namespace {

// Every record size read from a header covers at least the header, and the walk advances.
void WalkRecords(const std::uint8_t* data, std::size_t size) {
  std::size_t offset = 0;
  while (offset < size) {
    const auto record = TlsRecordSize(data + offset, size - offset);
    if (!record) {
      fuzzing::Require(size - offset < kTlsRecordHeaderSize);
      return;
    }
    fuzzing::Require(*record >= kTlsRecordHeaderSize && *record <= kTlsRecordHeaderSize + 0xFFFF);
    offset += *record;
  }
}

}  // namespace
}  // namespace digital_id

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace digital_id;
  if (size == 0) {
    return 0;
  }
  WalkRecords(data, size);

  // The first byte chooses the language, the window's mode and how the rest is widened.
  const std::uint8_t choice = data[0];
  const std::u16string answer = (choice & 4) != 0
                                    ? fuzzing::AsUtf16(data + 1, size - 1)
                                    : WidenLatin1(fuzzing::AsText(data + 1, size - 1));
  fake::FakePlatform fakes;
  fakes.Install();
  App().settingsPath = u"app.ini";
  App().isPostXp = 1;
  if ((choice & 1) != 0) {
    fakes.profile.Set(u"Language", u"FR");
  }
  App().advanceMode = (choice & 2) != 0 ? 1 : 0;
  if (CreateMainWindow(nullptr, 1) != 1) {
    return 0;
  }
  const int acknowledged = EvaluateServerAcknowledgement(answer);
  fuzzing::Require(acknowledged == 0 || acknowledged == 1);
  fuzzing::Require(acknowledged == (answer.find(u"SRVACK;") != std::u16string::npos ? 1 : 0));
  const int issued = EvaluateIssuanceVerdict(answer);
  fuzzing::Require(issued == 0 || issued == 1);
  if (issued == 1) {
    InstallIssuedCertificate(answer);
  }
  return 0;
}
