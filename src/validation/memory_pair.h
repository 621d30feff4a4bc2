// The reconciliation of one ECF's fiscal memory (an MF file: E01..E13, the Z
// reductions) with its detail memory (an MFD file: E14..E21, every document).
//
// Both files' records go, in the order a TDM file holds them (the MF's E01 and E02,
// its E03..E13, then the MFD's E14..E21 and EAD), to one validation run of the TDM
// kind: each reduction of the MF is reconciled with the MFD's documents by the same
// record checks, totals and tolerance as one TDM file holding both would be. Each
// file's record order is examined by its own structural scan, by its own kind.
//
// Only the part both files cover is compared: MFD documents dated before the MF's
// period are left out of the sums, and reductions outside the other file's period
// are listed as not compared, never as differences.
//
// The run writes no log (each file has its own, from "validar"); its findings reach
// the sinks of the options. Used from one thread; reads each file once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cotepe/file_kind.h"
#include "cotepe/notifier.h"
#include "validation/finding.h"
#include "validation/reconciliation.h"

namespace tavex {

enum class PairFile { Mf, Mfd };

struct PairOptions {
  std::string today;  // AAAAMMDD of the run; empty: the local date
  // Missing record types of either file are warnings; a file whose only structural
  // findings are those goes on (as validar --continuar).
  bool continueAfterMissingRecords = false;
  // The joint run's findings, kept alive by the caller. Their lines are those of
  // the joint stream: MF lines keep their numbers, an MFD line is `mfdLineOffset`
  // further on.
  std::vector<FindingSink*> sinks;
};

// What E01 says of one file (cp1252, as sliced), or an empty serial when its
// first line is no E01.
struct PairIdentity {
  std::string path;  // as given
  FileKind kind = FileKind::None;
  std::string serial, mfAdicional, model, periodStart, periodEnd;
  bool known() const { return !serial.empty(); }
};

// Where a row of the reconciliation comes from: the file and line of the record
// that declares it (E12, E13 in the MF; E17, E18 in the MFD) and the lines of the
// MFD documents summed for it (the headers of its coupons for E12/E13, of its
// non-fiscal documents for E17, its payments for E18; 0 and 0 when none).
struct TotalOrigin {
  PairFile declaredIn = PairFile::Mf;
  int declaredLine = 0;
  int documentsFirstLine = 0;
  int documentsLastLine = 0;
};

enum class NotComparedReason {
  OutsidePeriod,  // its day is outside the other file's period
  NotInMf,        // an MFD reduction (E16 "RZ") within the MF's period that the MF lacks
};

struct NotComparedReduction {
  PairFile file = PairFile::Mf;
  int line = 0;      // its E12 in the MF, its E16 in the MFD
  int crz = 0;
  std::string date;  // AAAAMMDD as in the file
  NotComparedReason reason = NotComparedReason::OutsidePeriod;
};

struct MemoryPair {
  bool ran = false;  // both files read through and reconciled; otherwise the notifier said why
  PairIdentity mf, mfd;
  // The reductions compared, rows as a TDM file's; every line is its own file's.
  Reconciliation reconciliation;
  std::vector<std::vector<TotalOrigin>> origins;  // by reduction, by total, as in `reconciliation`
  std::vector<NotComparedReduction> notCompared;  // the MF's first, then the MFD's, by CRZ
  int errors = 0, warnings = 0;  // of the joint run, totals findings included
  int contentChecksOffAt = 0;    // joint line of the first field-format error, 0 when none
  int mfdLineOffset = 0;         // joint line of an MFD line = its line + this
};

// Reconciles the MF and the MFD among `first` and `second` (in either order).
// Refused, through `notifier`, when a file cannot be read, when they are not one
// MF and one MFD, are of different ECFs (E01 serial, MF addition or model; the
// message names both serials), when a record of either file names another ECF
// than its E01 (the message gives the first such line), have periods that do not overlap, or when a file
// fails its structural or size examination (the message gives its first finding).
MemoryPair reconcileMemories(Notifier& notifier, const std::string& first, const std::string& second,
                             std::int64_t toleranceCents, const PairOptions& options = {});

// The identity of a file from its first line (`line`, its line end removed).
PairIdentity identityOf(std::string_view firstLine);

// Whether two identities name one ECF (serial, MF addition and model equal; an
// unknown identity is no ECF's).
bool sameEcf(const PairIdentity& a, const PairIdentity& b);

// Where a row's declared value comes from, "MF:13" or "MFD:47" (empty when unknown),
// and the lines of the documents summed for it, "MFD:7-9" or "MFD:7" (empty when none).
std::string declaredInText(const TotalOrigin& origin);
std::string documentsText(const TotalOrigin& origin);

// One MF and one MFD of a batch reconciled with each other: the files by their
// index in the caller's list, the result, and when it did not run (`result.ran`
// false) why not, as the notifier said it (cp1252).
struct BatchPair {
  std::size_t mf = 0, mfd = 0;
  MemoryPair result;
  std::string refusal;
};

}  // namespace tavex
