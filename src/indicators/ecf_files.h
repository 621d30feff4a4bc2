// Files of one ECF. An audit rarely has one file: the fiscal memory and the detail
// memory, month by month, sometimes read again a year later. Files are grouped by
// the ECF their E01 names (serial, MF addition, model) and, within a group, ordered
// by the reductions they hold (CRZ) and their period; the group's indicators set
// the files against each other: reductions missing between them, the same reduction
// or the same document (COO) told two ways, files covering the same reductions,
// counters that go back (the E11s in the order of their captures), a day of the
// fiscal memory with sales and no document in a detail memory holding its CRZ.
//
// What a file contributes is gathered while its validation reads it (a
// FootprintCollector beside the checks); nothing is read again.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "cotepe/file_kind.h"
#include "indicators/indicator.h"
#include "validation/record_observer.h"
#include "validation/validate.h"

namespace tavex {

// What grouping needs of one file. Texts cp1252 as sliced.
struct FileFootprint {
  std::string path;  // as given (UTF-8)
  bool identified = false;  // an E01 whose length and fields passed, with a serial
  std::string serial, mfAdicional, model;
  FileKind kind = FileKind::None;
  std::string periodStart, periodEnd;  // E01 AAAAMMDD
  // The validation read all its records (false: its structure failed before the
  // end, and it is set aside). A file lacking only its EAD, or a record type, is read.
  bool usable = true;
  bool withoutEad = false;  // read, but its last record is no EAD (as `separar` cuts them)
  // The first record after E01 that names another ECF (serial, MF addition or
  // model), 0 when none, and the serial it names: such a file is no one ECF's.
  int foreignLine = 0;
  int foreignType = 0;
  std::string foreignSerial;

  struct Reduction {
    int crz = 0;
    int line = 0;  // of its E12 (or E16 "RZ" for a detail memory)
    std::int64_t coo = 0, cro = 0, gross = 0;
    std::string movement, issued;  // E12 DATA_MOVIMENTO, DATA_EMISSAO
    std::uint64_t totalizers = 0;   // a digest of its E13 (totalizer, value) pairs; 0 when none
    bool fromTape = false;          // an E16 "RZ" of a detail memory, not an E12
  };
  std::vector<Reduction> reductions;  // in the file's order

  bool hasE11 = false;
  int e11Line = 0;
  std::int64_t e11Coo = 0, e11Cro = 0, e11Gt = 0, e11Crz = 0;
  std::int64_t e11Stamp = 0;  // capture date and hour, AAAAMMDDhhmmss; 0 when blank

  // The detail memory's documents (E14, E16 but "RZ", E19) in file order, each as its
  // COO, its line and a digest of what another read of the same memory must tell
  // alike (type, CCF/GNF, date, net total, cancellation): twelve bytes a document.
  // Where two reads differ, the two lines are read again to show the values.
  struct Document {
    std::int32_t coo = 0;  // six digits
    std::uint32_t digest = 0;
    std::int32_t line = 0;
  };
  std::vector<Document> documents;

  // The CRZ range the file holds (its first and last reduction), 0/0 when none.
  int firstCrz() const;
  int lastCrz() const;
};

// Gathers a file's footprint from the records of its full run. Only records whose
// length and fields passed are read.
class FootprintCollector : public RecordObserver {
 public:
  explicit FootprintCollector(std::string path) { footprint_.path = std::move(path); }
  void onRecord(const RecordLine& rec, bool fieldsPassed, const CheckState& state) override;
  void onRestart() override;
  // The footprint; `usable` as the caller learned from the run.
  FileFootprint finish(bool usable);
  // The footprint of the full run that gave `summary`: usable when every record
  // was read (the structure held, or failed only for record types left out).
  FileFootprint finish(const ValidationSummary& summary);

 private:
  FileFootprint footprint_;
  bool restarted_ = false;  // the run started over and no record has come since
  std::unordered_map<int, std::size_t> byCrz_;  // the E12 of each CRZ seen (for its E13)
};

// One ECF's files and what they say together.
struct EcfGroup {
  bool known = false;  // false: "ECF desconhecida", one file whose E01 could not be read
  std::string serial, mfAdicional, model;  // cp1252
  std::vector<std::size_t> files;     // indices into the footprints, in CRZ and period order
  std::vector<std::size_t> excluded;  // files of the ECF left out (see exclusionReason)
  std::vector<std::pair<int, int>> held;     // CRZ ranges the files hold, ascending
  std::vector<std::pair<int, int>> missing;  // CRZ ranges missing between them
  std::vector<Indicator> indicators;  // alerts first, then information
};

// The groups of `files`, known ECFs by their E01's serial, MF addition and model,
// then each unknown file in a group of its own. A file whose records could not be
// read or name another ECF is left out of its E01's group (`excluded`). Linear in
// the reductions and documents held, plus the sort; reads again only the lines of
// documents two files tell apart.
std::vector<EcfGroup> groupByEcf(const std::vector<FileFootprint>& files);

// The reductions a group holds and those missing, for a reader (cp1252):
// "CRZ 000001 a 000030 e 000061 a 000090 (60 reduções); faltam 000031 a 000060",
// "nenhuma redução Z" when its files hold none.
std::string coverageText(const EcfGroup& group);

// Why a file of `excluded` was left out (cp1252): "não passou na verificação de
// estrutura" or "a linha 7 (E15) é da ECF X".
std::string exclusionReason(const FileFootprint& file);

// The caption of a group: "ECF <serial> (MF adicional X, modelo M)" or "ECF desconhecida" (cp1252).
std::string ecfCaption(const EcfGroup& group);

}  // namespace tavex
