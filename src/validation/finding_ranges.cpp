#include "validation/finding_ranges.h"

#include "cotepe/text.h"
#include "validation/messages.h"

namespace tavex {

namespace {

bool isMissingCoo(const Finding& f) { return f.code == findingCodeOf(msg::kMissingCoo.text) && f.place.coo > 0; }

}  // namespace

std::int64_t cooCountOf(const FindingPlace& place) {
  return place.lastCoo > place.coo ? static_cast<std::int64_t>(place.lastCoo) - place.coo + 1 : 1;
}

void MissingCooRanges::onFinding(const Finding& finding) {
  if (last_ != 0 && isMissingCoo(finding) && finding.place.coo == last_ + 1) {
    last_ = finding.place.coo;
    return;
  }
  flush();
  if (!isMissingCoo(finding)) return next_.onFinding(finding);
  first_ = finding;
  last_ = finding.place.coo;
}

void MissingCooRanges::flush() {
  if (last_ == 0) return;
  if (last_ > first_.place.coo) {
    first_.place.lastCoo = last_;
    first_.message = cformat("Erro -> COOs faltantes de números %06d a %06d (%lld números)."_cp, first_.place.coo,
                             last_, static_cast<long long>(cooCountOf(first_.place)));
  }
  last_ = 0;
  next_.onFinding(first_);
}

}  // namespace tavex
