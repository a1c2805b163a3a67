// Feeds arbitrary server answers to the evaluation of the acknowledgement and of the verdict (and
// to the installation of an issued certificate when the verdict announces one), over the fake
// platform.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/issuance/issuance.h"
#include "core/shell/app_state.h"
#include "core/shell/main_window.h"
#include "core/shell/settings.h"
#include "fuzz/fuzz_input.h"
#include "platform/fake/fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace digital_id;
  if (size == 0) {
    return 0;
  }
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
  const bool acknowledged = !EvaluateServerAcknowledgement(answer).has_value();
  fuzzing::Require(acknowledged == (answer.find(u"SRVACK;") != std::u16string::npos));
  const StepEnd verdict = EvaluateIssuanceVerdict(answer);
  // A verdict that ends the run never claims an issued certificate.
  fuzzing::Require(!verdict || verdict->result != RunResult::Issued);
  const RunOutcome outcome = verdict ? *verdict : InstallIssuedCertificate(answer);
  ReportOutcome(outcome);
  return 0;
}
