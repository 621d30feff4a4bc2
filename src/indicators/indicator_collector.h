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
// - The detail memory's own reductions are its E16 "RZ" (CRZ, COO, date). In a file
//   without E12 (MFD, RZ) they stand for the reductions: the documents are kept as
//   small rows (COO, date, line) until the end, then set against them.
// - GT: the E02, E04 and E11 GTs, placed in time by their registration or capture
//   date and hour, and the reductions by their issue. A GT registered before the
//   file's first reduction starts the sum only when nothing can lie between it and
//   that reduction (the first reduction is CRZ 1, or the GT was registered on its
//   movement day); a GT after the file's last reduction only when the E11 closes
//   that reduction (same CRZ). A GT of zero is no known GT (files made without).
// - The counters a capture itself adds (the reading's own documents): up to
//   kCaptureDocuments above the last document of the file.
// - A document's day: after its reduction's issue is an alert (documento.apos_z),
//   before the previous reduction's day too (data.regressiva), any other day only
//   information (fora_do_dia: a coupon begun before midnight). The documents of
//   one reduction that break the same rule become one indicator with each of them
//   behind it; the print of a reduction (E16 "RZ") off its issue stays apart.
// - A reduction with gross sales and no document at all (TDM only: the file must
//   hold the detail memory) is z.sem_documentos; not judged once a document record
//   could not be read.
// - A repeated COO is looked for among the records before it in the file: for a
//   coupon, the reductions (the coupons before it are covered by the rise within
//   E14); for E12, E16 and E19, the validation's COO list, which stops growing at
//   the file's first field-format error: after it, such repeats are not seen.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "cotepe/file_kind.h"
#include "indicators/indicator.h"
#include "validation/record_observer.h"

namespace tavex {

class IndicatorCollector : public RecordObserver {
 public:
  static constexpr std::int64_t kCaptureDocuments = 2;

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
    std::int64_t issueStamp = 0;  // AAAAMMDDhhmmss; 0: unknown
    std::int64_t gross = 0;
    std::int64_t documents = 0;  // documents of its day in the file (its print aside)
    int type = 12;               // 16: an E16 "RZ" standing for it
  };
  // A document of a file without E12, kept until the tape's reductions are known.
  struct TapeDocument {
    std::int64_t coo = 0;
    std::int32_t date = 0;
    std::int32_t line = 0;
    std::int8_t type = 0;
    bool cancelled = false;
  };
  struct GtAnchor {
    std::int64_t stamp = 0;  // AAAAMMDDhhmmss
    std::int64_t gt = 0;
    int line = 0, type = 0;
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
  void add(std::string_view code, int line, int type, std::int64_t crz, std::int64_t coo, std::string expected,
           std::string found, std::string sentence);
  void add(Indicator indicator);
  // COO rules every document record shares; false when the COO went back. For a
  // coupon (E14), `coupons` is the reduction of its COO.
  bool documentCoo(const RecordLine& rec, std::int64_t coo, std::int64_t crz, const CheckState& state, bool reductionPrint,
                   const Reduction* coupons = nullptr);
  void raise(Maximum& maximum, std::int64_t value, int line);
  // The reduction a document of COO `coo` belongs to, or nullptr.
  Reduction* reductionOf(std::int64_t coo);
  Reduction* reductionByCrz(std::int64_t crz);
  // The day rules of a document of `coo` dated `date` in `reduction` (its own, or
  // nullptr): dated after the reduction's issue, before the previous reduction's
  // day, or off its day. Counts it among the reduction's documents.
  void documentDay(int line, int type, std::int64_t coo, std::int64_t date, Reduction* reduction);
  void tapeReduction(const RecordLine& rec, std::int64_t crz, std::int64_t coo, std::int64_t date);
  void tapeDocuments();
  bool withoutE12() const;
  void grandTotals();
  void countersAfterLast();
  // One indicator per cause: the documents of one reduction off its day, together.
  void groupConsequences();
  void gnfStep(const GnfDocument& doc);
  void flushGnfBefore(std::int64_t coo);
  void endOfFile();

  IndicatorSettings settings_;
  std::vector<Indicator> indicators_;

  // E01 / E02 / E04 / E11.
  int e01Line = 0;
  std::int64_t crzFirst = 0, crzLast = 0;
  FileKind kind = FileKind::None;
  bool hasE02Gt = false;
  std::int64_t e02Gt = 0;
  std::vector<GtAnchor> gtAnchors;  // E02 and E04 with a GT and a date
  std::int64_t e11Gt = 0, e11Stamp = 0;
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
  bool e12Skipped = false;                                // some E12 could not be read
  bool documentSkipped = false;                           // some E14, E16 or E19 could not be read
  // E12 whose COO went back, by COO: a document with one of those COOs repeats it.
  std::vector<std::pair<std::int64_t, int>> fallenBack;
  bool fallenBackSorted = false;
  // The detail memory's reductions (E16 "RZ") and, in a file without E12, its documents.
  std::vector<Reduction> tape;
  Last lastTapeCrz, lastTapeDate;
  std::vector<TapeDocument> tapeDocs;
  std::set<std::size_t> printsOffTheirDay;  // indicators of E16 "RZ" dated off their E12's issue
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
