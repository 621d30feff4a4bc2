#include "window/efd_review.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "cotepe/text.h"
#include "cotepe/visible_name.h"
#include "efd/ecf_evidence.h"
#include "validation/tolerance.h"
#include "validation/validate.h"
#include "window/finding_query.h"

namespace tavex {

namespace {

// A validation's message boxes, kept as the review's problems (one line each).
class ProblemNotifier : public Notifier {
 public:
  ProblemNotifier(std::vector<std::string>& problems, std::string file) : problems_(problems), file_(std::move(file)) {}
  void showMessage(std::string_view text, std::string_view, Icon) override {
    std::string line(text);
    std::replace(line.begin(), line.end(), '\r', ' ');
    std::replace(line.begin(), line.end(), '\n', ' ');
    problems_.push_back(file_ + ": " + line);
  }

 private:
  std::vector<std::string>& problems_;
  std::string file_;
};

}  // namespace

std::map<int, std::string> readLinesOf(const std::string& path, const std::vector<int>& lines) {
  std::map<int, std::string> texts;
  if (lines.empty()) return texts;
  std::ifstream in(path, std::ios::binary);
  std::string block(1u << 20, '\0');
  int line = 1;
  std::size_t next = 0;  // index into `lines` of the next line wanted
  std::string* current = nullptr;
  bool cut = false;
  while (in && next < lines.size()) {
    in.read(block.data(), static_cast<std::streamsize>(block.size()));
    const std::size_t got = static_cast<std::size_t>(in.gcount());
    std::size_t at = 0;
    while (at < got && next < lines.size()) {
      const char* start = block.data() + at;
      const void* lf = std::memchr(start, '\n', got - at);
      const std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - block.data()) : got;
      if (line == lines[next]) {
        if (current == nullptr) {
          current = &texts[line];
          cut = false;
        }
        const std::size_t room = kEfdLineShown - std::min(kEfdLineShown, current->size());
        current->append(start, std::min(room, end - at));
        if (end - at > room) cut = true;
      }
      if (lf == nullptr) break;
      if (current != nullptr) {
        while (!current->empty() && current->back() == '\r') current->pop_back();
        if (cut) *current += "\x85";  // "…" in cp1252
        current = nullptr;
        ++next;
      }
      ++line;
      at = end + 1;
    }
  }
  if (current != nullptr && cut) *current += "\x85";
  return texts;
}

std::size_t EfdReview::alerts() const {
  return static_cast<std::size_t>(std::count_if(rows.begin(), rows.end(), [this](const EfdRow& r) {
    return divergence(r).level == IndicatorLevel::Alerta;
  }));
}

bool EfdRowQuery::accepts(const EfdReview& review, std::size_t index) const {
  const EfdRow& row = review.rows[index];
  const EfdDivergence& d = review.divergence(row);
  if (level >= 0 && (d.level == IndicatorLevel::Alerta) != (level == 0)) return false;
  if (search.empty()) return true;
  return containsIgnoringCase(d.sentence, search) || containsIgnoringCase(efdCheckCode(d.check), search) ||
         containsIgnoringCase(review.ecf(row).serial, search) || containsIgnoringCase(review.efdLineTexts[index], search);
}

std::vector<std::size_t> selectEfdRows(const EfdReview& review, const EfdRowQuery& query) {
  std::vector<std::size_t> shown;
  for (std::size_t i = 0; i < review.rows.size(); ++i)
    if (query.accepts(review, i)) shown.push_back(i);
  return shown;
}

std::optional<EfdReview> reviewEfd(const std::vector<std::string>& cotepe, const std::vector<std::string>& efd,
                                   std::int64_t toleranceCents, WorkerControl* control,
                                   std::optional<std::int64_t> logToleranceCents) {
  EfdReview review;
  review.cotepeFiles = cotepe;
  review.toleranceCents = toleranceCents;
  const std::size_t steps = cotepe.size() + efd.size();
  std::size_t done = 0;
  const auto step = [&] {
    ++done;
    if (control != nullptr) control->setProgress(static_cast<int>(done * 100 / std::max<std::size_t>(steps, 1)));
    return control == nullptr || !control->cancelRequested();
  };
  std::vector<FileEvidence> evidence;
  for (const std::string& path : cotepe) {
    // The run "Validar Arquivo Texto" makes, with what the ECF recorded gathered beside it.
    ProblemNotifier notifier(review.problems, visibleCp1252(path));
    EvidenceCollector collector(path);
    ValidationOptions options;
    options.recordObserver = &collector;
    if (control != nullptr) {
      // The progress moves within a big file too, as its first read goes.
      std::error_code ec;
      const double size = static_cast<double>(std::filesystem::file_size(path, ec));
      options.readTap = [&, size, seen = 0.0, shown = -1](std::string_view bytes) mutable {
        seen += static_cast<double>(bytes.size());
        const int percent = static_cast<int>((static_cast<double>(done) + (size > 0 ? std::min(seen / size, 1.0) : 0)) *
                                             100 / static_cast<double>(std::max<std::size_t>(steps, 1)));
        if (percent != shown) control->setProgress(shown = percent);
      };
    }
    const std::size_t told = review.problems.size();
    const ValidationSummary summary = validateCotepeFile(notifier, path, logToleranceCents.value_or(toleranceCents), options);
    if (summary.ran) {
      FileEvidence gathered = collector.finish(summary.reconciliation.has_value(), summary.header.serial);
      if (!gathered.read)
        review.problems.push_back(visibleCp1252(path) +
                                  cformat(": a validação parou antes dos registros (%d erro(s) de estrutura; veja o "
                                          "log): o que o arquivo registrou não entra no confronto"_cp,
                                          summary.errors));
      evidence.push_back(std::move(gathered));
    } else if (review.problems.size() == told) {
      review.problems.push_back(visibleCp1252(path) + ": a validação não terminou"_cp);
    }
    if (!step()) return std::nullopt;
  }
  for (const std::string& path : efd) {
    auto file = std::make_unique<EfdFile>(readEfdFile(path));
    const std::string shown = visibleCp1252(path);
    if (!file->read) review.problems.push_back(shown + ": " + file->failure);
    for (const EfdProblem& p : file->problems)
      review.problems.push_back(p.line ? shown + cformat(", linha %d: ", p.line) + p.message : shown + ": " + p.message);
    review.efdFiles.push_back(std::move(file));
    if (!step()) return std::nullopt;
  }
  const std::vector<RecordedEcf> ecfs = gatherEcfs(std::move(evidence));
  for (const auto& file : review.efdFiles)
    if (file->read) review.comparisons.push_back(compareWithEfd(*file, ecfs, toleranceCents));
  for (std::size_t c = 0; c < review.comparisons.size(); ++c) {
    std::vector<int> wanted;
    const std::size_t first = review.rows.size();
    for (std::size_t e = 0; e < review.comparisons[c].ecfs.size(); ++e)
      for (std::size_t d = 0; d < review.comparisons[c].ecfs[e].divergences.size(); ++d) {
        review.rows.push_back({c, e, d});
        if (const int line = review.comparisons[c].ecfs[e].divergences[d].efdLine; line > 0) wanted.push_back(line);
      }
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    const std::map<int, std::string> texts = readLinesOf(review.comparisons[c].efd->path, wanted);
    for (std::size_t r = first; r < review.rows.size(); ++r) {
      const auto it = texts.find(review.divergence(review.rows[r]).efdLine);
      review.efdLineTexts.push_back(it == texts.end() ? std::string() : it->second);
    }
  }
  return review;
}

EfdWorkbench::Outcome EfdWorkbench::confront(WorkerJob& job, const std::string& cotepeFile,
                                             const std::string& toleranceText,
                                             std::optional<std::int64_t> logToleranceCents) {
  const std::optional<std::int64_t> tolerance = strictToleranceCents(toleranceText);
  if (!tolerance) {
    ui_.showMessage("Tolerância inválida: \""_cp + toleranceText + "\". Escreva "_cp + utf8ToCp1252(kToleranceForms) + ".",
                    "Erro!", Icon::Error);
    return Outcome::NotRun;
  }
  const std::vector<std::string> chosen = ui_.chooseOpenFiles(OpenFileRequest{
      "*.txt", "", "Arquivos da EFD ICMS/IPI (*.txt)|*.txt|Todos os arquivos (*.*)|*.*||", true, false,
      "Confrontar com EFD: escolha os arquivos da EFD ICMS/IPI"});
  if (chosen.empty()) return Outcome::NotRun;
  std::vector<std::string> cotepe, efd;
  if (!cotepeFile.empty()) cotepe.push_back(cotepeFile);
  for (const std::string& path : chosen) {
    if (looksLikeEfdFile(path))
      efd.push_back(path);
    else if (std::find(cotepe.begin(), cotepe.end(), path) == cotepe.end())
      cotepe.push_back(path);
  }
  if (efd.empty()) {
    ui_.showMessage("Nenhum dos arquivos escolhidos é uma EFD ICMS/IPI (a primeira linha de uma EFD é \"|0000|\")."_cp,
                    "Aviso", Icon::Warning);
    return Outcome::NotRun;
  }
  if (cotepe.empty()) {
    ui_.showMessage("Abra ou valide antes o arquivo COTEPE da ECF (ou escolha-o junto com a EFD)."_cp, "Aviso",
                    Icon::Warning);
    return Outcome::NotRun;
  }
  std::optional<EfdReview> review;
  const std::int64_t cents = *tolerance;
  const WorkerOutcome outcome = runOnWorker(ui_, job, [&](WorkerContext& context) {
    review = reviewEfd(cotepe, efd, cents, &context, logToleranceCents);
    if (review) context.finish(0);  // a cancelled run just returns
  }, true);
  if (outcome == WorkerOutcome::Cancelled) return Outcome::Cancelled;
  if (outcome != WorkerOutcome::Finished || !review) return Outcome::NotRun;
  last = std::move(review);
  return Outcome::Shown;
}

void EfdWorkbench::tellProblems() {
  if (!last || last->problems.empty()) return;
  std::string text = "O confronto com a EFD foi feito, mas nem tudo pôde ser lido:"_cp;
  const std::size_t shown = std::min<std::size_t>(last->problems.size(), 10);
  for (std::size_t i = 0; i < shown; ++i) text += "\n" + last->problems[i];
  if (shown < last->problems.size()) text += cformat("\n(e mais %zu, todos na aba EFD)"_cp, last->problems.size() - shown);
  ui_.showMessage(text, "Aviso", Icon::Warning);
}

}  // namespace tavex
