#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace digital_id::test_server {

// What the server does with a request that carries a given code.
enum class CodeKind {
  Issue,         // one-time code: the first request gets a certificate, later ones "DENIED;"
  Deny,          // "SRVACK;" then "DENIED;"
  RefuseFirst,   // "SRVNACK;" as the first answer
  RefuseSecond,  // "SRVACK;" then "SRVNACK;" as the verdict
};

// The verdict the code book hands out for a request.
enum class CodeDecision {
  Issue,         // issue now; call Settle afterwards
  Deny,          // unknown, already used, being issued on another connection, or a deny code
  RefuseSecond,  // answer "SRVNACK;" as the verdict
};

// The codes the server knows and which one-time codes are used up. Safe to share between
// connection threads.
class CodeBook {
 public:
  // Adds a code (a later kind for the same code replaces an earlier one).
  void Add(const std::string& code, CodeKind kind);
  // True when the code is to be refused at the first answer.
  bool RefusesAtFirstAnswer(const std::string& code) const;
  // Decides the verdict; a one-time code is reserved for the caller until it calls Settle.
  CodeDecision Decide(const std::string& code);
  // Ends a reservation: used up when issued, free again when issuing failed.
  void Settle(const std::string& code, bool issued);
  // Every code of one kind, in code order.
  std::vector<std::string> CodesOfKind(CodeKind kind) const;

 private:
  enum class Use { Free, Reserved, Used };
  struct Entry {
    CodeKind kind = CodeKind::Issue;
    Use use = Use::Free;
  };
  mutable std::mutex mutex_;
  std::map<std::string, Entry> entries_;
};

}  // namespace digital_id::test_server
