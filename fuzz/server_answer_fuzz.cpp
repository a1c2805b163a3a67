// Feeds arbitrary server answers to the recognition of the issuance protocol: the classification
// of the first answer and of the verdict, and the response that follows "ISSUED;", held to the
// rules of the markers (found anywhere, case-sensitively, in their order of precedence).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/latin1_text.h"
#include "core/issuance/protocol.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace digital_id;
  if (size == 0) {
    return 0;
  }
  // The first byte chooses how the rest is widened: one byte per character, or two bytes per
  // UTF-16 code unit, so that every code unit value can be reached.
  const std::uint8_t choice = data[0];
  const std::u16string answer = (choice & 4) != 0
                                    ? fuzzing::AsUtf16(data + 1, size - 1)
                                    : WidenLatin1(fuzzing::AsText(data + 1, size - 1));
  const auto has = [&answer](std::u16string_view marker) {
    return answer.find(marker) != std::u16string::npos;
  };
  const bool accepted = has(u"SRVACK;");
  const bool refused = has(u"SRVNACK;");
  const bool denied = has(u"DENIED;");
  constexpr std::u16string_view kIssued = u"ISSUED;";
  const bool issued = has(kIssued);

  const ServerAcknowledgement acknowledgement = ClassifyServerAcknowledgement(answer);
  fuzzing::Require((acknowledgement == ServerAcknowledgement::Accepted) == accepted);
  fuzzing::Require((acknowledgement == ServerAcknowledgement::Refused) == (!accepted && refused));

  const IssuanceVerdict verdict = ClassifyIssuanceVerdict(answer);
  fuzzing::Require((verdict == IssuanceVerdict::Denied) == denied);
  fuzzing::Require((verdict == IssuanceVerdict::Failed) == (!denied && refused));
  fuzzing::Require((verdict == IssuanceVerdict::Issued) == (!denied && !refused && issued));

  // The response is the whole rest of the answer behind its first "ISSUED;".
  const std::u16string response = IssuedResponse(answer);
  if (!issued) {
    fuzzing::Require(response.empty());
  } else {
    fuzzing::Require(response.size() + kIssued.size() <= answer.size());
    const std::size_t marker = answer.size() - response.size() - kIssued.size();
    fuzzing::Require(answer.find(kIssued) == marker);
    fuzzing::Require(answer.compare(marker + kIssued.size(), std::u16string::npos, response) == 0);
  }
  return 0;
}
