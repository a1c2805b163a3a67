#include "platform/linux/publish/publication_result.h"

#include "base/escaped_text.h"

namespace digital_id {

namespace {

const char* Verdict(PublicationOutcome outcome) {
  switch (outcome) {
    case PublicationOutcome::Published:
      return "published: ";
    case PublicationOutcome::Removed:
      return "removed: ";
    case PublicationOutcome::Skipped:
      return "skipped: ";
    case PublicationOutcome::Failed:
      break;
  }
  return "failed: ";
}

}  // namespace

std::string PublicationLine(const PublicationResult& result) {
  std::string line = Verdict(result.outcome) + result.target;
  if (!result.detail.empty()) {
    line += ": " + result.detail;
  }
  return EscapeControlCharacters(line);
}

}  // namespace digital_id
