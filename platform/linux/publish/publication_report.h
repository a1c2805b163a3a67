#pragma once

#include <mutex>
#include <vector>

#include "platform/cert_store.h"
#include "platform/linux/publish/publication_result.h"
#include "platform/lock.h"

namespace digital_id {

// What the publication of identities did, one result per target. Each result is appended as its
// PublicationLine, with a UTC time stamp, to the publication log of its location (see
// publication_paths.h; mode 0600) and kept in memory for the program to show. Safe to use from
// several threads.
class PublicationReport {
 public:
  // Records one result of the location's publication.
  void Add(StoreLocation location, PublicationResult result);
  // Every result recorded so far, oldest first.
  std::vector<PublicationResult> Results() const;

 private:
  mutable Lock lock_;
  std::vector<PublicationResult> results_;
};

}  // namespace digital_id
