// Computes the indicators (indicator.h) while the full validation reads the file:
// attach it as ValidationOptions::recordObserver, then take finish() after the
// run. It keeps the last value of each counter, one small row per Z reduction
// (E12) and per CRO event (E09), and the non-fiscal documents with a GNF of E16
// until the E19s come (the GNF sequence runs over both in COO order). Whether a
// COO was used before is asked of the validation's own COO list.
//
// Rules that need a judgement:
// - The dates of documents: E14 and E19 DATA_INICIO (the day the document began),
//   E16 DATA_FINAL. An E16 "RZ" is the print of the Z reduction itself: it is
//   compared with the DATA_EMISSAO of the E12 of its CRZ, not with the movement day.
// - A document belongs to the first reduction (E12, in COO order) whose COO is not
//   below its own; documents after the last reduction of the file have none.
// - E14 field 6 holds the coupon's CCF (or CVC/CBP on ECFs that issue those): one
//   sequence over the file's E14 in file order. E11 is compared with the largest of
//   its CCF, CVC and CBP.
// - GNF: E16 and E19 together, in COO order, only those with GNF above zero.
// - The largest value of each counter in the file: CRZ of E12 and E16, CRO of E09
//   and E12, COO of E12, E14, E16 and E19, CCF of E14, GNF of E16 and E19.
// - CRO: a CRO of 0 (no intervention ever) needs no E09; the "no E09" alert is
//   given once per CRO value, where the reductions take it up.
// - Dates that are blank (the format allows them) take part in no date rule.
// - A repeated COO is looked for among the records before it in the file: for a
//   coupon, the reductions (the coupons before it are covered by the rise within
//   E14); for E12, E16 and E19, the validation's COO list, which stops growing at
//   the file's first field-format error: after it, such repeats are not seen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "indicators/indicator.h"
#include "validation/record_observer.h"

namespace tavex {

class IndicatorCollector : public RecordObserver {
 public:
  explicit IndicatorCollector(IndicatorSettings settings = {}) : settings_(settings) {}

  void onRecord(const RecordLine& rec, bool fieldsPassed, const CheckState& state) override;
  void onRestart() override;

  // The end-of-file rules, then every indicator, alerts first and each level in
  // line order. Call once, after the run.
  std::vector<Indicator> finish();

 private:
  struct Reduction {
    int line = 0;
    std::int64_t crz = 0, coo = 0;
    std::int64_t movementDate = 0, issueDate = 0;
    std::int64_t coupons = 0, cancelled = 0;
  };
  struct CroEvent {
    std::int64_t cro = 0;
    std::int64_t date = 0;
  };
  struct GnfDocument {
    std::int64_t coo = 0, gnf = 0;  // gnf 0: a skipped record, the sequence starts again
    int line = 0, type = 0;
  };
  struct Maximum {
    std::int64_t value = 0;
    int line = 0;
  };
  // The last record of a sequence; line 0: none yet (or it starts again).
  struct Last {
    std::int64_t value = 0;
    int line = 0;
  };

  void onE01(const RecordLine& rec);
  void onE02(const RecordLine& rec);
  void onE04(const RecordLine& rec);
  void onE09(const RecordLine& rec);
  void onE11(const RecordLine& rec);
  void onE12(const RecordLine& rec, const CheckState& state);
  void onE14(const RecordLine& rec, const CheckState& state);
  void onE16(const RecordLine& rec, const CheckState& state);
  void onE19(const RecordLine& rec, const CheckState& state);
  void skipped(int type);

  void add(std::string_view code, const RecordLine& rec, std::int64_t crz, std::int64_t coo, std::string expected,
           std::string found, std::string sentence);
  void add(Indicator indicator);
  // COO rules every document record shares; false when the COO went back. For a
  // coupon (E14), `coupons` is the reduction of its COO.
  bool documentCoo(const RecordLine& rec, std::int64_t coo, const CheckState& state, bool reductionPrint,
                   const Reduction* coupons = nullptr);
  void raise(Maximum& maximum, std::int64_t value, int line);
  // The reduction a document of COO `coo` belongs to, or nullptr.
  Reduction* reductionOf(std::int64_t coo);
  Reduction* reductionByCrz(std::int64_t crz);
  // indicio.documento.fora_do_dia of a document of `coo` dated `date` in `reduction` (its own, or nullptr).
  void documentDay(const RecordLine& rec, std::int64_t coo, std::int64_t date, const Reduction* reduction);
  void gnfStep(const GnfDocument& doc);
  void flushGnfBefore(std::int64_t coo);
  void endOfFile();

  IndicatorSettings settings_;
  std::vector<Indicator> indicators_;

  // E01 / E02 / E04 / E11.
  int e01Line = 0;
  std::int64_t crzFirst = 0, crzLast = 0;
  bool hasE02Gt = false;
  std::int64_t e02Gt = 0;
  Last lastE04Gt;
  Maximum maxE04Gt;
  int e11Line = 0;
  std::int64_t e11Crz = 0, e11Cro = 0, e11Coo = 0, e11Ccf = 0, e11Gnf = 0;

  // E09 and E12.
  std::vector<CroEvent> croEvents;  // in file order
  Last lastE09Cro;
  std::vector<Reduction> reductions;  // E12 whose COO rose, in file (and COO) order
  Last lastCrz, lastE12Cro, lastMovement;
  int firstE12Line = 0, lastE12Line = 0;
  bool firstE12Skipped = false, lastE12Skipped = false;  // the first / last E12 could not be read
  bool e09Skipped = false;                                // some E09 could not be read
  std::int64_t firstCrz = 0, finalCrz = 0;

  // Documents.
  Last lastCoo[4];  // E12, E14, E16, E19
  Last lastCcf;
  Last lastGnf;
  // An E19 could not be read: the GNF sequence is not compared up to the next E19
  // (the E16 records between them may lie on either side of the gap).
  bool gnfGap = false;
  std::vector<GnfDocument> e16Gnf;  // E16 with GNF, waiting for the E19s
  std::size_t e16GnfNext = 0;

  Maximum maxCrz, maxCro, maxCoo, maxCcf, maxGnf;
  bool finished_ = false;
};

}  // namespace tavex
