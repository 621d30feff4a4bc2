// libFuzzer target for the signature parsing: the bytes as a signed file (EAD trailer,
// hexadecimal signature, the check against a fixed key), as a key text, as a
// signature's hexadecimal text and as a software house's key file. Built by
// fuzz/CMakeLists.txt.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "signature/paf_signature.h"
#include "signature/signed_file.h"

namespace {

class SilentInterface : public tavex::UserInterface {
 public:
  void showMessage(std::string_view, std::string_view, tavex::Icon) override {}
  std::optional<std::string> chooseOpenFile(const tavex::OpenFileRequest&) override { return std::nullopt; }
  std::optional<std::string> chooseFolder(std::string_view) override { return std::nullopt; }
  tavex::WorkerOutcome runWithProgress(tavex::WorkerJob&, bool) override { return tavex::WorkerOutcome::NotStarted; }
};

tavex::RsaPublicKey fixedKey() {
  tavex::RsaPublicKey key;
  key.modulus = *tavex::rsaBytesFromKeyText(std::string(255, 'C') + "B");
  key.exponent = *tavex::rsaBytesFromKeyText("10001");
  return key;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto dir = tavex::fuzz::freshScratch("signature");
  const std::string path = tavex::fuzz::writeInput(dir, data, size);

  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    const auto trailer = tavex::readEadTrailer(f);
    if (trailer && (trailer->record.size() != tavex::kEadRecordLength || !trailer->record.starts_with("EAD") ||
                    trailer->signedLength + tavex::kEadRecordLength > size))
      __builtin_trap();
    std::fclose(f);
  }
  static const tavex::RsaPublicKey key = fixedKey();
  (void)tavex::checkSignedFile(path, key);

  (void)tavex::rsaBytesFromKeyText(text);
  const auto signature = tavex::signatureFromHex(text);
  if (signature && size != 256) __builtin_trap();

  // The same bytes as the key file of the software house "S".
  std::filesystem::create_directory(dir / "SHouse");
  tavex::fuzz::writeInput(dir / "SHouse", data, size);
  std::filesystem::rename(dir / "SHouse" / "ecf.txt", dir / "SHouse" / "S.xml");
  SilentInterface ui;
  (void)tavex::listSoftwareHouses(ui, dir / "SHouse");
  (void)tavex::softwareHouseKey(ui, "S", dir / "SHouse");
  return 0;
}
