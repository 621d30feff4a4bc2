#include "validation/totals.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "validation/document_checks.h"
#include "validation/messages.h"
#include "validation/money.h"

namespace tavex {

namespace {

constexpr std::int64_t kRatioScale = 100000000;  // ratios are fractions of 10^8

// Shares of `amount` over `sums` in proportion `ratio` / 10^8, for the entries
// `considered` allows; what truncation leaves over goes to the considered entry
// with the largest sum (the first on equal sums, the first considered when no sum
// is positive).
template <class Considered>
std::vector<std::int64_t> apportion(const std::vector<std::int64_t>& sums, std::int64_t amount, std::int64_t ratio,
                                    Considered considered) {
  std::vector<std::int64_t> shares(sums.size(), 0);
  std::int64_t given = 0;
  std::size_t largest = sums.size();  // the largest positive sum, first on ties
  std::size_t first = sums.size();
  for (std::size_t k = 0; k < sums.size(); ++k) {
    if (!considered(k)) continue;
    shares[k] = mulDiv(sums[k], ratio, kRatioScale);
    addTo(given, shares[k]);
    if (first == sums.size()) first = k;
    if (sums[k] > 0 && (largest == sums.size() || sums[k] > sums[largest])) largest = k;
  }
  if (largest == sums.size()) largest = first;
  if (largest < sums.size()) addTo(shares[largest], wrapSub(amount, given));
  return shares;
}

std::int64_t ratioOf(bool isPercent, std::int16_t percent, std::int64_t amount, std::int64_t base) {
  return isPercent ? static_cast<std::int64_t>(percent) * 10000 : mulDiv(amount, kRatioScale, base);
}

// The place of a finding about a document's total: its header's line, the field
// holding the total, its COO, and the amounts compared when there are two.
FindingPlace documentPlace(const DocumentEntry& d, std::int32_t coo, int headerType, int field,
                           std::optional<std::int64_t> declared = std::nullopt,
                           std::optional<std::int64_t> computed = std::nullopt) {
  FindingPlace place = at(d.headerLine, headerType, field);
  place.coo = coo;
  place.declared = declared;
  place.computed = computed;
  return place;
}

// The coupon's reduction: the cursor walks on while the reductions it meets end
// before the coupon.
CrzSlot& couponReduction(ValidationRun& run, std::int64_t coo) {
  while (run.crzCursor < kMaxCrz) {
    const CrzSlot& slot = run.crzTable[static_cast<std::size_t>(run.crzCursor)];
    if (slot.reductionCoo == 0 || slot.reductionCoo >= coo) break;
    ++run.crzCursor;
  }
  return run.crzTable[static_cast<std::size_t>(run.crzCursor)];
}

// Spreads the coupon's surcharge and discount over its item totalizers (TDM files).
void apportionCoupon(DocumentEntry& d, DocumentTotals& t, bool issFlag) {
  auto& items = t.itemTotalizers;
  const auto sums = [&] {
    std::vector<std::int64_t> v;
    v.reserve(items.size());
    for (const auto& e : items) v.push_back(e.value);
    return v;
  };
  const auto all = [](std::size_t) { return true; };

  const auto surchargeStep = [&] {
    if (d.surcharge == 0 && d.cancelledSurcharge == 0) return;
    if (d.surcharge != 0 && !d.isCancelled && d.subtotal != 0) {
      const auto shares = apportion(sums(), d.surcharge,
                                    ratioOf(d.surchargeIsPercent, d.surchargePercent, d.surcharge, d.subtotal), all);
      for (std::size_t k = 0; k < items.size(); ++k) {
        addTo(items[k].value, shares[k]);
        addTo(isIssTotalizer(items[k].name) ? t.itemSurchargeIss : t.itemSurchargeIcms, shares[k]);
      }
    }
    if (d.cancelledSurcharge != 0 && d.subtotal != 0) {
      const auto shares =
          apportion(sums(), d.cancelledSurcharge, mulDiv(d.cancelledSurcharge, kRatioScale, d.subtotal), all);
      for (std::size_t k = 0; k < items.size(); ++k)
        addTo(isIssTotalizer(items[k].name) ? t.cancelledIss : t.cancelledIcms, shares[k]);
    }
    addTo(d.subtotal, d.surcharge);
  };

  const auto discountStep = [&] {
    if (d.discount == 0) return;
    const std::int64_t base = issFlag ? d.subtotal : t.icmsNetTotal;
    // A value discount over an ICMS base of 0 has no ratio: nothing is apportioned.
    const bool apportionable = !d.isCancelled && d.subtotal != 0 && (d.discountIsPercent || base != 0);
    if (apportionable) {
      const auto considered = [&](std::size_t k) { return issFlag || !isIssTotalizer(items[k].name); };
      const auto shares =
          apportion(sums(), d.discount, ratioOf(d.discountIsPercent, d.discountPercent, d.discount, base), considered);
      for (std::size_t k = 0; k < items.size(); ++k) {
        if (!considered(k)) continue;
        subtractFrom(items[k].value, shares[k]);
        addTo(isIssTotalizer(items[k].name) ? t.itemDiscountIss : t.itemDiscountIcms, shares[k]);
      }
    }
    subtractFrom(d.subtotal, d.discount);
  };

  if (d.orderIndicator == 'A') {
    surchargeStep();
    discountStep();
  } else {
    discountStep();
    surchargeStep();
  }
}

}  // namespace

void convertPercentages(DocumentEntry& d, std::optional<std::int64_t> icmsNetTotal) {
  const auto percentOf = [](std::int64_t stored) { return static_cast<std::int16_t>(stored); };
  if (d.orderIndicator == 'D') {
    if (d.discountIsPercent) {
      d.discountPercent = percentOf(d.discount);
      d.discount = mulDiv(icmsNetTotal ? *icmsNetTotal : d.subtotal, d.discountPercent, 10000);
    }
    if (d.surchargeIsPercent) {
      d.surchargePercent = percentOf(d.surcharge);
      d.surcharge = mulDiv(wrapSub(d.subtotal, d.discount), d.surchargePercent, 10000);
    }
  } else {
    if (d.surchargeIsPercent) {
      d.surchargePercent = percentOf(d.surcharge);
      d.surcharge = mulDiv(d.subtotal, d.surchargePercent, 10000);
    }
    if (d.discountIsPercent) {
      d.discountPercent = percentOf(d.discount);
      d.discount = icmsNetTotal ? wrapSub(wrapAdd(d.subtotal, d.surcharge), d.netTotal)
                                : mulDiv(wrapAdd(d.subtotal, d.surcharge), d.discountPercent, 10000);
    }
  }
}

DocumentTotals& itemDocument(ValidationRun& run, std::int64_t coo, void (*close)(ValidationRun&)) {
  DocumentTotals& totals = run.documentTotals;
  if (totals.currentCoo == 0) {
    totals.currentCoo = static_cast<std::int32_t>(coo);
  } else if (coo != totals.currentCoo && currentDocumentHasHeader(run)) {
    close(run);
    totals.clear();
    totals.currentCoo = static_cast<std::int32_t>(coo);
  }
  return totals;
}

bool currentDocumentHasHeader(ValidationRun& run) {
  return run.documentTotals.currentCoo != 0 && run.documentEntry(run.documentTotals.currentCoo).headerLine != 0;
}

void closeCoupon(ValidationRun& run) {
  DocumentTotals& t = run.documentTotals;
  const std::int32_t coo = t.currentCoo;
  DocumentEntry& d = run.documentEntry(coo);
  CrzSlot& slot = couponReduction(run, coo);

  convertPercentages(d, slot.issFlag ? std::nullopt : std::optional<std::int64_t>(t.icmsNetTotal));
  if (!d.isCancelled && (slot.issFlag || !d.discountIsPercent || d.discount <= 0) &&
      d.netTotal != wrapSub(wrapAdd(d.subtotal, d.surcharge), d.discount))
    run.reportError(msg::kCouponHeaderNet, documentPlace(d, coo, 14, static_cast<int>(E14::TotalLiquido)), d.headerLine, coo);

  const std::int64_t expectedNet = wrapAdd(wrapSub(t.itemsNetTotal, d.discount), d.surcharge);
  addTo(t.computedGross, wrapAdd(wrapAdd(d.surcharge, t.cancelledSurchargeSum), d.cancelledSurcharge));
  const std::int64_t grossBase = wrapAdd(t.computedGrossIcms, t.computedGrossIss);
  if (grossBase > 0) {
    const std::int64_t icmsShare = mulDiv(t.computedGrossIcms, d.surcharge, grossBase);
    addTo(t.computedGrossIcms, icmsShare);
    addTo(t.computedGrossIss, wrapSub(d.surcharge, icmsShare));
  }

  // The findings mark the field holding the total: the net total is field 14 of
  // E14 and E19, although the log's texts cite "campo 12".
  if (!d.isCancelled) {
    if (t.itemsNetTotal != d.subtotal) run.reportError(msg::kCouponGross, documentPlace(d, coo, 14, static_cast<int>(E14::Subtotal), d.subtotal, t.itemsNetTotal), d.headerLine, coo);
    if (expectedNet != d.netTotal) run.reportError(msg::kCouponNet, documentPlace(d, coo, 14, static_cast<int>(E14::TotalLiquido), d.netTotal, expectedNet), d.headerLine, coo);
  }
  if (!fileKindRules(run.fileKind).allMemories) {
    t.currentCoo = 0;
    return;
  }

  apportionCoupon(d, t, slot.issFlag);

  addTo(slot.documentsGross, t.computedGross);
  if (d.isCancelled) {
    addTo(slot.sumCanS, wrapAdd(t.computedGrossIss, t.cancelledSurchargeIss));
    addTo(slot.sumCanT, wrapAdd(t.computedGrossIcms, t.cancelledSurchargeIcms));
  } else {
    for (const auto& item : t.itemTotalizers)
      addTo(slot.totalizers[slot.totalizers.findOrAdd(item.name)].value.documentSum, item.value);
    addTo(slot.sumDT, t.itemDiscountIcms);
    addTo(slot.sumDS, t.itemDiscountIss);
    addTo(slot.sumAT, t.itemSurchargeIcms);
    addTo(slot.sumAS, t.itemSurchargeIss);
    addTo(slot.sumCanT, t.cancelledIcms);
    addTo(slot.sumCanS, t.cancelledIss);
  }
  t.currentCoo = 0;
}

void closeNonFiscalDocument(ValidationRun& run) {
  DocumentTotals& t = run.documentTotals;
  const std::int32_t coo = t.currentCoo;
  DocumentEntry& d = run.documentEntry(coo);
  CrzSlot& slot = run.crzTable[reductionSlotOf(run, coo)];

  std::int64_t expectedNet = t.itemsNetTotal;
  if (d.discount != 0) subtractFrom(expectedNet, d.discount);
  if (d.surcharge != 0) addTo(expectedNet, d.surcharge);
  if (!d.isCancelled) {
    if (t.itemsNetTotal != d.subtotal) run.reportError(msg::kNonFiscalSubtotal, documentPlace(d, coo, 19, static_cast<int>(E19::Subtotal), d.subtotal, t.itemsNetTotal), d.headerLine, coo);
    if (expectedNet != d.netTotal) run.reportError(msg::kNonFiscalNet, documentPlace(d, coo, 19, static_cast<int>(E19::TotalLiquido), d.netTotal, expectedNet), d.headerLine, coo);
  }
  if (!fileKindRules(run.fileKind).documentTotals) {
    t.currentCoo = 0;
    return;
  }

  auto& names = t.nonFiscalItems;
  const auto step = [&](std::int64_t amount, bool isPercent, std::int16_t percent, bool add) {
    if (amount == 0 || t.itemsNetTotal == 0 || d.isCancelled) return;
    std::vector<std::int64_t> sums;
    for (const auto& e : names) sums.push_back(e.value);
    const auto shares = apportion(sums, amount, ratioOf(isPercent, percent, amount, t.itemsNetTotal),
                                  [](std::size_t) { return true; });
    for (std::size_t k = 0; k < names.size(); ++k) {
      if (add) {
        addTo(names[k].value, shares[k]);
        addTo(t.itemsNetTotal, shares[k]);
      } else {
        subtractFrom(names[k].value, shares[k]);
        subtractFrom(t.itemsNetTotal, shares[k]);
      }
    }
  };
  if (d.orderIndicator == 'A') {
    step(d.surcharge, d.surchargeIsPercent, d.surchargePercent, true);
    step(d.discount, d.discountIsPercent, d.discountPercent, false);
  } else {
    step(d.discount, d.discountIsPercent, d.discountPercent, false);
    step(d.surcharge, d.surchargeIsPercent, d.surchargePercent, true);
  }

  if (!d.isCancelled)
    for (const auto& e : names) addTo(slot.nonFiscal[slot.nonFiscal.findOrAdd(e.name)].value.documentSum, e.value);
  t.currentCoo = 0;
}

void runEndOfFileReports(ValidationRun& run) {
  if (checksCooSequence(run.fileKind)) reportMissingCoo(run);
  reportReconciliation(run, reconcile(run));
}

void reportMissingCoo(ValidationRun& run) {
  std::vector<std::int64_t> coos = run.cooList.values();
  if (coos.empty()) return;
  std::sort(coos.begin(), coos.end());
  for (std::size_t i = 1; i < coos.size(); ++i)
    for (std::int64_t missing = coos[i - 1] + 1; missing < coos[i]; ++missing) {
      FindingPlace place;
      place.coo = static_cast<int>(missing);
      run.reportError(msg::kMissingCoo, place, static_cast<int>(missing));
    }
}

void reportReconciliation(ValidationRun& run, const Reconciliation& table) {
  const auto report = [&](const ReductionReconciliation& r, const ReconciledTotal& t) {
    FindingPlace place = t.kind == TotalKind::GrossSales  ? at(t.line, 12, static_cast<int>(E12::VendaBrutaDiaria))
                         : t.kind == TotalKind::Totalizer ? at(t.line, 13, static_cast<int>(E13::ValorAcumulado))
                         : t.kind == TotalKind::NonFiscal ? at(t.line, 17, static_cast<int>(E17::ValorAcumulado))
                                                          : at(t.line, 18, static_cast<int>(E18::ValorAcumulado));
    place.crz = r.crz;
    place.declared = t.declared;
    place.computed = t.computed;
    switch (t.kind) {
      case TotalKind::Payment: run.reportError(msg::kPaymentTotal, place, t.line, t.name.c_str(), r.crz); break;
      case TotalKind::NonFiscal: run.reportError(msg::kNonFiscalTotal, place, t.line, t.name.c_str(), r.crz); break;
      case TotalKind::GrossSales: run.reportError(msg::kGrossSales, place, t.line, r.crz); break;
      case TotalKind::Totalizer: run.reportError(msg::kTotalizerTotal, place, t.line, t.name.c_str(), r.crz); break;
    }
  };
  // The log's order: payments and non-fiscal totals of every reduction, then the
  // gross sales and totalizers of every reduction.
  for (const ReductionReconciliation& r : table.reductions) {
    for (const ReconciledTotal& t : r.totals)
      if (t.kind == TotalKind::Payment && !t.withinTolerance) report(r, t);
    for (const ReconciledTotal& t : r.totals)
      if (t.kind == TotalKind::NonFiscal && !t.withinTolerance) report(r, t);
  }
  for (const ReductionReconciliation& r : table.reductions)
    for (const ReconciledTotal& t : r.totals)
      if ((t.kind == TotalKind::GrossSales || t.kind == TotalKind::Totalizer) && !t.withinTolerance) report(r, t);
}

}  // namespace tavex
