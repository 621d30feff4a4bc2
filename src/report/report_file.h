// What the audit report needs of a file beyond its validation: its size and
// SHA-256, the text of the records its listed findings cite, and the EAD
// signature's verdict with the maker's key from a manufacturer catalogue. All of
// it comes from the validation's own read when the caller taps it (FileFacts).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cotepe/br_format.h"
#include "cotepe/line_index.h"
#include "report/audit_report.h"
#include "signature/signed_file.h"

namespace tavex::report {

// The manufacturer whose key checks the signature, named by the user instead of
// E01's brand (as "tavex-cli assinatura --fabricante NOME [--modelo NOME]" names it).
struct SignatureMaker {
  std::string manufacturer;  // the catalogue's folder name, UTF-8
  std::string model;         // cp1252; empty: E01's model
};

// What the report needs of a file, gathered from the bytes of the validation's own
// read (ValidationOptions::readTap): its size and SHA-256, the signature check's
// digest, and where every 256th line starts, so that the records its findings
// cite are fetched afterwards without reading the file again.
class FileFacts {
 public:
  void add(std::string_view rawLine);
  // The cited lines' text, fetched through the line index (empty when the file
  // cannot be read now).
  std::map<int, std::string> linesOf(const std::string& path, const std::vector<int>& wanted) const {
    return lines_.linesOf(path, wanted);
  }

  std::uint64_t size() const { return lines_.bytes(); }
  std::string sha256() { return hash_.hex(); }  // ends the hash
  const StreamedSignature& signature() const { return signature_; }

 private:
  Sha256 hash_;
  StreamedSignature signature_;
  LineIndex lines_;
};

// A ReportedFile of `path` from a validation's results (`summary` null when the run
// could not start; `problem` UTF-8), completed by readFileFacts and checkSignature.
// `indicators`: those of the run, when it computed them. `facts`: what the run's
// read tap gathered; used when the run read the whole file, else the file is read
// again for them.
ReportedFile reportedFileOf(const std::string& path, const ValidationSummary* summary, std::vector<Finding> findings,
                            std::string problem, bool formatOnly, const std::string& catalogueDirectory,
                            std::size_t findingsPerGroup, std::optional<std::vector<Indicator>> indicators = std::nullopt,
                            const SignatureMaker* maker = nullptr, FileFacts* facts = nullptr);

// Validates `path` in full (its log written beside it as always) and answers its
// ReportedFile, as reportedFileOf does. For a caller without a validation of its own.
ReportedFile validateForReport(const std::string& path, std::int64_t toleranceCents, bool continuing,
                               const std::string& catalogueDirectory, std::size_t findingsPerGroup);

// Fills size, sha256 and the records of the findings listed under `findingsPerGroup`
// (left empty when the file cannot be read).
void readFileFacts(ReportedFile& file, std::size_t findingsPerGroup);

// Fills signature and signatureKey: the file's EAD checked with the key that the
// catalogue of `catalogueDirectory` holds for E01's brand (the folder's name, letter
// case aside) and, when the maker has one key per model, E01's model. NotChecked
// when there is no such key; NoSignatureRecord when the file has no EAD. With a
// `maker`, its key instead, looked up as the signature command looks it up
// (ManufacturerCatalogue::rsaKeyOfSelection); NotChecked when it has none.
// `streamed`: the file's bytes as a read handed them over, checked instead of
// reading the file again.
void checkSignature(ReportedFile& file, const std::string& catalogueDirectory, const SignatureMaker* maker = nullptr,
                    const StreamedSignature* streamed = nullptr);

}  // namespace tavex::report
