#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/cert_store.h"

namespace digital_id {

// Receives each line of a publication report (for instance to print it on standard error).
using PublicationSink = std::function<void(const std::string& line)>;

// What the publication of identities and anchors did, one line per target: "published: ...",
// "skipped: ..." or "failed: ...". Each line is appended, with a UTC time stamp, to the
// publication log of its location (see publication_paths.h; mode 0600), kept in memory and
// handed to the sink when one is set. Control characters in a line (names from certificates) are
// escaped first, so every entry stays one line of plain text. Safe to use from several threads.
class PublicationReport {
 public:
  // Lines from now on also go to sink (an empty function for none).
  void SetSink(PublicationSink sink);
  // Records one line about the location's publication.
  void Add(StoreLocation location, const std::string& line);
  // Every line recorded so far, oldest first.
  std::vector<std::string> Lines() const;

 private:
  mutable std::mutex mutex_;
  PublicationSink sink_;
  std::vector<std::string> lines_;
};

}  // namespace digital_id
