#include "code_book.h"

namespace digital_id::test_server {

void CodeBook::Add(const std::string& code, CodeKind kind) {
  std::lock_guard lock(mutex_);
  entries_[code] = Entry{kind, Use::Free};
}

bool CodeBook::RefusesAtFirstAnswer(const std::string& code) const {
  std::lock_guard lock(mutex_);
  const auto found = entries_.find(code);
  return found != entries_.end() && found->second.kind == CodeKind::RefuseFirst;
}

CodeDecision CodeBook::Decide(const std::string& code) {
  std::lock_guard lock(mutex_);
  const auto found = entries_.find(code);
  if (found == entries_.end()) return CodeDecision::Deny;
  Entry& entry = found->second;
  switch (entry.kind) {
    case CodeKind::Issue:
      if (entry.use != Use::Free) return CodeDecision::Deny;
      entry.use = Use::Reserved;
      return CodeDecision::Issue;
    case CodeKind::RefuseSecond:
      return CodeDecision::RefuseSecond;
    case CodeKind::Deny:
    case CodeKind::RefuseFirst:
      break;
  }
  return CodeDecision::Deny;
}

void CodeBook::Settle(const std::string& code, bool issued) {
  std::lock_guard lock(mutex_);
  const auto found = entries_.find(code);
  if (found != entries_.end() && found->second.use == Use::Reserved) {
    found->second.use = issued ? Use::Used : Use::Free;
  }
}

std::vector<std::string> CodeBook::CodesOfKind(CodeKind kind) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> codes;
  for (const auto& [code, entry] : entries_) {
    if (entry.kind == kind) codes.push_back(code);
  }
  return codes;
}

}  // namespace digital_id::test_server
