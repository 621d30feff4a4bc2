// File split: one COTEPE file cut into one file per Z reduction (CRZ), beside the
// input, named "<base>_NNNN.txt". Each output starts with the input's E01
// rewritten to name that single reduction, then the header records E02..E11 of the
// input, then exactly the records that belong to the reduction (CR LF line ends,
// no EAD). Files generated from the fiscal memory alone ("MF ") are refused.
//
// Reductions come from the E12 records as they are met, or, for an "MFD" file,
// from a pre-scan of its E16 "RZ" documents (one extra pass over the file finds
// every reduction and its date). The header records are gathered in a temporary
// file beside the input, "ctp_file_XXXXXX.tmp" with a name of its own for each
// split, created exclusively (never through a planted link) and removed however
// the split ends.
//
// The split locks the input's folder (flock on the folder itself) while it runs:
// a second split, or a CSV export, into the same folder stops as in use. An
// output name taken by a symbolic link is refused, with a notice naming it.
//
// Outputs are written through memory in large blocks, one file open at a time,
// whatever the number of reductions; a line is never written in part.
#pragma once

#include <optional>
#include <string>

#include "export/conversion.h"

namespace tavex {

// Worker statuses of the split.
inline constexpr int kSplitDone = 0;            // also after an "MF " file was refused
inline constexpr int kSplitPathTooLong = 1;     // the input path has 1024 characters or more
inline constexpr int kSplitInputMissing = 2;    // the input cannot be opened
inline constexpr int kSplitCannotWrite = 3;     // the temporary file (or an output) cannot be written
inline constexpr int kSplitUnknownRecord = 4;   // a record of a type the split does not know
inline constexpr int kSplitNoReduction = 5;     // no reduction was found: no file was written
inline constexpr int kSplitRefusedMf = 6;       // an "MF " file (the refusal was notified)
inline constexpr int kSplitFolderBusy = 7;      // another run holds the input's folder
inline constexpr int kSplitInputNotRegular = 8; // the input is a pipe or a device
inline constexpr int kSplitReadFailed = 9;      // a read of the input failed
inline constexpr int kSplitOutputRefused = 10;  // an output is a symbolic link (the refusal was notified)
inline constexpr int kSplitWriteFailed = 11;    // the disk is full (or a size limit reached, or the device failed)

// Reduction numbers the split handles (others are skipped).
inline constexpr int kFirstReduction = 1;
inline constexpr int kLastReduction = 4999;

// The name of reduction `z`'s output for `inputPath`: the input without its
// extension, "_", the last four digits of the six-digit number, ".txt".
std::string splitOutputPath(const std::string& inputPath, int z);

// The split, run on the worker. Returns a status above, or kConversionCancelled
// when it stopped between two records for a cancellation (outputs then hold whole
// lines; the temporary file is removed). When an output fails or is refused, or
// the file holds a record of an unknown type (kSplitUnknownRecord), nothing more
// is written and the outputs this split created are removed (files that existed
// before stay); for kSplitCannotWrite and kSplitWriteFailed,
// `reason` (when given) receives the cause (cp1252 line).
int splitWorker(const std::string& inputPath, WorkerControl& control, std::string* reason = nullptr);

// The "Separar Arquivo" command: asks for the file, runs the split on the worker
// and shows the outcome (nothing more after a notified refusal). Returns the worker's status, or nothing when the chooser
// was cancelled, the worker did not start or the user cancelled it.
std::optional<int> splitCotepeFile(UserInterface& ui, ConversionSession& session);

}  // namespace tavex
