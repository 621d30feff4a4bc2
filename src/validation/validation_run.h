// One validation of a COTEPE file: its log, its counters, the reference values of
// E01/E02 and the tables the record checks fill and the totals cross-checks read.
//
// A ValidationRun lives for one call of validateCotepeFile / validateCotepeFileQuick
// and is used from that caller's thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "cotepe/file_kind.h"
#include "cotepe/message.h"
#include "cotepe/text.h"
#include "validation/finding.h"
#include "validation/lookup_tables.h"
#include "validation/record_observer.h"
#include "validation/validation_log.h"

namespace tavex {

enum class CheckMode { Full, FormatOnly };

// A total declared by the fiscal memory (E13, E17, E18) and the documents' sum of it.
struct DeclaredTotal {
  std::int32_t line = 0;  // line of the declaring record; 0 when only documents named it
  std::int64_t value = 0;
  std::int64_t documentSum = 0;
};

// One Z reduction, indexed by its CRZ.
struct CrzSlot {
  std::int32_t reductionCoo = 0;  // E12 COO; 0 = slot never filled
  std::int32_t reductionLine = 0;
  std::string reductionDate;        // E12 DATA_MOVIMENTO, AAAAMMDD as in the file
  std::int64_t grossSales = 0;      // E12 VENDA_BRUTA_DIARIA
  std::int64_t documentsGross = 0;  // sum of the documents' gross
  std::uint8_t reductionUser = 0;   // E12 NUM_USUARIO, kept in 8 bits
  bool issFlag = false;             // E12 ISS_DISC is "S" or "s"
  NamedTable<DeclaredTotal> totalizers;  // E13, by TOTALIZADOR (7 characters)
  // Documents' sums of the totalizers "DT", "DS", "AT", "AS", "Can-T", "Can-S".
  std::int64_t sumDT = 0, sumDS = 0, sumAT = 0, sumAS = 0, sumCanT = 0, sumCanS = 0;
  NamedTable<DeclaredTotal> nonFiscal;  // E17, by TOT_NF (15 characters)
  NamedTable<DeclaredTotal> payments;   // E18, by MEIO_PAG (15 characters)
};

inline constexpr int kMaxCrz = 5001;  // crzTable holds slots 0..5001

// The header of a document (E14 coupon or E19 non-fiscal document).
struct DocumentEntry {
  std::int32_t headerLine = 0;  // 0 = no header seen for this COO
  std::int64_t subtotal = 0, netTotal = 0, discount = 0, surcharge = 0, cancelledSurcharge = 0;
  char orderIndicator = ' ';
  std::int16_t discountPercent = 0, surchargePercent = 0;
  bool isCancelled = false, surchargeIsPercent = false, discountIsPercent = false;
};

// The sums of the items of the document being read: its numbers, kept apart from
// its tables so that clearing them is one assignment.
struct DocumentSums {
  std::int32_t currentCoo = 0;
  std::int64_t itemsNetTotal = 0;
  std::int64_t icmsNetTotal = 0;
  std::int64_t computedGross = 0, computedGrossIss = 0, computedGrossIcms = 0;
  std::int64_t itemDiscountIcms = 0, itemDiscountIss = 0, itemSurchargeIcms = 0, itemSurchargeIss = 0;
  std::int64_t cancelledIcms = 0, cancelledIss = 0;
  std::int64_t cancelledSurchargeSum = 0, cancelledSurchargeIcms = 0, cancelledSurchargeIss = 0;
  std::int64_t nonFiscalDiscount = 0, nonFiscalSurcharge = 0, nonFiscalCancelled = 0;
};

struct DocumentTotals : DocumentSums {
  NamedTable<std::int64_t> itemTotalizers;  // by TOTALIZADOR_PARCIAL
  NamedTable<std::int64_t> nonFiscalItems;  // by DENOMINACAO

  // Back to no items; the tables keep their memory for the next document.
  void clear() {
    static_cast<DocumentSums&>(*this) = DocumentSums{};
    itemTotalizers.clear();
    nonFiscalItems.clear();
  }
};

// An E09 registration of an MF addition, by CRO.
struct MfRegistration {
  char registeredMfAdicional = 0;
  std::string recordDate;  // AAAAMMDD
  std::string recordTime;  // HHMMSS
};

// What the record checks learn and add up while the lines are read: the reference
// values of E01/E02 and the tables the totals cross-checks read. A default
// CheckState is the state before the first line.
struct CheckState {
  bool formatFailed = false;  // sticky: the first field-format failure ends content checks
  int formatFailedLine = 0;   // the line of that failure

  // Reference values from E01 / E02.
  FileKind fileKind = FileKind::None;  // from E01 COMANDO_GERACAO
  std::string ecfSerial, ecfBrand, ecfModel;
  char mfAdicional = 0;
  std::string userCnpj, sbDate, periodStart, periodEnd;
  std::int32_t crzFirst = 0, crzLast = 0;
  std::int32_t userNumber = 0;

  NumberList cooList;  // COO of every E12, E14, E16 and E19

  // Fiscal memory.
  std::vector<CrzSlot> crzTable = std::vector<CrzSlot>(kMaxCrz + 1);
  std::int32_t firstStoredCrz = 0;
  std::int32_t crzCursor = 0;
  // Running maxima of the reduction COOs, for finding a document's reduction; rebuilt
  // when reductionVersion (raised by every stored E12) has moved on.
  std::uint64_t reductionVersion = 0;
  std::uint64_t reductionMaximaVersion = ~std::uint64_t{0};
  std::vector<std::int64_t> reductionMaxima;
  NumberList mfRegistrationCros;
  std::vector<MfRegistration> mfRegistrations;
  std::array<int, 256> registeredMfCount{};  // entries per MF letter, for the E10 test

  // Documents.
  NumberList documentCooList;
  StableTable<DocumentEntry> documentTable;  // by the index of the COO in documentCooList
  DocumentTotals documentTotals;
};

// Findings waiting for an examination under way to pass (ValidationRun::setHolding).
class HeldFindings {
  friend class ValidationRun;
  bool holding_ = false;
  std::vector<Finding> findings_;
  std::size_t bytes_ = 0;
};

// Everything one read of the file builds up. A read from the first line again
// starts from a default ReadState: a member that belongs to the read goes here (or
// in CheckState), so the restart cannot leave it behind.
struct ReadState : CheckState {
  HeldFindings held;
};

// The run: its own members (below) last for the whole validation, whatever the
// number of reads; the read's are in ReadState.
class ValidationRun : public ReadState {
 public:
  explicit ValidationRun(Notifier& notifier) : notifier(notifier), log(notifier) {}

  Notifier& notifier;
  ValidationLog log;
  std::string today;  // AAAAMMDD of the run
  std::int64_t toleranceCents = 0;
  RecordObserver* observer = nullptr;  // sees the records of the full run; kept alive by the caller

  // The entry of a COO in documentTable, found or added through documentCooList.
  DocumentEntry& documentEntry(std::int64_t coo);

  // Reports a finding: `message` is a msg:: constant (its identity gives the
  // finding's code), formatted with `args`, which must be of the types the message
  // names; the log writes it and every attached sink receives it, in the order of
  // the reports.
  template <class... Args, class... Given>
    requires(sizeof...(Args) == sizeof...(Given) && (PassesAs<Given, Args> && ...))
  void reportError(const Message<Args...>& message, const FindingPlace& place, Given&&... args) {
    report(Severity::Error, message.text, place, formatted(message.text, static_cast<Args>(args)...));
  }
  template <class... Args, class... Given>
    requires(sizeof...(Args) == sizeof...(Given) && (PassesAs<Given, Args> && ...))
  void reportWarning(const Message<Args...>& message, const FindingPlace& place, Given&&... args) {
    report(Severity::Warning, message.text, place, formatted(message.text, static_cast<Args>(args)...));
  }
  void report(Severity severity, const char* const& message, const FindingPlace& place, std::string text);

  // Sinks that receive every finding besides the log; the caller keeps them alive
  // for the run.
  void attach(FindingSink& sink) { sinks_.push_back(&sink); }

  // While holding, findings wait in order, uncounted, instead of reaching the log
  // and the sinks: for checks whose findings count only if an examination still
  // under way passes. releaseHeld delivers them as if reported now; dropHeld
  // forgets them.
  void setHolding(bool holding) { held.holding_ = holding; }
  std::size_t heldBytes() const { return held.bytes_; }
  void releaseHeld();
  void dropHeld();

  // Forgets what the read so far learned and held back, for a read from the first
  // line again; the log, the sinks and the settings of the run stay.
  void restartRead() { static_cast<ReadState&>(*this) = ReadState{}; }

 private:
  template <class... Args>
  static std::string formatted(const char* message, Args... args) {
    if constexpr (sizeof...(Args) == 0)
      return message;
    else
      return cformat(message, args...);
  }

  void deliver(const Finding& finding);

  std::vector<FindingSink*> sinks_;
};

// The place of a finding in record `rec`'s line.
inline FindingPlace at(int line, int recordType, int field = 0) {
  FindingPlace place;
  place.line = line;
  place.recordType = recordType;
  place.field = field;
  return place;
}

}  // namespace tavex
