// Signature benchmarks: the RSA public operation with a full 1024-bit exponent (the
// worst case: 1024 squarings and up to 512 further products), and the verification of
// a signed 30,000,000-byte file next to md5sum of the same file, measured in this run.
//
// Usage: tavex-bench-assinatura [PASTA]   (the large file is written in PASTA, default
// the system's temporary folder, and removed at the end)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <tomcrypt.h>

#include "signature/digit_arithmetic.h"
#include "signature/signed_file.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

template <typename F>
double bestOf(int runs, F&& f) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    f();
    best = std::min(best, millisecondsSince(start));
  }
  return best;
}

void benchModExp() {
  std::mt19937 rng(1024);
  std::vector<tavex::Digit> base(64), exponent(64), modulus(64), result(64);
  for (int i = 0; i < 64; ++i) {
    base[i] = static_cast<tavex::Digit>(rng());
    exponent[i] = static_cast<tavex::Digit>(rng());
    modulus[i] = static_cast<tavex::Digit>(rng());
  }
  exponent[63] |= 0x8000;  // all 1024 bits significant
  modulus[63] |= 0x8000;
  const int runs = 20;
  double total = 0;
  const double best = bestOf(runs, [&] {
    const auto start = Clock::now();
    tavex::modExpDigits(result.data(), base.data(), exponent.data(), 64, modulus.data(), 64);
    total += millisecondsSince(start);
  });
  std::printf("modExpDigits, expoente de 1024 bits: melhor %.2f ms, media %.2f ms em %d execucoes (meta < 20 ms)\n",
              best, total / runs, runs);
}

// A signed file of exactly `size` bytes: CR LF lines and an EAD record that the
// identity key (modulus 2^1024 - 1, exponent 1) accepts (digest reversed at the end).
tavex::RsaPublicKey writeSignedFile(const std::string& path, std::size_t size) {
  const std::size_t signedSize = size - tavex::kEadRecordLength - 2;
  std::string body;
  body.reserve(signedSize);
  const std::string line =
      "E15BE0506SC56000000121      1000001234000001234000000000000001ITEM DE TESTE               0000010000";
  while (body.size() + line.size() + 2 <= signedSize) body += line + "\r\n";
  body.append(signedSize - body.size(), 'X');
  hash_state state;
  md5_init(&state);
  md5_process(&state, reinterpret_cast<const unsigned char*>(body.data()), body.size());
  unsigned char digest[16];
  md5_done(&state, digest);
  std::string hex(256, '0');
  static const char kHex[] = "0123456789ABCDEF";
  for (int i = 0; i < 16; ++i) {  // block byte 127 - i = digest byte i
    hex[2 * (127 - i)] = kHex[digest[i] >> 4];
    hex[2 * (127 - i) + 1] = kHex[digest[i] & 15];
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << body << "EAD" << hex << "\r\n";
  tavex::RsaPublicKey key;
  key.modulus.fill(0xFF);
  key.exponent[127] = 1;
  return key;
}

void benchVerification(const std::filesystem::path& folder) {
  const std::size_t size = 30'000'000;
  const std::string path = (folder / "tavex-bench-assinado.txt").string();
  const tavex::RsaPublicKey key = writeSignedFile(path, size);
  if (tavex::checkSignedFile(path, key) != tavex::SignatureVerdict::Valid) {
    std::printf("ERRO: o arquivo de teste nao verificou\n");
    std::exit(1);
  }
  const int runs = 5;
  const double verify = bestOf(runs, [&] { tavex::checkSignedFile(path, key); });
  const std::string md5sum = "md5sum '" + path + "' >/dev/null";
  const double reference = bestOf(runs, [&] {
    if (std::system(md5sum.c_str()) != 0) std::printf("(md5sum falhou)\n");
  });
  std::printf("verificacao EAD de %zu bytes: %.1f ms; md5sum do mesmo arquivo: %.1f ms; razao %.2fx (meta <= 1.5x)\n",
              size, verify, reference, verify / reference);
  std::filesystem::remove(path);
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path();
  benchModExp();
  benchVerification(folder);
  return 0;
}
