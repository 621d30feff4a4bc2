// Helpers every tavex-cli subcommand shares.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "cli/commands.h"
#include "cotepe/file_access.h"
#include "cotepe/text.h"
#include "printer/manufacturer_catalogue.h"
#include "validation/tolerance.h"
#include "platform/platform.h"

namespace tavex::cli {

bool ParsedArgs::has(std::string_view name) const {
  for (const auto& [n, v] : options)
    if (n == name) return true;
  return false;
}

std::optional<std::string> ParsedArgs::value(std::string_view name) const {
  std::optional<std::string> found;
  for (const auto& [n, v] : options)
    if (n == name) found = v;
  return found;
}

std::optional<ParsedArgs> parseArgs(const Args& args, const std::vector<CliOption>& options, const char* usage) {
  ParsedArgs parsed;
  if (wantsHelp(args)) {  // help wins over any mistake on the same line
    parsed.help = true;
    return parsed;
  }
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a == "-" || !a.starts_with("-")) {
      parsed.positional.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t equals = a.find('=');
    const std::string name = a.substr(0, equals);
    const CliOption* option = nullptr;
    for (const CliOption& o : options)
      if (name == o.name) option = &o;
    if (option == nullptr || (!option->takesValue && equals != std::string::npos)) {
      usageError(usage, "opção desconhecida: " + a);
      return std::nullopt;
    }
    if (!option->takesValue) {
      parsed.options.emplace_back(name, "");
    } else if (equals != std::string::npos) {
      parsed.options.emplace_back(name, a.substr(equals + 1));
    } else if (i + 1 < args.size()) {
      parsed.options.emplace_back(name, args[++i]);
    } else {
      usageError(usage, name + " precisa de um valor");
      return std::nullopt;
    }
  }
  return parsed;
}

bool wantsHelp(const Args& args) {
  for (const std::string& a : args) {
    if (a == "--") return false;
    if (a == "--help" || a == "-h") return true;
  }
  return false;
}

int usageError(const char* usage, const std::string& problem) {
  std::fprintf(stderr, "tavex-cli: %s\n", visibleText(problem).c_str());  // it may quote an argument
  if (usage != nullptr) std::fprintf(stderr, "\n%s", usage);
  return kCannotRun;
}

std::optional<Args> pathsOnly(const Args& args, const char* usage, std::size_t count, const char* missing) {
  const std::optional<ParsedArgs> parsed = parseArgs(args, {}, usage);
  if (!parsed) return std::nullopt;
  if (parsed->positional.size() != count) {
    usageError(usage, missing);
    return std::nullopt;
  }
  return parsed->positional;
}

bool requireManufacturer(const ManufacturerCatalogue& catalogue, const std::string& name) {
  for (const ManufacturerEntry& e : catalogue.entries())
    if (e.name == name) return true;
  usageError(nullptr, "fabricante não encontrado na pasta atual: " + name);
  return false;
}

std::optional<std::int64_t> toleranceOption(const ParsedArgs& parsed, const char* usage, bool used) {
  const std::optional<std::string> text = parsed.value("--tolerancia");
  const std::optional<std::int64_t> cents = text ? strictToleranceCents(*text) : std::optional<std::int64_t>(0);
  if (!cents) {
    usageError(usage, "tolerância inválida: \"" + *text + "\"; escreva " + kToleranceForms);
    return std::nullopt;
  }
  if (used) std::fprintf(stderr, "Tolerância: R$ %s\n", toleranceText(*cents).c_str());
  return cents;
}

bool OutputFolder::prepare(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path folder = fs::path(path).lexically_normal();
  if (!folder.has_filename()) folder = folder.parent_path();  // "bancos/" is "bancos"
  // The missing folders, from the deepest up to the first that exists.
  std::vector<std::string> missing;
  for (fs::path p = folder; !p.empty() && !fs::exists(fs::symlink_status(p, ec)); p = p.parent_path()) {
    missing.push_back(p.string());
    if (p == p.parent_path()) break;
  }
  int error = 0;
  for (auto it = missing.rbegin(); it != missing.rend() && error == 0; ++it) {
    if (platform::makeFolder(*it) == 0)
      created_.push_back(*it);
    else if (errno != EEXIST)
      error = errno;
  }
  if (error == 0 && !fs::is_directory(folder, ec)) error = ENOTDIR;
  if (error == 0) return true;
  const std::string text = "Erro!: Não foi possível criar a pasta de saída "_cp + utf8ToCp1252(path) + ".\n" +
                           reasonLine(error) + "\n";
  std::fputs(terminalText(text).c_str(), stderr);
  removeIfEmpty();
  return false;
}

void OutputFolder::removeIfEmpty() {
  for (auto it = created_.rbegin(); it != created_.rend(); ++it) ::rmdir(it->c_str());  // fails when not empty
  created_.clear();
}

std::string terminalText(std::string_view cp1252) {
  const std::string utf8 = cp1252ToUtf8(cp1252);
  std::string shown;
  shown.reserve(utf8.size() + utf8.size() / 16);
  bool carriageReturn = false;  // a CR waiting to be known as half of a CR LF
  const auto settle = [&](bool lineFeedFollows) {
    if (carriageReturn && !lineFeedFollows) shown += "\\x0D";
    carriageReturn = false;
  };
  forEachVisible(
      utf8,
      [&](std::string_view text) {
        settle(false);
        shown += text;
      },
      [&](unsigned char b) {
        settle(b == '\n');
        if (b == '\r')
          carriageReturn = true;
        else if (b == '\n')
          shown += '\n';
        else
          shown += cformat("\\x%02X", b);
      });
  settle(false);
  return shown;
}

void printCp1252(const std::string& text) {
  const std::string utf8 = terminalText(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

void printOut(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

namespace {

// The name as the file system would find it, for names of files that may not exist.
std::filesystem::path resolvedName(const std::string& path) {
  std::error_code ec;
  std::filesystem::path resolved = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
  return ec ? std::filesystem::path(path).lexically_normal() : resolved;
}

}  // namespace

std::string outputClash(const std::string& output, const std::vector<std::string>& inputs) {
  struct stat out {};
  const bool exists = ::stat(output.c_str(), &out) == 0;
  const std::filesystem::path outputName = exists ? std::filesystem::path() : resolvedName(output);
  const auto same = [&](const std::string& other) {
    struct stat st {};
    if (exists) return ::stat(other.c_str(), &st) == 0 && st.st_dev == out.st_dev && st.st_ino == out.st_ino;
    // Names are resolved only when their last components agree (a folder may hold thousands).
    return std::filesystem::path(other).filename() == outputName.filename() && resolvedName(other) == outputName;
  };
  for (const std::string& input : inputs) {
    if (same(input))
      return cformat("%s e %s são o mesmo arquivo: o arquivo a validar não pode ser a saída; nada foi gravado",
                     visibleText(output).c_str(), visibleText(input).c_str());
    if (same(input + ".log"))
      return cformat("%s e %s são o mesmo arquivo: o log da validação de %s não pode ser a saída; nada foi gravado",
                     visibleText(output).c_str(), visibleText(input + ".log").c_str(), visibleText(input).c_str());
  }
  return {};
}

std::string unreadableReason(const std::string& path) {
  int error = 0;
  // O_NONBLOCK: a pipe without a writer must not hold the open.
  const int fd = platform::openFile(path, platform::kRead | platform::kNonBlocking);
  if (fd < 0) {
    error = errno;
  } else {
    platform::FileInfo st;
    char byte = 0;
    if (platform::descriptorInfo(fd, st) && st.directory)
      error = EISDIR;
    else if (st.regular && ::read(fd, &byte, 1) < 0)
      error = errno;
    platform::closeFile(fd);
  }
  switch (error) {
    case 0: return {};
    case ENOENT: return "arquivo não encontrado";
    case EACCES:
    case EPERM: return "sem permissão de leitura";
    case EISDIR: return "é uma pasta";
    default: return cp1252ToUtf8(systemReason(error));
  }
}

int finishStandardOutput(int status) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  const int error = errno;
  if (flushed && std::ferror(stdout) == 0) return status;
  std::fprintf(stderr, "tavex-cli: não foi possível escrever na saída padrão%s%s; a saída está incompleta\n",
               flushed || error == 0 ? "" : ": ", flushed || error == 0 ? "" : std::strerror(error));
  return kCannotRun;
}

}  // namespace tavex::cli
