#include "server/served_folder.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "cotepe/file_discovery.h"
#include "cotepe/file_kind.h"
#include "cotepe/record_layout.h"
#include "cotepe/text.h"

namespace tavex::server {

namespace fs = std::filesystem;

namespace {

// Windows reserves these names in every folder and with any extension; a file so
// named cannot be copied to an auditor's desktop, and on Windows it opens a device.
bool deviceName(std::string_view component) {
  std::string stem(component.substr(0, component.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static constexpr std::array<std::string_view, 6> kPlain = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  if (std::find(kPlain.begin(), kPlain.end(), stem) != kPlain.end()) return true;
  return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '0' && stem[3] <= '9';
}

bool inside(const std::string& root, const fs::path& path) {
  const std::string p = path.string();
  return p.size() > root.size() && p.compare(0, root.size(), root) == 0 && p[root.size()] == '/';
}

std::string dateText(std::string_view yyyymmdd) {
  if (yyyymmdd.size() != 8) return std::string(yyyymmdd);
  return std::string(yyyymmdd.substr(6, 2)) + "/" + std::string(yyyymmdd.substr(4, 2)) + "/" +
         std::string(yyyymmdd.substr(0, 4));
}

}  // namespace

bool acceptableName(std::string_view name) {
  if (name.empty() || name.size() > 4096 || name.front() == '/') return false;
  std::size_t from = 0;
  while (from <= name.size()) {
    const std::size_t to = std::min(name.find('/', from), name.size());
    const std::string_view part = name.substr(from, to - from);
    if (part.empty() || part == "." || part == ".." || deviceName(part)) return false;
    for (const char c : part)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '\\' || c == ':') return false;
    from = to + 1;
  }
  return true;
}

ServedFolder::ServedFolder(const std::string& folder) {
  std::error_code ec;
  const fs::path canonical = fs::canonical(folder, ec);
  root_ = ec ? fs::absolute(folder).lexically_normal().string() : canonical.string();
  while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

std::optional<std::string> ServedFolder::fileOf(std::string_view name) const {
  if (!acceptableName(name)) return std::nullopt;
  std::error_code ec;
  const fs::path real = fs::canonical(fs::path(root_) / fs::path(std::string(name)), ec);
  if (ec || !inside(root_, real) || !fs::is_regular_file(real, ec)) return std::nullopt;
  return real.string();
}

std::optional<std::string> ServedFolder::newFileOf(std::string_view name) const {
  if (!acceptableName(name) || name.find('/') != std::string_view::npos) return std::nullopt;
  const fs::path path = fs::path(root_) / std::string(name);
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(path, ec);
  if (fs::exists(status) && !fs::is_regular_file(status)) return std::nullopt;
  return path.string();
}

std::vector<ListedFile> ServedFolder::list() const {
  std::vector<ListedFile> out;
  for (const std::string& path : discoverCotepeFiles({root_}).files) {
    const fs::path relative = fs::path(path).lexically_relative(root_);
    const std::string name = relative.generic_string();
    if (!acceptableName(name) || !fileOf(name)) continue;  // a link out of the folder is not listed either
    ListedFile file;
    file.name = visibleText(name);
    std::error_code ec;
    file.size = fs::file_size(path, ec);
    std::ifstream in(path, std::ios::binary);
    std::string e01;
    e01.resize(512);
    in.read(e01.data(), static_cast<std::streamsize>(e01.size()));
    e01.resize(static_cast<std::size_t>(in.gcount()));
    e01 = std::string(stripLineEnd(e01.substr(0, e01.find('\n'))));
    file.serial = cp1252ToUtf8(trimRight(fieldOf(e01, E01::NumeroFabricacao)));
    file.kind = std::string(fileKindRules(fileKindOf(fieldOf(e01, E01::ComandoGeracao))).name);
    const std::string_view from = fieldOf(e01, E01::DataInicial), to = fieldOf(e01, E01::DataFinal);
    if (isAllDigits(from) && isAllDigits(to) && from.size() == 8 && to.size() == 8)
      file.period = dateText(from) + " a " + dateText(to);
    out.push_back(std::move(file));
  }
  std::sort(out.begin(), out.end(), [](const ListedFile& a, const ListedFile& b) { return a.name < b.name; });
  return out;
}

}  // namespace tavex::server
