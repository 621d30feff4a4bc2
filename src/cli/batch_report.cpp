#include "cli/batch_report.h"

#include <algorithm>
#include <cstring>

#include "cotepe/file_access.h"
#include "cotepe/text.h"
#include "cotepe/visible_name.h"
#include "export/table_csv.h"

namespace tavex::cli {

namespace {

std::string padRight(const std::string& text, std::size_t width) {
  const std::size_t w = displayWidth(text);
  return w >= width ? text : text + std::string(width - w, ' ');
}

std::string padLeft(const std::string& text, std::size_t width) {
  const std::size_t w = displayWidth(text);
  return w >= width ? text : std::string(width - w, ' ') + text;
}

std::string decimalComma(std::string text) {
  std::replace(text.begin(), text.end(), '.', ',');
  return text;
}

std::vector<std::string> rowOf(const FileOutcome& o) {
  const bool validated = o.state == FileState::Validated;
  return {o.path,
          o.kind,
          o.serial,
          o.period,
          validated ? std::to_string(o.errors) : "",
          validated ? std::to_string(o.warnings) : "",
          validated ? (o.eadPresent ? "sim" : "não") : "",
          o.state == FileState::Interrupted ? "" : decimalComma(cformat("%.2f s", o.seconds)),
          stateText(o.state)};
}

const std::vector<std::string> kHeader = {"Arquivo", "Tipo", "Série ECF", "Período", "Erros",
                                          "Avisos", "EAD",  "Tempo",     "Situação"};

}  // namespace

std::size_t displayWidth(std::string_view utf8) {
  std::size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

std::string stateText(FileState state) {
  switch (state) {
    case FileState::Validated: return "validado";
    case FileState::NotValidated: return "não validado";
    case FileState::Interrupted: return "interrompido";
  }
  return "";
}

void ProgressBar::show(std::size_t done, const std::string& lastFile) {
  constexpr std::size_t kWidth = 30;
  const std::size_t filled = total_ == 0 ? kWidth : done * kWidth / total_;
  std::string name = visibleText(lastFile);
  if (displayWidth(name) > 40) name = "..." + name.substr(name.size() - 37);
  std::fprintf(out_, "\r\033[K[%s%s] %zu/%zu  %s", std::string(filled, '#').c_str(),
               std::string(kWidth - filled, '.').c_str(), done, total_, name.c_str());
  std::fflush(out_);
}

void ProgressBar::finish() {
  std::fputs("\r\033[K", out_);
  std::fflush(out_);
}

std::string summaryTable(const std::vector<FileOutcome>& outcomes) {
  std::vector<std::vector<std::string>> rows = {kHeader};
  for (const FileOutcome& o : outcomes) {
    rows.push_back(rowOf(o));
    rows.back()[0] = visibleText(o.path);  // a name may hold terminal control sequences
  }
  std::vector<std::size_t> widths(kHeader.size(), 0);
  for (const auto& row : rows)
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], displayWidth(row[c]));
  std::string out;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      const bool number = c == 4 || c == 5 || c == 7;
      line += number ? padLeft(row[c], widths[c]) : padRight(row[c], widths[c]);
      if (c + 1 < row.size()) line += "  ";
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + "\n";
  }
  int clean = 0, withErrors = 0, failed = 0, interrupted = 0;
  std::string problems;
  for (const FileOutcome& o : outcomes) {
    if (o.state == FileState::Interrupted) ++interrupted;
    else if (o.state == FileState::NotValidated) ++failed;
    else if (o.errors > 0) ++withErrors;
    else ++clean;
    if (o.state == FileState::NotValidated) problems += "  " + visibleText(o.path) + ": " + visibleText(o.problem) + "\n";
  }
  if (!problems.empty()) out += "\nNão validados:\n" + problems;
  out += cformat("\n%zu arquivo(s): %d sem erros, %d com erros, %d não validado(s), %d interrompido(s).\n",
                 outcomes.size(), clean, withErrors, failed, interrupted);
  return out;
}

std::string writeSummaryCsv(const std::string& path, const std::vector<FileOutcome>& outcomes, std::string* notice) {
  CsvTable table;
  std::vector<std::string> header = kHeader;
  header.push_back("Motivo");
  table.rowUtf8(header);
  for (const FileOutcome& o : outcomes) {
    std::vector<std::string> row = rowOf(o);
    row[0] = cp1252ToUtf8(visibleCp1252(o.path));
    row[7] = o.state == FileState::Interrupted ? "" : decimalComma(cformat("%.3f", o.seconds));
    row.push_back(cp1252ToUtf8(visibleCp1252(o.problem)));  // it may quote a name
    table.rowUtf8(row);
  }
  const std::string& out = table.text();
  const WholeFileResult written = writeWholeFile(path, out);
  if (written.ok()) {
    if (written.splitHardLink && notice != nullptr) *notice = cp1252ToUtf8(hardLinkSplitMessage(path));
    return {};
  }
  const std::string refusal = cp1252ToUtf8(outputRefusalMessage(written.refusal, path));
  if (!refusal.empty()) return refusal;
  return "não foi possível gravar o resumo em " + path + ": " + cp1252ToUtf8(systemReason(written.systemError));
}

}  // namespace tavex::cli
