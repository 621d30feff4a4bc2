#include "cotepe/br_format.h"

#include <tomcrypt.h>

#include <cstdio>
#include <vector>

#include "cotepe/text.h"

namespace tavex {

std::string groupedThousands(std::uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string out;
  out.reserve(digits.size() + digits.size() / 3);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += '.';
    out += digits[i];
  }
  return out;
}

std::string brazilianMoney(std::int64_t cents) {
  const bool negative = cents < 0;
  const std::uint64_t m = negative ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
  return (negative ? "-" : "") + groupedThousands(m / 100) + cformat(",%02u", static_cast<unsigned>(m % 100));
}

std::optional<std::string> brazilianDate(std::string_view d) {
  if (d.size() != 8 || !isAllDigits(d)) return std::nullopt;
  std::string out;
  out.reserve(10);
  out.append(d.substr(6, 2)).append("/").append(d.substr(4, 2)).append("/").append(d.substr(0, 4));
  return out;
}

std::optional<std::size_t> eadRecordStart(std::string_view tail, bool startsFile) {
  while (!tail.empty() && (tail.back() == '\n' || tail.back() == '\r' || tail.back() == ' ')) tail.remove_suffix(1);
  const std::size_t feed = tail.find_last_of('\n');
  if (feed == std::string_view::npos && !startsFile) return std::nullopt;
  const std::size_t start = feed == std::string_view::npos ? 0 : feed + 1;
  if (!tail.substr(start).starts_with("EAD")) return std::nullopt;
  return start;
}

struct Sha256::State {
  hash_state md;
};

Sha256::Sha256() : state_(std::make_unique<State>()) { sha256_init(&state_->md); }

Sha256::~Sha256() = default;

void Sha256::add(const void* bytes, std::size_t count) {
  sha256_process(&state_->md, static_cast<const unsigned char*>(bytes), static_cast<unsigned long>(count));
}

std::array<unsigned char, 32> Sha256::digest() {
  std::array<unsigned char, 32> out{};
  sha256_done(&state_->md, out.data());
  return out;
}

std::string Sha256::hex() {
  std::string out;
  out.reserve(64);
  for (unsigned char b : digest()) out += cformat("%02x", b);
  return out;
}

std::array<unsigned char, 32> sha256Of(std::string_view bytes) {
  Sha256 hash;
  hash.add(bytes.data(), bytes.size());
  return hash.digest();
}

std::optional<std::string> sha256HexOfFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return std::nullopt;
  Sha256 hash;
  std::vector<unsigned char> buffer(std::size_t{1} << 20);
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) hash.add(buffer.data(), n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) return std::nullopt;
  return hash.hex();
}

}  // namespace tavex
