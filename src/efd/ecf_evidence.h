// What an ECF's own files recorded, as the comparison with the EFD needs it: its Z
// reductions (E12 with their E13 totalizers) and its coupons (E14), each with the
// file and line that hold it. Gathered while each file's validation reads it (an
// EvidenceCollector beside the checks), then put together per ECF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cotepe/file_kind.h"
#include "validation/record_observer.h"

namespace tavex {

struct RecordedTotalizer {
  std::string code;  // E13 TOTALIZADOR, blanks trimmed (cp1252)
  std::int64_t value = 0;
  int line = 0;
};

struct RecordedReduction {
  std::int64_t crz = 0, cro = 0, coo = 0, gross = 0;
  std::string date;  // DATA_MOVIMENTO, AAAAMMDD
  int line = 0;
  std::size_t file = 0;  // index into the ECF's files
  std::vector<RecordedTotalizer> totalizers;
};

struct RecordedCoupon {
  std::int64_t coo = 0, net = 0;
  std::string date;  // DATA_INICIO, AAAAMMDD
  bool cancelled = false;
  int line = 0;
  std::size_t file = 0;
};

// One file's evidence. Only records whose length and fields passed are taken.
struct FileEvidence {
  std::string path;  // as given (UTF-8)
  std::string serial;  // E01's, blanks trimmed (cp1252); empty when unknown
  FileKind kind = FileKind::None;
  std::string periodStart, periodEnd;  // E01 AAAAMMDD
  std::vector<RecordedReduction> reductions;  // file 0
  std::vector<RecordedCoupon> coupons;         // file 0
  // False when its validation stopped before its records (a structure error): what
  // it holds was not read, only its serial is known (from the log's header).
  bool read = true;
};

class EvidenceCollector : public RecordObserver {
 public:
  explicit EvidenceCollector(std::string path) { evidence_.path = std::move(path); }
  void onRecord(const RecordLine& rec, bool fieldsPassed, const CheckState& state) override;
  void onRestart() override;
  FileEvidence finish() { return std::move(evidence_); }
  // The evidence of a run that read the file to its end when `read`; otherwise
  // only the serial `serial` (the log header's, '?' when unknown) is kept.
  FileEvidence finish(bool read, std::string_view serial);

 private:
  FileEvidence evidence_;
};

// One ECF: its files' evidence together. A reduction held by two files is taken
// from the first; a coupon likewise.
struct RecordedEcf {
  std::string serial;
  std::vector<std::string> files;  // paths (UTF-8)
  std::vector<RecordedReduction> reductions;  // by CRZ
  std::vector<RecordedCoupon> coupons;        // by COO
  // The periods (AAAAMMDD) the detail memory of its MFD and TDM files covers.
  std::vector<std::pair<std::string, std::string>> detailPeriods;
  // A file of the ECF could not be read: what the files lack may be in it.
  bool incomplete = false;

  // True when a detail memory file covers the day `date` (AAAAMMDD).
  bool detailCovers(const std::string& date) const;
};

// The ECFs of `files` by serial, in the order their first file came; files whose
// serial is unknown are left out.
std::vector<RecordedEcf> gatherEcfs(std::vector<FileEvidence> files);

}  // namespace tavex
