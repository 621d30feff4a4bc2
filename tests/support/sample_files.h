// Records of a small, valid COTEPE file, each overridable field by field, for
// tests that need a realistic file with one thing changed.
#pragma once

#include <string>
#include <vector>

#include "cotepe/record_builder.h"

namespace tavex::testing {

inline constexpr const char* kSampleSerial = "BE091010100011234567";
inline constexpr const char* kSampleModel = "MP-2100 TH FI";
inline constexpr const char* kSampleCnpj = "11222333000181";
// The day the sample validations run on (after the sample period).
inline constexpr const char* kSampleToday = "20121009";

using Overrides = std::vector<FieldValue>;

// E01 of the given kind ("MF ", "MFD", "TDM", "RZ ") for the period 01/10/2012 to 05/10/2012.
std::string sampleE01(const std::string& kind, const Overrides& overrides = {});
std::string sampleE02(const Overrides& overrides = {});
// Any record of types 3..21 with the sample ECF's identity and valid dates.
std::string sampleRecord(int type, const Overrides& overrides = {});
std::string sampleEad();

// A valid MF file: E01, E02, E03..E11 once each, E12/E13 for reductions 1 and 2, EAD.
std::vector<std::string> sampleMfFile();

// The documents of one day, for MFD and TDM files: a coupon (COO 1, R$ 10,00), a
// non-fiscal document (COO 2, SUPRIMENTO R$ 5,00), the reduction Z (COO 3, CRZ 1),
// the reduction's E17/E18 and both payments in cash. Types 14..21 in order.
std::vector<std::string> sampleDocuments();
// A valid MFD file: E01, E02, sampleDocuments(), EAD.
std::vector<std::string> sampleMfdFile();
// A valid TDM file: E01, E02, E03..E11, the E12/E13 of that day, sampleDocuments(), EAD.
std::vector<std::string> sampleTdmFile();

// The MF and the MFD of the sample TDM file written as `mfPath` and `mfdPath`, its
// payment (E18) declared one real higher: each memory clean alone, one total over
// the tolerance when they are reconciled together.
void writeSampleMemoriesWithPaymentOff(const std::string& mfPath, const std::string& mfdPath);

}  // namespace tavex::testing
