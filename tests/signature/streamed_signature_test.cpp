// The signature checked from bytes handed over as a read takes them gives the
// verdict of the check that reads the file itself, however the bytes arrive.
#include <gtest/gtest.h>

#include <algorithm>

#include "signature/ead_signing.h"
#include "signature/signed_file.h"
#include "signing_helpers.h"
#include "support/files.h"

namespace tavex {
namespace {

using testing::TempDir;

SignatureVerdict streamed(const std::string& bytes, std::size_t piece, const RsaPublicKey& key) {
  StreamedSignature s;
  for (std::size_t at = 0; at < bytes.size(); at += piece) s.add(std::string_view(bytes).substr(at, piece));
  return s.verdict(key);
}

SignatureVerdict byLines(const std::string& bytes, const RsaPublicKey& key) {
  StreamedSignature s;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t end = std::min(bytes.find('\n', at), bytes.size() - 1) + 1;
    s.add(std::string_view(bytes).substr(at, end - at));
    at = end;
  }
  return s.verdict(key);
}

TEST(StreamedSignature, GivesTheFileChecksVerdictHoweverTheBytesArrive) {
  const testing::TestKey* key = testing::sharedKey(65537);
  if (key == nullptr) GTEST_SKIP() << "openssl is not available";
  const std::string content = testing::sampleSignedContent();
  const std::string record = makeEadRecord(content, key->key.modulus, key->privateExponent);
  const std::string good = content + record + "\r\n";
  std::string tampered = good;
  tampered[5] = static_cast<char>(tampered[5] ^ 1);
  std::vector<std::string> files = {good, content + record, content + record + "\n", tampered, content, "",
                                    "EAD" + std::string(256, 'G'), "x\r\n" + record + "\r\n"};
  for (std::size_t size = 0; size < good.size(); size += 37) files.push_back(good.substr(0, size));
  files.push_back(good.substr(0, good.size() - 1));

  TempDir dir;
  const std::string path = dir.file("assinado.txt");
  int valid = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    testing::writeFile(path, files[i]);
    const SignatureVerdict expected = checkSignedFile(path, key->key);
    valid += expected == SignatureVerdict::Valid;
    for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{260}, std::size_t{262}, std::size_t{4096}})
      EXPECT_EQ(streamed(files[i], piece, key->key), expected) << "file " << i << ", pieces of " << piece;
    EXPECT_EQ(byLines(files[i], key->key), expected) << "file " << i << " by lines";
  }
  EXPECT_EQ(valid, 2) << "the record with and without its CR LF";
}

}  // namespace
}  // namespace tavex
