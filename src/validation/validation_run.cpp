#include "validation/validation_run.h"

namespace tavex {

DocumentEntry& ValidationRun::documentEntry(std::int64_t coo) {
  // A COO of 0 is never stored: it answers the list's length, the place the next new
  // COO will take, so the two share that entry.
  return documentTable.at(documentCooList.findOrAdd(coo));
}

void ValidationRun::report(Severity severity, const char* const& message, const FindingPlace& place,
                           std::string text) {
  Finding finding;
  finding.severity = severity;
  finding.place = place;
  finding.code = findingCodeOf(message);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  finding.message = std::move(text);
  if (held.holding_) {
    held.bytes_ += sizeof(Finding) + finding.message.capacity();
    held.findings_.push_back(std::move(finding));
    return;
  }
  deliver(finding);
}

void ValidationRun::deliver(const Finding& finding) {
  log.onFinding(finding);
  for (FindingSink* sink : sinks_) sink->onFinding(finding);
}

void ValidationRun::releaseHeld() {
  for (const Finding& finding : held.findings_) deliver(finding);
  dropHeld();
}

void ValidationRun::dropHeld() {
  held.findings_ = {};
  held.bytes_ = 0;
}

}  // namespace tavex
