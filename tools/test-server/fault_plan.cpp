#include "fault_plan.h"

#include <array>

namespace digital_id::test_server {

namespace {

// Which steps a fault takes: none (no "=STEP"), optional (default Every) or required.
enum class StepRule { None, Optional, Required };

struct FaultName {
  std::string_view name;
  Fault fault;
  StepRule rule;
  std::vector<FaultStep> steps;  // the steps allowed after "="
};

const std::array<FaultName, 15>& FaultNames() {
  static const std::array<FaultName, 15> names = {{
      {"split-segments",
       Fault::SplitSegments,
       StepRule::Optional,
       {FaultStep::Ack, FaultStep::Verdict}},
      {"split-records",
       Fault::SplitRecords,
       StepRule::Optional,
       {FaultStep::Ack, FaultStep::Verdict}},
      {"coalesce", Fault::Coalesce, StepRule::None, {}},
      {"stall",
       Fault::Stall,
       StepRule::Required,
       {FaultStep::Ack, FaultStep::Verdict, FaultStep::ClientAck}},
      {"close",
       Fault::Close,
       StepRule::Required,
       {FaultStep::Handshake, FaultStep::Request, FaultStep::Ack, FaultStep::Verdict}},
      {"not-tls", Fault::NotTls, StepRule::None, {}},
      {"large-verdict", Fault::LargeVerdict, StepRule::None, {}},
      {"no-cltack", Fault::NoClientAck, StepRule::None, {}},
      {"slow-body", Fault::SlowBody, StepRule::None, {}},
      {"stalled-body", Fault::StalledBody, StepRule::None, {}},
      {"huge-body", Fault::HugeBody, StepRule::None, {}},
      {"expired-ca", Fault::ExpiredCa, StepRule::None, {}},
      {"not-yet-valid-ca", Fault::NotYetValidCa, StepRule::None, {}},
      {"expired-root", Fault::ExpiredRoot, StepRule::None, {}},
      {"not-yet-valid-root", Fault::NotYetValidRoot, StepRule::None, {}},
  }};
  return names;
}

bool StepFromName(std::string_view name, FaultStep& step) {
  static const std::array<std::pair<std::string_view, FaultStep>, 5> steps = {{
      {"handshake", FaultStep::Handshake},
      {"request", FaultStep::Request},
      {"ack", FaultStep::Ack},
      {"verdict", FaultStep::Verdict},
      {"cltack", FaultStep::ClientAck},
  }};
  for (const auto& [text, value] : steps) {
    if (text == name) {
      step = value;
      return true;
    }
  }
  return false;
}

}  // namespace

bool FaultPlan::Add(std::string_view text, std::string& error) {
  const std::size_t equals = text.find('=');
  const std::string_view name = text.substr(0, equals);
  const bool hasStep = equals != std::string_view::npos;
  for (const FaultName& entry : FaultNames()) {
    if (entry.name != name) continue;
    FaultStep step = FaultStep::Every;
    if (hasStep) {
      bool allowed = false;
      if (entry.rule != StepRule::None && StepFromName(text.substr(equals + 1), step)) {
        for (const FaultStep candidate : entry.steps) allowed = allowed || candidate == step;
      }
      if (!allowed) {
        error = "--fault " + std::string(text) + ": not a step this fault takes";
        return false;
      }
    } else if (entry.rule == StepRule::Required) {
      error = "--fault " + std::string(name) + " needs =STEP";
      return false;
    }
    faults_.push_back({entry.fault, step});
    return true;
  }
  error = "--fault: unknown fault \"" + std::string(name) + "\"";
  return false;
}

bool FaultPlan::Has(Fault fault, FaultStep step) const {
  for (const Chosen& chosen : faults_) {
    if (chosen.fault == fault &&
        (chosen.step == FaultStep::Every || step == FaultStep::Every || chosen.step == step)) {
      return true;
    }
  }
  return false;
}

std::string FaultUsageText() {
  return "  --fault NAME[=STEP]    misbehave on purpose (repeatable; see README): split-segments,\n"
         "                         split-records[=ack|verdict], coalesce, "
         "stall=ack|verdict|cltack,\n"
         "                         close=handshake|request|ack|verdict, not-tls, large-verdict,\n"
         "                         no-cltack, slow-body, stalled-body, huge-body, expired-ca,\n"
         "                         not-yet-valid-ca, expired-root, not-yet-valid-root\n";
}

}  // namespace digital_id::test_server
