#pragma once

#include <string>

namespace digital_id {

// What publishing to one target, or removing an identity from it, came to.
enum class PublicationOutcome { Published, Removed, Skipped, Failed };

// One entry of the publication report: a target (a file, a database, the system trust, or the
// identity as a whole) and what became of it. The texts are as they came (names from
// certificates included); PublicationLine makes them safe to show.
struct PublicationResult {
  PublicationOutcome outcome = PublicationOutcome::Failed;
  std::string target;  // for instance "identity files for Jane Doe"
  std::string detail;  // the file written, or why not; empty when the target says it all
};

// The entry as one line of plain text, "published: ", "removed: ", "skipped: " or "failed: ", the
// target and ": " with the detail (when there is one), its control characters escaped so that it
// stays one line and sends no escape sequences to a terminal. The publication log and the console
// show it.
std::string PublicationLine(const PublicationResult& result);

}  // namespace digital_id
