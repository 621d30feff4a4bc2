// EAD signature verification: real signatures made by openssl, PSS blocks made with
// LibTomCrypt's encoder, every digest encoding, corrupted files and bad keys, each
// with the exact message box.
#include <gtest/gtest.h>
#include <tomcrypt.h>

#include <filesystem>

#include "cotepe/text.h"
#include "signature/ead_signing.h"
#include "signature/ead_verification.h"
#include "signing_helpers.h"
#include "support/files.h"
#include "support/scripted_ui.h"

namespace tavex {
namespace {

using testing::ScriptedUserInterface;
using testing::ShownMessage;
using testing::TempDir;

const ShownMessage kValid{"Assinatura válida!"_cp, "Sucesso!", Icon::Information};
const ShownMessage kInvalid{"Assinatura Inválida!"_cp, "Erro!", Icon::Error};
const ShownMessage kNoRecord{"Registro de assinatura inválido!"_cp, "Erro!", Icon::Error};
const ShownMessage kCannotOpen{"Erro ao abrir o arquivo!", "Erro!", Icon::Error};

// Runs the command on `bytes` (written to a file) with `key`; returns the one message.
ShownMessage verify(const std::string& bytes, const RsaPublicKey& key) {
  TempDir dir;
  const std::string path = dir.file("assinado.txt");
  testing::writeFile(path, bytes);
  ScriptedUserInterface ui;
  ui.answer(path);
  verifyEadSignature(ui, [&] { return std::optional<RsaPublicKey>(key); });
  if (ui.messages.size() != 1) return {std::to_string(ui.messages.size()) + " messages", "", Icon::None};
  return ui.messages[0];
}

Md5Digest md5Of(const std::string& bytes) {
  hash_state state;
  md5_init(&state);
  md5_process(&state, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  Md5Digest d{};
  md5_done(&state, d.data());
  return d;
}

// A key whose public operation is the identity on blocks below 2^1024 - 1, so a test
// can write the RSA result block directly as the signature.
RsaPublicKey identityKey() {
  RsaPublicKey key;
  key.modulus.fill(0xFF);
  key.exponent[127] = 1;
  return key;
}

std::string blockText(const RsaBytes& m) { return testing::hexText(std::string(m.begin(), m.end())); }

#define REQUIRE_KEY(var, exponent)                              \
  const testing::TestKey* var = testing::sharedKey(exponent);   \
  if (var == nullptr) GTEST_SKIP() << "openssl is not available"

TEST(EadSignature, OpensslSignaturesVerifyWithEitherEndingAndCase) {
  for (int exponent : {65537, 3}) {
    REQUIRE_KEY(key, exponent);
    const std::string content = testing::sampleSignedContent();
    const std::string signature = testing::opensslMd5Signature(*key, content);
    ASSERT_EQ(signature.size(), 128u);
    EXPECT_EQ(verify(testing::withEad(content, testing::hexText(signature)), key->key), kValid) << exponent;
    EXPECT_EQ(verify(testing::withEad(content, testing::hexText(signature), ""), key->key), kValid) << exponent;
    EXPECT_EQ(verify(testing::withEad(content, testing::hexText(signature, false)), key->key), kValid) << exponent;
  }
}

TEST(EadSignature, CorruptedFilesAndWrongKeysAreRejected) {
  REQUIRE_KEY(key, 65537);
  REQUIRE_KEY(other, 3);
  const std::string content = testing::sampleSignedContent();
  const std::string hex = testing::hexText(testing::opensslMd5Signature(*key, content));
  const std::string good = testing::withEad(content, hex);

  std::string changed = good;
  changed[10] = static_cast<char>(changed[10] ^ 1);
  EXPECT_EQ(verify(changed, key->key), kInvalid);

  std::string noCr = good;
  noCr.erase(noCr.find('\r'), 1);
  EXPECT_EQ(verify(noCr, key->key), kInvalid);

  EXPECT_EQ(verify(testing::withEad(content, hex, "\n"), key->key), kNoRecord);
  EXPECT_EQ(verify(good, other->key), kInvalid);
  EXPECT_EQ(verify(content, key->key), kNoRecord);

  std::string changedSignature = good;
  changedSignature[content.size() + 3 + 100] = changedSignature[content.size() + 3 + 100] == '0' ? '1' : '0';
  EXPECT_EQ(verify(changedSignature, key->key), kInvalid);
}

TEST(EadSignature, MalformedTrailersGiveTheirMessages) {
  const RsaPublicKey key = identityKey();
  EXPECT_EQ(verify("", key), kNoRecord);
  EXPECT_EQ(verify("EAD" + std::string(255, 'A'), key), kNoRecord);  // 258 bytes
  EXPECT_EQ(verify("EAD" + std::string(256, 'G'), key), kInvalid);   // not hexadecimal
  EXPECT_EQ(verify("X\r\nEAD" + std::string(256, 'z') + "\r\n", key), kInvalid);
  std::string oneBadPair = "EAD" + std::string(256, '0');
  oneBadPair[200] = ' ';
  EXPECT_EQ(verify(oneBadPair, key), kInvalid);
}

TEST(EadSignature, TrailerPositionAndSignedLength) {
  TempDir dir;
  const std::string hex(256, 'a');
  for (const std::string& ending : {std::string("\r\n"), std::string(), std::string("xy")}) {
    const std::string path = dir.file("f");
    testing::writeFile(path, testing::withEad("AB\r\n", hex, ending));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    const auto trailer = readEadTrailer(f);
    ASSERT_TRUE(trailer.has_value());
    EXPECT_EQ(trailer->signedLength, 4u);
    EXPECT_EQ(trailer->record, "EAD" + hex);
    EXPECT_EQ(md5OfFilePrefix(f, trailer->signedLength), md5Of("AB\r\n"));
    std::fclose(f);
  }
  testing::writeFile(dir.file("g"), "EAD" + hex);  // exactly the record: nothing is signed
  std::FILE* g = std::fopen(dir.file("g").c_str(), "rb");
  EXPECT_EQ(readEadTrailer(g)->signedLength, 0u);
  std::fclose(g);
}

TEST(EadSignature, Md5OfALargeFileMatchesOpenssl) {
  if (std::system("openssl version >/dev/null 2>&1") != 0) GTEST_SKIP() << "openssl is not available";
  TempDir dir;
  std::string bytes;
  for (int i = 0; bytes.size() < 3'000'000; ++i) bytes += "linha " + std::to_string(i * 7919) + "\r\n";
  testing::writeFile(dir.file("big"), bytes);
  ASSERT_EQ(std::system(("openssl dgst -md5 -binary -out '" + dir.file("md5") + "' '" + dir.file("big") + "'").c_str()), 0);
  std::FILE* f = std::fopen(dir.file("big").c_str(), "rb");
  const Md5Digest digest = md5OfFilePrefix(f, bytes.size() + 1000);  // a length past the end stops there
  std::fclose(f);
  EXPECT_EQ(std::string(digest.begin(), digest.end()), testing::readFile(dir.file("md5")));
}

TEST(EadSignature, PssBlockFromLibTomCryptVerifies) {
  REQUIRE_KEY(key, 65537);
  ASSERT_NE(register_hash(&md5_desc), -1);
  ASSERT_NE(register_prng(&sprng_desc), -1);
  const std::string content = testing::sampleSignedContent();
  const Md5Digest digest = md5Of(content);
  const std::string hexDigest = testing::hexText(std::string(digest.begin(), digest.end()));
  unsigned char em[128];
  unsigned long emLength = sizeof em;
  ASSERT_EQ(pkcs_1_pss_encode(reinterpret_cast<const unsigned char*>(hexDigest.data()), 32, 0, nullptr,
                              find_prng("sprng"), find_hash("md5"), 1024, em, &emLength),
            CRYPT_OK);
  ASSERT_EQ(emLength, 128u);
  const std::string signature = testing::rawPrivateOperation(*key, std::string(em, em + 128));
  ASSERT_EQ(signature.size(), 128u);
  EXPECT_EQ(verify(testing::withEad(content, testing::hexText(signature)), key->key), kValid);
  EXPECT_EQ(verify(testing::withEad(content + "x", testing::hexText(signature)), key->key), kInvalid);
}

TEST(EadSignature, OwnSigningEqualsOpensslAndVerifies) {
  for (int exponent : {65537, 3}) {
    REQUIRE_KEY(key, exponent);
    const std::string content = testing::sampleSignedContent();
    const std::string record = makeEadRecord(content, key->key.modulus, key->privateExponent);
    EXPECT_EQ(record, "EAD" + testing::hexText(testing::opensslMd5Signature(*key, content))) << exponent;
    EXPECT_EQ(verify(content + record + "\r\n", key->key), kValid) << exponent;
  }
}

TEST(EadSignature, EveryTruncationEndsWithAMessage) {
  REQUIRE_KEY(key, 65537);
  const std::string content = testing::sampleSignedContent();
  const std::string file = content + makeEadRecord(content, key->key.modulus, key->privateExponent) + "\r\n";
  for (std::size_t size = 0; size <= file.size(); ++size) {
    const ShownMessage shown = verify(file.substr(0, size), key->key);
    const bool whole = size == file.size() || size == file.size() - 2;
    if (whole) {
      EXPECT_EQ(shown, kValid) << size;
    } else {
      EXPECT_TRUE(shown == kInvalid || shown == kNoRecord) << size;
    }
  }
}

TEST(DigestRecovery, AcceptsEveryEncodingOfTheDigest) {
  const std::string content = testing::sampleSignedContent();
  const Md5Digest d = md5Of(content);
  const RsaPublicKey key = identityKey();
  auto check = [&](const RsaBytes& m) { return verify(testing::withEad(content, blockText(m)), key); };

  RsaBytes reversed{};
  reversed.fill(0x5A);
  for (int i = 0; i < 16; ++i) reversed[127 - i] = d[i];
  EXPECT_EQ(check(reversed), kValid) << "digest reversed at the end";

  RsaBytes hexLow{}, hexUpperHigh{}, hexUpperLow{};
  const std::string lower = testing::hexText(std::string(d.begin(), d.end()), false);
  const std::string upper = testing::hexText(std::string(d.begin(), d.end()), true);
  for (int i = 0; i < 32; ++i) {
    hexLow[96 + i] = static_cast<std::uint8_t>(lower[i]);
    hexUpperHigh[96 + i] = static_cast<std::uint8_t>(i % 2 == 0 ? upper[i] : lower[i]);
    hexUpperLow[96 + i] = static_cast<std::uint8_t>(upper[i]);
  }
  hexLow[0] = hexUpperHigh[0] = hexUpperLow[0] = 1;  // keep away from the packed encoding
  EXPECT_EQ(check(hexLow), kValid) << "lower-case hexadecimal text";
  EXPECT_EQ(check(hexUpperHigh), kValid) << "upper-case letters in the high place";
  bool lowHasLetter = false;
  for (int i = 1; i < 32; i += 2) lowHasLetter = lowHasLetter || upper[i] > '9';
  ASSERT_TRUE(lowHasLetter);  // true of the sample's digest
  EXPECT_EQ(check(hexUpperLow), kInvalid) << "upper-case letter in the low place";

  RsaBytes lengthFirst{};
  lengthFirst.fill(0x33);
  lengthFirst[0] = 16;
  for (int i = 0; i < 16; ++i) lengthFirst[1 + i] = d[i];
  EXPECT_EQ(check(lengthFirst), kValid) << "length byte 16 at the start";

  RsaBytes pkcs1{};  // 00 01 FF .. FF 00 DigestInfo(MD5) digest
  pkcs1[1] = 1;
  for (int i = 2; i < 93; ++i) pkcs1[i] = 0xFF;
  const std::uint8_t info[] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                               0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
  std::copy(std::begin(info), std::end(info), pkcs1.begin() + 94);
  for (int i = 0; i < 16; ++i) pkcs1[112 + i] = d[i];
  EXPECT_EQ(check(pkcs1), kValid) << "PKCS #1 v1.5";
  pkcs1[111] = 20;
  EXPECT_EQ(check(pkcs1), kInvalid) << "length byte other than 16";

  RsaBytes packed{};  // 32 seven-bit characters in the low 224 bits
  for (int k = 0; k < 32; ++k) {
    const unsigned c = static_cast<unsigned char>(upper[k]);
    const int bit = (31 - k) * 7;
    for (int b = 0; b < 7; ++b)
      if ((c >> b) & 1) packed[127 - (bit + b) / 8] |= static_cast<std::uint8_t>(1u << ((bit + b) % 8));
  }
  EXPECT_EQ(check(packed), kValid) << "packed seven-bit text";
  packed[127] = static_cast<std::uint8_t>((packed[127] & 0x80) | 'x');  // the last character no longer hex
  EXPECT_EQ(check(packed), kInvalid);
}

// The encodings are tried in order and the first that recognises the block decides,
// even when a later one would have found the file's digest.
TEST(DigestRecovery, TheFirstEncodingThatRecognisesTheBlockDecides) {
  Md5Digest d{};
  for (int i = 0; i < 16; ++i) d[i] = static_cast<std::uint8_t>(0xA0 + i);
  const RsaPublicKey key = identityKey();
  auto recover = [&](const RsaBytes& m) { return recoverDigest(RsaKeyRecord::make(m, key.modulus, key.exponent), d); };
  Md5Digest other{};
  other.fill(0x77);

  RsaBytes lengthFirst{};  // length byte 16 at the start, another digest after it
  lengthFirst[0] = 16;
  std::copy(other.begin(), other.end(), lengthFirst.begin() + 1);
  RsaBytes both = lengthFirst;  // and the file's digest where PKCS #1 v1.5 keeps it
  both[111] = 16;
  std::copy(d.begin(), d.end(), both.begin() + 112);
  EXPECT_EQ(recover(both).bytes, other) << "length byte first before DigestInfo";
  for (int i = 0; i < 16; ++i) both[127 - i] = d[i];
  EXPECT_EQ(recover(both).bytes, d) << "the reversed digest before length byte first";

  // The file's digest as seven-bit text in the low 224 bits: found in a block that
  // starts with zeros, not in one DigestInfo recognises by its first bytes.
  const std::string text = testing::hexText(std::string(d.begin(), d.end()), true);
  RsaBytes packed{};
  for (int k = 0; k < 32; ++k) {
    const unsigned c = static_cast<unsigned char>(text[k]);
    const int bit = (31 - k) * 7;
    for (int b = 0; b < 7; ++b)
      if ((c >> b) & 1) packed[127 - (bit + b) / 8] |= static_cast<std::uint8_t>(1u << ((bit + b) % 8));
  }
  EXPECT_EQ(recover(packed).length, 16u);
  EXPECT_EQ(recover(packed).bytes, d);
  packed[2] = 1;
  EXPECT_EQ(recover(packed).length, 0u) << "DigestInfo's block without its length byte holds no digest";
}

TEST(DigestRecovery, BadKeysGiveInvalidSignatures) {
  const std::string file = testing::withEad(testing::sampleSignedContent(), std::string(256, 'C'));
  RsaPublicKey zeroModulus = identityKey();
  zeroModulus.modulus.fill(0);
  EXPECT_EQ(verify(file, zeroModulus), kInvalid);
  RsaPublicKey unitModulus{};
  unitModulus.modulus[127] = 1;
  unitModulus.exponent[127] = 3;
  EXPECT_EQ(verify(file, unitModulus), kInvalid);
  RsaPublicKey zeroExponent = identityKey();
  zeroExponent.exponent.fill(0);
  EXPECT_EQ(verify(file, zeroExponent), kInvalid);
  RsaPublicKey fullExponent = identityKey();
  fullExponent.exponent.fill(0xFF);
  EXPECT_EQ(verify(file, fullExponent), kInvalid);
  RsaPublicKey malformed = identityKey();
  malformed.wellFormed = false;
  RsaBytes reversed{};
  const Md5Digest d = md5Of(testing::sampleSignedContent());
  for (int i = 0; i < 16; ++i) reversed[127 - i] = d[i];
  const std::string validForIdentity = testing::withEad(testing::sampleSignedContent(), blockText(reversed));
  EXPECT_EQ(verify(validForIdentity, identityKey()), kValid);
  EXPECT_EQ(verify(validForIdentity, malformed), kInvalid);
}

TEST(DigestRecovery, InconsistentKeyRecordGivesNothing) {
  RsaBytes m{};
  m[0] = 16;  // would be accepted by the length-first encoding
  const RsaPublicKey key = identityKey();
  const Md5Digest digest{};
  EXPECT_EQ(recoverDigest(RsaKeyRecord::make(m, key.modulus, key.exponent), digest).length, 16u);
  auto broken = [&](auto change) {
    RsaKeyRecord r = RsaKeyRecord::make(m, key.modulus, key.exponent);
    change(r);
    return recoverDigest(r, digest).length;
  };
  EXPECT_EQ(broken([](RsaKeyRecord& r) { r.bitLength = 1016; }), 0u);
  EXPECT_EQ(broken([](RsaKeyRecord& r) { r.secondByteLength = 127; }), 0u);
  EXPECT_EQ(broken([](RsaKeyRecord& r) { r.thirdByteLength = 129; }), 0u);
  EXPECT_EQ(broken([](RsaKeyRecord& r) { r.secondBitLength = 512; }), 0u);
  EXPECT_EQ(broken([](RsaKeyRecord& r) { r.secondTag = 1; }), 0u);
  EXPECT_EQ(broken([](RsaKeyRecord& r) { r.reserved = 1; }), 0u);
  RsaKeyRecord cleared = RsaKeyRecord::make(m, key.modulus, key.exponent);
  cleared.clear();
  EXPECT_EQ(cleared.bitLength, 0);
  EXPECT_EQ(cleared.modulus, RsaBytes{});
}

TEST(EadSignature, NoKeyCancelAndUnopenableFiles) {
  ScriptedUserInterface ui;
  EXPECT_FALSE(verifyEadSignature(ui, [] { return std::optional<RsaPublicKey>(); }).has_value());
  EXPECT_TRUE(ui.openRequests.empty());
  EXPECT_TRUE(ui.messages.empty());

  ui.answer(std::nullopt);
  EXPECT_FALSE(verifyEadSignature(ui, [] { return std::optional<RsaPublicKey>(identityKey()); }).has_value());
  ASSERT_EQ(ui.openRequests.size(), 1u);
  EXPECT_EQ(ui.openRequests[0].initialName, "Arquivo Assinado");
  EXPECT_EQ(ui.openRequests[0].defaultExtension, "*.*");
  EXPECT_EQ(ui.openRequests[0].filter, "Arquivos Assinados (*.*)|*.*|");
  EXPECT_TRUE(ui.openRequests[0].mustExist);
  EXPECT_TRUE(ui.messages.empty());

  TempDir dir;
  // A file that cannot be read (/proc/self/mem opens, but its reads and size fail)
  // could not be checked: never "no signature record" nor an invalid signature.
  for (const std::string& path : {dir.file("nao-existe.txt"), dir.path().string(), std::string("/proc/self/mem")}) {
    ScriptedUserInterface u;
    u.answer(path);
    verifyEadSignature(u, [] { return std::optional<RsaPublicKey>(identityKey()); });
    ASSERT_EQ(u.messages.size(), 1u);
    EXPECT_EQ(u.messages[0], kCannotOpen) << path;
  }
}

TEST(KeyText, IsTrimmedPaddedAndCut) {
  const auto shortKey = rsaBytesFromKeyText(" \r\n 1aB \t\n");
  ASSERT_TRUE(shortKey.has_value());
  EXPECT_EQ((*shortKey)[126], 0x01);
  EXPECT_EQ((*shortKey)[127], 0xAB);
  EXPECT_EQ((*shortKey)[0], 0);
  const auto odd = rsaBytesFromKeyText(std::string(255, 'f'));  // read as if a leading "0" were written
  EXPECT_EQ((*odd)[0], 0x0F);
  EXPECT_EQ((*odd)[127], 0xFF);
  const auto longKey = rsaBytesFromKeyText("12" + std::string(254, '0') + "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF");
  ASSERT_TRUE(longKey.has_value());  // 300 digits: the first 256 are read
  EXPECT_EQ((*longKey)[0], 0x12);
  EXPECT_EQ((*longKey)[127], 0x00);
  EXPECT_EQ(rsaBytesFromKeyText(" \r\n\t" + std::string(255, 'f') + "\n  "), odd);
  RsaBytes three{};
  three[127] = 0x03;
  EXPECT_EQ(rsaBytesFromKeyText("3"), three);
  EXPECT_EQ(rsaBytesFromKeyText("03"), three);
  RsaBytes allA{};
  allA.fill(0xAA);
  EXPECT_EQ(rsaBytesFromKeyText(std::string(256, 'a') + "ZZ"), allA) << "what follows the first 256 is not read";
  EXPECT_FALSE(rsaBytesFromKeyText("12G4").has_value());
  EXPECT_FALSE(rsaBytesFromKeyText("0x1234").has_value());
  EXPECT_FALSE(rsaBytesFromKeyText("01 0001").has_value()) << "white space inside";
  EXPECT_FALSE(rsaBytesFromKeyText(std::string(254, '0') + "G0").has_value());
  EXPECT_FALSE(rsaBytesFromKeyText(std::string("\0\0", 2)).has_value());
  EXPECT_EQ(rsaBytesFromKeyText(""), RsaBytes{});
}

}  // namespace
}  // namespace tavex
