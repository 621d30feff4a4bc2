#include "window/finding_query.h"

#include <algorithm>

namespace tavex {

namespace {

unsigned char folded(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 'A' && u <= 'Z') return static_cast<unsigned char>(u + 32);
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<unsigned char>(u + 32);  // À..Þ but ×
  return u;
}

}  // namespace

bool containsIgnoringCase(std::string_view text, std::string_view needle) {
  if (needle.empty()) return true;
  const auto it = std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                              [](char a, char b) { return folded(a) == folded(b); });
  return it != text.end();
}

bool FindingQuery::accepts(const Finding& f) const {
  if (severity == 0 && f.severity != Severity::Error) return false;
  if (severity == 1 && f.severity != Severity::Warning) return false;
  if (recordType != 0 && f.place.recordType != recordType) return false;
  if (!code.empty() && f.code != code) return false;
  return containsIgnoringCase(f.message, search);
}

std::vector<std::size_t> selectFindings(const std::vector<Finding>& findings, const FindingQuery& query) {
  std::vector<std::size_t> causes, rest;
  for (std::size_t i = 0; i < findings.size(); ++i) {
    if (!query.accepts(findings[i])) continue;
    const bool cause = query.causeFirst && findingFamilyOf(findings[i].code) == FindingFamily::Format;
    (cause ? causes : rest).push_back(i);
  }
  causes.insert(causes.end(), rest.begin(), rest.end());
  return causes;
}

}  // namespace tavex
