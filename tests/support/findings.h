// Findings of a run as the log shows them: "[ERR] " or "[AVISO] " and the message
// (cp1252, a message's own line breaks kept as LF).
#pragma once

#include <string>
#include <vector>

#include "validation/finding.h"

namespace tavex::testing {

inline std::vector<std::string> asLogLines(const std::vector<Finding>& findings) {
  std::vector<std::string> out;
  out.reserve(findings.size());
  for (const Finding& f : findings) out.push_back((f.severity == Severity::Error ? "[ERR] " : "[AVISO] ") + f.message);
  return out;
}

}  // namespace tavex::testing
