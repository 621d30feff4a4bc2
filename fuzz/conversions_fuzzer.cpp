// libFuzzer target for the three conversions: any bytes as a COTEPE file, exported
// to CSV, to a database and split per reduction. None may fail on a readable input
// but for the split's own refusals, and every CSV and split output must hold whole
// CR LF lines. Built by fuzz/CMakeLists.txt.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

#include "export/csv_export.h"
#include "export/file_split.h"
#include "export/mdb_export.h"
#include "fuzz_support.h"
#include "jobs/worker_job.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path dir = tavex::fuzz::freshScratch("conversions");
  const std::string path = tavex::fuzz::writeInput(dir, data, size);
  tavex::DirectWorkerControl control;

  fs::create_directory(dir / "csv");
  if (tavex::convertToCsv(path, (dir / "csv").string(), control) != tavex::kCsvDone) __builtin_trap();
  for (const auto& e : fs::directory_iterator(dir / "csv"))
    if (!tavex::fuzz::wholeCrLfLines(tavex::fuzz::readAll(e.path()))) __builtin_trap();

  fs::create_directory(dir / "mdb");
  std::tm when{};
  when.tm_year = 112;
  when.tm_mday = 1;
  if (tavex::convertToMdb(path, (dir / "mdb").string(), when, control).status != tavex::kMdbDone) __builtin_trap();

  const int split = tavex::splitWorker(path, control);
  if (split != tavex::kSplitDone && split != tavex::kSplitUnknownRecord && split != tavex::kSplitNoReduction &&
      split != tavex::kSplitRefusedMf)
    __builtin_trap();
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name.starts_with("ctp_file")) __builtin_trap();  // the temporary file is always removed
    if (name.starts_with("ecf_") && !tavex::fuzz::wholeCrLfLines(tavex::fuzz::readAll(e.path()))) __builtin_trap();
  }
  return 0;
}
