#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace digital_id::test_server {

// A misbehaviour the server can be told to show, for fault-injection tests of the client.
enum class Fault {
  SplitSegments,    // an answer written in small TCP segments with pauses between them
  SplitRecords,     // an answer sent as several TLS records
  Coalesce,         // "SRVACK;" and the verdict in one TCP segment, the verdict right behind
  Stall,            // nothing sent (and nothing read) at a step until the client goes away
  Close,            // the connection closed at a step
  NotTls,           // plain text answered on the TLS port instead of a handshake
  LargeVerdict,     // an "ISSUED;" verdict longer than one TLS record
  NoClientAck,      // the connection closed right after the verdict, "CLTACK;" never read
  SlowBody,         // anchor bodies trickled out in small pieces
  StalledBody,      // anchor answers stop after their header
  HugeBody,         // anchor answers with a 3 MiB body
  ExpiredCa,        // /ca.der serves an expired copy of the issuing CA
  NotYetValidCa,    // /ca.der serves a copy of the issuing CA valid only from next month
  ExpiredRoot,      // /root.der serves an expired copy of the root
  NotYetValidRoot,  // /root.der serves a copy of the root valid only from next month
};

// Where in the issuance exchange a fault strikes.
enum class FaultStep {
  Every,      // wherever the fault applies (the default of the split faults)
  Handshake,  // right after the handshake
  Request,    // after the request was read, before any answer
  Ack,        // the first answer ("SRVACK;")
  Verdict,    // the second answer
  ClientAck,  // after the verdict, where "CLTACK;" is read
};

// The faults chosen on the command line; empty for a well-behaved server.
class FaultPlan {
 public:
  // Adds a fault from its command-line form NAME or NAME=STEP; false (with the reason in error)
  // for an unknown name, or a step the fault does not take.
  bool Add(std::string_view text, std::string& error);
  // True when fault was chosen for step, or for every step.
  bool Has(Fault fault, FaultStep step = FaultStep::Every) const;
  // True when no fault was chosen.
  bool Empty() const { return faults_.empty(); }

 private:
  struct Chosen {
    Fault fault;
    FaultStep step;
  };
  std::vector<Chosen> faults_;
};

// The lines of the usage text that list the faults.
std::string FaultUsageText();

}  // namespace digital_id::test_server
