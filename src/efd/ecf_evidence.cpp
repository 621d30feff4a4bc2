#include "efd/ecf_evidence.h"

#include <algorithm>
#include <set>

#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "validation/record_check.h"

namespace tavex {

void EvidenceCollector::onRecord(const RecordLine& rec, bool fieldsPassed, const CheckState&) {
  if (!fieldsPassed) return;
  FileEvidence& f = evidence_;
  const std::string_view line = rec.text;
  switch (rec.type) {
    case 1:
      f.serial = std::string(trimRight(fieldOf(line, E01::NumeroFabricacao)));
      f.kind = fileKindOf(fieldOf(line, E01::ComandoGeracao));
      f.periodStart = std::string(fieldOf(line, E01::DataInicial));
      f.periodEnd = std::string(fieldOf(line, E01::DataFinal));
      break;
    case 12: {
      RecordedReduction r;
      r.crz = leadingInt(fieldOf(line, E12::Crz));
      r.coo = leadingInt(fieldOf(line, E12::Coo));
      r.cro = leadingInt(fieldOf(line, E12::Cro));
      r.gross = leadingInt(fieldOf(line, E12::VendaBrutaDiaria));
      r.date = std::string(fieldOf(line, E12::DataMovimento));
      r.line = rec.number;
      f.reductions.push_back(std::move(r));
      break;
    }
    case 13: {
      // E13 follow their reduction's E12; one of another CRZ finds it among those read.
      const std::int64_t crz = leadingInt(fieldOf(line, E13::Crz));
      for (auto it = f.reductions.rbegin(); it != f.reductions.rend(); ++it) {
        if (it->crz != crz) continue;
        it->totalizers.push_back({std::string(trimRight(fieldOf(line, E13::Totalizador))),
                                  leadingInt(fieldOf(line, E13::ValorAcumulado)), rec.number});
        break;
      }
      break;
    }
    case 14: {
      RecordedCoupon c;
      c.coo = leadingInt(fieldOf(line, E14::Coo));
      c.net = leadingInt(fieldOf(line, E14::TotalLiquido));
      c.date = std::string(fieldOf(line, E14::DataInicio));
      c.cancelled = fieldOf(line, E14::Cancelamento) == "S";
      c.line = rec.number;
      f.coupons.push_back(std::move(c));
      break;
    }
    default: break;
  }
}

void EvidenceCollector::onRestart() {
  FileEvidence fresh;
  fresh.path = std::move(evidence_.path);
  evidence_ = std::move(fresh);
}

FileEvidence EvidenceCollector::finish(bool read, std::string_view serial) {
  if (read) return finish();
  FileEvidence out;
  out.path = std::move(evidence_.path);
  out.serial = std::string(trimRight(serial));
  if (out.serial.find('?') != std::string::npos) out.serial.clear();
  out.read = false;
  return out;
}

bool RecordedEcf::detailCovers(const std::string& date) const {
  for (const auto& [start, end] : detailPeriods)
    if (date >= start && date <= end) return true;
  return false;
}

std::vector<RecordedEcf> gatherEcfs(std::vector<FileEvidence> files) {
  std::vector<RecordedEcf> ecfs;
  for (FileEvidence& f : files) {
    if (f.serial.empty()) continue;
    auto ecf = std::find_if(ecfs.begin(), ecfs.end(), [&](const RecordedEcf& e) { return e.serial == f.serial; });
    if (ecf == ecfs.end()) {
      ecfs.emplace_back().serial = f.serial;
      ecf = ecfs.end() - 1;
    }
    const std::size_t index = ecf->files.size();
    ecf->files.push_back(f.path);
    if (!f.read) {
      ecf->incomplete = true;
      continue;
    }
    if (f.kind == FileKind::MFD || f.kind == FileKind::TDM) ecf->detailPeriods.emplace_back(f.periodStart, f.periodEnd);
    for (RecordedReduction& r : f.reductions) {
      r.file = index;
      ecf->reductions.push_back(std::move(r));
    }
    for (RecordedCoupon& c : f.coupons) {
      c.file = index;
      ecf->coupons.push_back(std::move(c));
    }
  }
  for (RecordedEcf& e : ecfs) {
    // By CRZ (COO), the first file's copy kept: the sort is stable and files came in order.
    std::stable_sort(e.reductions.begin(), e.reductions.end(),
                     [](const RecordedReduction& a, const RecordedReduction& b) { return a.crz < b.crz; });
    e.reductions.erase(std::unique(e.reductions.begin(), e.reductions.end(),
                                   [](const RecordedReduction& a, const RecordedReduction& b) { return a.crz == b.crz; }),
                       e.reductions.end());
    std::stable_sort(e.coupons.begin(), e.coupons.end(),
                     [](const RecordedCoupon& a, const RecordedCoupon& b) { return a.coo < b.coo; });
    e.coupons.erase(std::unique(e.coupons.begin(), e.coupons.end(),
                                [](const RecordedCoupon& a, const RecordedCoupon& b) { return a.coo == b.coo; }),
                    e.coupons.end());
  }
  return ecfs;
}

}  // namespace tavex
