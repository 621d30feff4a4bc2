#include "report/audit_report.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <utility>

#include "cotepe/br_format.h"
#include "cotepe/file_access.h"
#include "cotepe/file_kind.h"
#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "report/report_script.h"
#include "report/report_style.h"

namespace tavex::report {

namespace {

// ---- Escaping -------------------------------------------------------------------

std::string controlMark(unsigned code) { return cformat("<span class=\"ctl\">%02X</span>", code); }

// The HTML of every cp1252 byte: markup characters as entities, control bytes (and
// the five bytes cp1252 leaves undefined) as a marked hexadecimal value, the rest
// as UTF-8.
const std::array<std::string, 256>& cp1252Html() {
  static const std::array<std::string, 256> table = [] {
    std::array<std::string, 256> t;
    for (unsigned b = 0; b < 256; ++b) {
      const char c = static_cast<char>(b);
      if (b < 0x20 || b == 0x7F) t[b] = controlMark(b);
      else if (c == '<') t[b] = "&lt;";
      else if (c == '>') t[b] = "&gt;";
      else if (c == '&') t[b] = "&amp;";
      else if (c == '"') t[b] = "&quot;";
      else if (c == '\'') t[b] = "&#39;";
      else if (b >= 0x80 && b < 0xA0 && detail::kCp1252High[b - 0x80] == 0) t[b] = controlMark(b);
      else t[b] = cp1252ToUtf8(std::string_view(&c, 1));
    }
    return t;
  }();
  return table;
}

// A cp1252 text from a file, escaped.
void text(std::string& out, std::string_view cp1252) {
  const auto& table = cp1252Html();
  for (const char c : cp1252) out += table[static_cast<unsigned char>(c)];
}
std::string text(std::string_view cp1252) {
  std::string out;
  text(out, cp1252);
  return out;
}

// A UTF-8 text (a path, a message of ours), escaped; control characters and bytes
// that are not UTF-8 (a file name may hold any) marked, so the page stays UTF-8.
std::string esc(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  forEachVisible(
      utf8,
      [&](std::string_view shown) {
        for (const char c : shown) {
          if (c == '<') out += "&lt;";
          else if (c == '>') out += "&gt;";
          else if (c == '&') out += "&amp;";
          else if (c == '"') out += "&quot;";
          else if (c == '\'') out += "&#39;";
          else out += c;
        }
      },
      [&](unsigned char b) { out += controlMark(b); });
  return out;
}

// ---- Numbers and dates ----------------------------------------------------------

std::string integer(long long n) {
  return n < 0 ? "-" + groupedThousands(0 - static_cast<std::uint64_t>(n)) : groupedThousands(static_cast<std::uint64_t>(n));
}

// AAAAMMDD as DD/MM/AAAA; anything else as it is.
std::string date(std::string_view yyyymmdd) {
  const std::optional<std::string> day = brazilianDate(yyyymmdd);
  return day ? *day : text(yyyymmdd);
}

std::string plural(long long n, const char* one, const char* many) { return integer(n) + " " + (n == 1 ? one : many); }

// ---- Names ----------------------------------------------------------------------

constexpr FindingFamily kFamilies[] = {FindingFamily::Structure, FindingFamily::Format, FindingFamily::Content,
                                       FindingFamily::Totals};

const char* familyKey(FindingFamily f) {
  switch (f) {
    case FindingFamily::Structure: return "estrutura";
    case FindingFamily::Format: return "formato";
    case FindingFamily::Content: return "conteudo";
    case FindingFamily::Totals: return "totais";
  }
  return "";
}

const char* familyTitle(FindingFamily f) {
  switch (f) {
    case FindingFamily::Structure: return "Estrutura";
    case FindingFamily::Format: return "Formato";
    case FindingFamily::Content: return "Conteúdo";
    case FindingFamily::Totals: return "Totais";
  }
  return "";
}

std::string recordTitle(int type) {
  if (type == 0) return "Arquivo (sem registro)";
  const RecordLayout* layout = layoutOf(type);
  return layout == nullptr ? cformat("Registro %d", type) : std::string(layout->tag);
}

std::string kindOf(const LogHeader& h) {
  const FileKindRules& rules = fileKindRules(fileKindOf(h.command));
  if (rules.name.empty()) return "desconhecido (" + text(h.command) + ")";
  return std::string(rules.name) + " (" + std::string(rules.meaning) + ")";
}

// A header value: escaped, or "não informado" for one the file did not have.
std::string headerValue(std::string_view cp1252) {
  const std::string_view v = trimRight(cp1252);
  if (v.empty()) return "<span class=\"nada\">(em branco)</span>";
  if (v.find_first_not_of('?') == std::string_view::npos) return "<span class=\"nada\">não informado</span>";
  return text(v);
}

std::string cnpj(std::string_view cp1252) {
  const std::string_view v = trimRight(cp1252);
  if (v.size() == 14 && isAllDigits(v))
    return std::string(v.substr(0, 2)) + "." + std::string(v.substr(2, 3)) + "." + std::string(v.substr(5, 3)) + "/" +
           std::string(v.substr(8, 4)) + "-" + std::string(v.substr(12, 2));
  return headerValue(v);
}

std::string period(const LogHeader& h) {
  const std::string p = h.readablePeriod();
  return p.empty() ? "<span class=\"nada\">não informado</span>" : text(p);
}

struct SignatureText {
  const char* key;
  std::string words;
};

SignatureText signatureText(const ReportedFile& f) {
  const std::string whose = f.signatureKey.empty() ? "" : " (chave de " + esc(f.signatureKey) + ")";
  switch (f.signature) {
    case SignatureCheck::Valid: return {"valida", "válida" + whose};
    case SignatureCheck::Invalid: return {"invalida", "inválida" + whose};
    case SignatureCheck::NoSignatureRecord: return {"sem_ead", "sem registro EAD legível" + whose};
    case SignatureCheck::CannotOpen: return {"ilegivel", "o arquivo não pôde ser lido"};
    case SignatureCheck::NotChecked: break;
  }
  return {"nao_verificada", "não verificada (o catálogo da pasta atual não tem a chave do fabricante)"};
}

// ---- Grouping of the findings ---------------------------------------------------

struct Group {
  FindingFamily family;
  int recordType;
  std::vector<std::size_t> members;  // indices into the findings kept, in the log's order
  std::size_t count = 0;             // the group's findings, kept or not
};

std::vector<Group> groupsOf(const std::vector<Finding>& findings, const FindingTally& tally) {
  std::map<std::pair<int, int>, std::vector<std::size_t>> byKey;
  for (std::size_t i = 0; i < findings.size(); ++i) byKey[findingGroupOf(findings[i])].push_back(i);
  std::vector<Group> groups;
  groups.reserve(byKey.size());
  for (auto& [key, members] : byKey) {
    const auto counted = tally.perGroup.find(key);
    const std::size_t count = counted == tally.perGroup.end() ? members.size() : counted->second;
    groups.push_back({static_cast<FindingFamily>(key.first), key.second, std::move(members), count});
  }
  return groups;
}

// The file's counts: its tally, or its findings counted when it has none.
FindingTally tallyOf(const ReportedFile& f) {
  if (f.tally.total > 0 || f.findings.empty()) return f.tally;
  FindingTally tally;
  for (const Finding& finding : f.findings) tally.add(finding);
  return tally;
}

// ---- The page -------------------------------------------------------------------

// The page's style and its one script (assets/relatorio.css and .js, embedded when
// the program is built: kReportStyle, kReportScript).

std::string base64(const unsigned char* bytes, std::size_t n) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < n; i += 3) {
    const unsigned v = (bytes[i] << 16) | ((i + 1 < n ? bytes[i + 1] : 0) << 8) | (i + 2 < n ? bytes[i + 2] : 0);
    out += kDigits[(v >> 18) & 63];
    out += kDigits[(v >> 12) & 63];
    out += i + 1 < n ? kDigits[(v >> 6) & 63] : '=';
    out += i + 2 < n ? kDigits[v & 63] : '=';
  }
  return out;
}

// The page allows its own script only (by its hash), inline styles and nothing else:
// a script that escaped escaping would still not run.
std::string contentPolicy() {
  const std::array<unsigned char, 32> digest = sha256Of(kReportScript);
  return "default-src 'none'; style-src 'unsafe-inline'; img-src data:; script-src 'sha256-" +
         base64(digest.data(), digest.size()) + "'";
}

class Page {
 public:
  // `emit` takes the page in pieces of about a megabyte, in order.
  Page(const std::vector<ReportedFile>& files, const ReportOptions& options,
       std::function<void(std::string_view)> emit)
      : files_(files), options_(options), emit_(std::move(emit)) {}

  void build() {
    out_.reserve(kPiece + (1 << 16));
    const std::string title =
        files_.size() == 1 ? esc(baseName(files_[0].path)) : cformat("%zu arquivos", files_.size());
    out_ += "<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n";
    out_ += "<meta http-equiv=\"Content-Security-Policy\" content=\"" + contentPolicy() + "\">\n";
    out_ += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    out_ += "<meta name=\"generator\" content=\"Tavex " + esc(options_.version) + "\">\n";
    out_ += "<title>Relatório de auditoria – " + title + "</title>\n<style>" + std::string(kReportStyle) + "</style>\n</head>\n<body>\n";
    out_ += "<header class=\"capa\">\n<h1>Relatório de auditoria</h1>\n<p class=\"gerado\">Gerado em <span class=\"data-relatorio\">" +
            esc(options_.generatedAt) + "</span> pelo Tavex <span class=\"versao\">" + esc(options_.version) +
            "</span></p>\n</header>\n";
    if (files_.size() != 1) summaryTable();
    if (!options_.efd.empty()) efdSection();
    for (std::size_t i = 0; i < files_.size(); ++i) {
      fileSection(i);
      spill();
    }
    out_ += "<script>" + std::string(kReportScript) + "</script>\n</body>\n</html>\n";
    emit_(out_);
    out_.clear();
  }

 private:
  static std::string baseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
  }

  static std::string kindShort(const ReportedFile& f) {
    if (!f.header) return "";
    return std::string(fileKindRules(fileKindOf(f.header->command)).name);
  }

  void summaryTable() {
    out_ += "<section id=\"resumo\">\n<h2>Resumo dos arquivos</h2>\n";
    if (files_.empty()) {
      out_ += "<p class=\"nota\">Nenhum arquivo COTEPE encontrado.</p>\n</section>\n";
      return;
    }
    out_ += "<p class=\"nota\">Clique no título de uma coluna para ordenar a tabela.</p>\n"
            "<table class=\"resumo ordenavel\">\n<thead><tr><th>Arquivo</th><th>Tipo</th><th>ECF</th><th>Período</th>"
            "<th class=\"n\">Erros</th><th class=\"n\">Avisos</th><th>Assinatura EAD</th><th>Situação</th></tr></thead>\n<tbody>\n";
    for (std::size_t i = 0; i < files_.size(); ++i) {
      const ReportedFile& f = files_[i];
      out_ += cformat("<tr data-arquivo=\"%zu\"><td><a href=\"#arquivo-%zu\">", i + 1, i + 1) + esc(f.path) + "</a></td>";
      out_ += "<td>" + kindShort(f) + "</td>";
      out_ += "<td>" + (f.header && f.validated ? headerValue(f.header->serial) : std::string()) + "</td>";
      out_ += "<td>" + (f.header && f.validated ? period(*f.header) : std::string()) + "</td>";
      out_ += cformat("<td class=\"n erros\" data-valor=\"%d\">", f.errors) + integer(f.errors) + "</td>";
      out_ += cformat("<td class=\"n avisos\" data-valor=\"%d\">", f.warnings) + integer(f.warnings) + "</td>";
      const SignatureText s = signatureText(f);
      out_ += "<td>" + std::string(f.validated ? s.key == std::string("valida") ? "válida"
                                                 : s.key == std::string("nao_verificada") ? "não verificada"
                                                 : s.key == std::string("invalida")      ? "inválida"
                                                                                          : "sem EAD"
                                               : "") +
              "</td>";
      out_ += "<td>" + (f.validated ? std::string(f.errors > 0 ? "com erros" : "sem erros")
                                    : "não validado: " + esc(f.problem)) +
              "</td></tr>\n";
    }
    out_ += "</tbody>\n</table>\n";
    for (const EcfSummary& ecf : options_.ecfs) ecfSummary(ecf);
    out_ += "</section>\n";
  }

  // One ECF of the summary: its coverage, its files in order, those that disagree
  // and the indicators between them.
  void ecfSummary(const EcfSummary& ecf) {
    out_ += "<div class=\"ecf\">\n<h3>" + esc(ecf.caption) + "</h3>\n<p class=\"cobertura\">" + esc(ecf.coverage) +
            "</p>\n<ol class=\"arquivos-ecf\">\n";
    for (std::size_t i : ecf.files) {
      const bool noEad = std::find(ecf.withoutEad.begin(), ecf.withoutEad.end(), i) != ecf.withoutEad.end();
      out_ += cformat("<li><a href=\"#arquivo-%zu\">", i + 1) + esc(files_[i].path) + "</a>" +
              (noEad ? " (sem EAD)" : "") + "</li>\n";
    }
    for (std::size_t k = 0; k < ecf.excluded.size(); ++k) {
      const std::size_t i = ecf.excluded[k];
      const bool why = k < ecf.excludedWhy.size() && !ecf.excludedWhy[k].empty();
      out_ += cformat("<li class=\"deixado\"><a href=\"#arquivo-%zu\">", i + 1) + esc(files_[i].path) + "</a> (deixado de lado: " +
              (why ? esc(ecf.excludedWhy[k]) : std::string("não passou na verificação de estrutura")) + ")</li>\n";
    }
    out_ += "</ol>\n";
    if (!ecf.disagreeing.empty()) {
      std::string names;
      for (const std::string& name : ecf.disagreeing) names += (names.empty() ? "" : ", ") + esc(name);
      out_ += "<p class=\"divergem\">Arquivos que divergem: " + names + "</p>\n";
    }
    if (!ecf.indicators.empty()) {
      static const ReportedFile kNoRecords;
      out_ += "<ol class=\"lista\">\n";
      for (const Indicator& x : ecf.indicators) indicator(kNoRecords, x);
      out_ += "</ol>\n";
    }
    for (const BatchPair& pair : ecf.pairs) memoryPair(pair);
    out_ += "</div>\n";
  }

  // The ECFs against the taxpayer's EFD: per EFD and ECF, the months side by side,
  // then the divergences, alerts first, each with its EFD line and ECF record.
  void efdSection() {
    out_ += "<section id=\"efd\">\n<h2>ECF × EFD</h2>\n";
    for (const EfdComparison& c : options_.efd) {
      const EfdFile& efd = *c.efd;
      out_ += "<div class=\"efd\">\n<h3>EFD " + esc(efd.path) + "</h3>\n<p>CNPJ " + text(efd.cnpj) + ", " +
              text(efd.name) + ", período " + date(efd.start) + " a " + date(efd.end) + "</p>\n";
      if (!efd.problems.empty()) {
        out_ += "<ul class=\"problemas-efd\">\n";
        for (const EfdProblem& p : efd.problems)
          out_ += "<li>" + (p.line ? "linha " + integer(p.line) + ": " : std::string()) + text(p.message) + "</li>\n";
        out_ += "</ul>\n";
      }
      if (c.ecfs.empty())
        out_ += "<p class=\"nota\">Nenhuma ECF dos arquivos tem movimento nesse período nem é declarada nele.</p>\n";
      for (const EfdEcfComparison& e : c.ecfs) efdEcf(e);
      out_ += "</div>\n";
    }
    out_ += "</section>\n";
  }

  void efdEcf(const EfdEcfComparison& e) {
    out_ += "<div class=\"ecf\">\n<h4>ECF " + text(e.serial) +
            (e.efdLine ? " (C400 na linha " + integer(e.efdLine) + " da EFD)" : std::string(" (sem C400 na EFD)")) +
            "</h4>\n<table class=\"resumo\">\n<thead><tr><th>Mês</th><th class=\"n\">Reduções Z EFD</th>"
            "<th class=\"n\">Reduções Z ECF</th><th class=\"n\">Venda bruta EFD</th><th class=\"n\">Venda bruta ECF</th>"
            "<th class=\"n\">Diferença</th><th class=\"n\">Cupons EFD</th><th class=\"n\">Cupons ECF</th></tr></thead>\n<tbody>\n";
    for (const EfdMonthSummary& m : e.months)
      out_ += "<tr><td>" + m.month.substr(4, 2) + "/" + m.month.substr(0, 4) + "</td><td class=\"n\">" +
              integer(m.reductionsDeclared) + "</td><td class=\"n\">" + integer(m.reductionsRecorded) +
              "</td><td class=\"n\">" + brazilianMoney(m.grossDeclared) + "</td><td class=\"n\">" +
              brazilianMoney(m.grossRecorded) + "</td><td class=\"n\">" +
              brazilianMoney(m.grossDeclared - m.grossRecorded) + "</td><td class=\"n\">" +
              integer(m.couponsDeclared) + "</td><td class=\"n\">" + integer(m.couponsRecorded) + "</td></tr>\n";
    out_ += "</tbody>\n</table>\n";
    if (e.divergences.empty()) {
      out_ += "<p class=\"nota\">Nenhuma divergência: o que a ECF registrou foi escriturado.</p>\n</div>\n";
      return;
    }
    out_ += "<ol class=\"lista\">\n";
    for (const EfdDivergence& d : e.divergences) {
      const bool alert = d.level == IndicatorLevel::Alerta;
      out_ += std::string("<li class=\"indicio ") + (alert ? "alerta" : "informacao") + "\" data-codigo=\"" +
              std::string(efdCheckCode(d.check)) + "\"><span class=\"sev\">" + (alert ? "ALERTA" : "INFORMAÇÃO") +
              "</span> ";
      std::string where;
      if (d.efdLine) where += "EFD linha " + integer(d.efdLine);
      if (!d.ecfFile.empty()) where += (where.empty() ? "" : ", ") + esc(d.ecfFile) + " linha " + integer(d.ecfLine);
      if (!where.empty()) out_ += "<span class=\"onde\">" + where + ":</span> ";
      out_ += "<span class=\"msg\">" + text(d.sentence) + "</span> <code>" + std::string(efdCheckCode(d.check)) + "</code>";
      for (const ReportedFile& f : files_) {
        if (d.ecfFile.empty() || f.path != d.ecfFile) continue;
        if (const auto it = f.records.find(d.ecfLine); it != f.records.end()) {
          out_ += "<pre class=\"registro\">";
          text(out_, std::string_view(it->second).substr(0, 2000));
          out_ += "</pre>";
        }
        break;
      }
      out_ += "</li>\n";
    }
    out_ += "</ol>\n</div>\n";
  }

  void fileSection(std::size_t index) {
    const ReportedFile& f = files_[index];
    out_ += cformat("<section class=\"arquivo\" id=\"arquivo-%zu\" data-erros=\"%d\" data-avisos=\"%d\">\n", index + 1,
                    f.errors, f.warnings);
    out_ += "<h2>" + esc(f.path) + "</h2>\n";
    identity(f);
    if (!f.validated) {
      out_ += "<p class=\"situacao erros\">Arquivo não validado</p>\n<p class=\"problema\">" + esc(f.problem) + "</p>\n";
      out_ += "</section>\n";
      return;
    }
    verdict(f);
    indicators(f);
    reconciliation(f);
    findings(f);
    out_ += "</section>\n";
  }

  void row(const char* label, const std::string& html, const char* cls = nullptr) {
    out_ += "<tr";
    if (cls != nullptr) out_ += cformat(" class=\"%s\"", cls);
    out_ += "><th>" + std::string(label) + "</th><td>" + html + "</td></tr>\n";
  }

  void identity(const ReportedFile& f) {
    out_ += "<table class=\"identificacao\">\n<tbody>\n";
    if (f.header && f.validated) {
      const LogHeader& h = *f.header;
      row("Tipo do arquivo", kindOf(h) + (f.formatOnly ? " — validação somente de formato" : ""), "tipo");
      row("ECF: número de fabricação", headerValue(h.serial), "serie");
      row("ECF: marca / modelo", text(h.brandModel), "marca-modelo");
      row("ECF: tipo", headerValue(h.ecfType), "tipo-ecf");
      row("Contribuinte: CNPJ", cnpj(h.cnpj), "cnpj");
      row("Contribuinte: nome", headerValue(h.name), "contribuinte");
      row("Período", period(h), "periodo");
    }
    row("Tamanho", f.size ? groupedThousands(*f.size) + " bytes" : "<span class=\"nada\">arquivo ilegível</span>", "tamanho");
    row("SHA-256", f.sha256.empty() ? "<span class=\"nada\">—</span>" : "<code>" + f.sha256 + "</code>", "sha256");
    row("Data do relatório", esc(options_.generatedAt), "data-relatorio");
    row("Versão do Tavex", esc(options_.version), "versao");
    out_ += "</tbody>\n</table>\n";
  }

  void verdict(const ReportedFile& f) {
    const FindingTally tally = tallyOf(f);
    const std::array<int, 4>& errors = tally.errors;
    const std::array<int, 4>& warnings = tally.warnings;
    out_ += "<section class=\"veredito\">\n<h3>Veredito</h3>\n";
    out_ += std::string("<p class=\"situacao ") + (f.errors > 0 ? "erros" : "ok") + "\">" +
            plural(f.errors, "erro", "erros") + " e " + plural(f.warnings, "aviso", "avisos") + "</p>\n";
    out_ += "<table class=\"familias\">\n<thead><tr><th>Família</th><th class=\"n\">Erros</th><th class=\"n\">Avisos</th></tr></thead>\n<tbody>\n";
    for (const FindingFamily family : kFamilies) {
      const auto i = static_cast<std::size_t>(family);
      out_ += cformat("<tr data-familia=\"%s\"><td>%s</td><td class=\"n erros\">%d</td><td class=\"n avisos\">%d</td></tr>\n",
                      familyKey(family), familyTitle(family), errors[i], warnings[i]);
    }
    out_ += cformat("</tbody>\n<tfoot><tr class=\"total\"><th>Total</th><td class=\"n erros\">%d</td><td class=\"n avisos\">%d</td></tr></tfoot>\n</table>\n",
                    f.errors, f.warnings);
    const SignatureText s = signatureText(f);
    out_ += cformat("<p class=\"assinatura\" data-assinatura=\"%s\">Assinatura digital (EAD): <strong class=\"%s\">", s.key, s.key) +
            s.words + "</strong></p>\n</section>\n";
  }

  void reconciliation(const ReportedFile& f) {
    out_ += "<section class=\"conciliacao\">\n<h3>Conciliação das reduções Z</h3>\n";
    if (!f.reconciliation) {
      out_ += std::string("<p class=\"nota\">") +
              (f.formatOnly ? "Sem conciliação: a validação foi somente de formato."
                            : "Sem conciliação: a validação parou antes dos totais.") +
              "</p>\n</section>\n";
      return;
    }
    reconciliationTable(*f.reconciliation, nullptr, "tavex-cli conciliar");
    out_ += "</section>\n";
  }

  // The tolerance line, the chart and the table of `r`. With `origins` (an MF × MFD
  // pair's, by reduction and total) each row also says where its declared value
  // ("MF:13") and its documents ("MFD:7-9") come from. `command` gives the full table.
  void reconciliationTable(const Reconciliation& r, const std::vector<std::vector<TotalOrigin>>* origins,
                           const char* command) {
    std::size_t daysOver = 0;
    for (const ReductionReconciliation& z : r.reductions)
      daysOver += std::any_of(z.totals.begin(), z.totals.end(), [](const ReconciledTotal& t) { return !t.withinTolerance; });
    out_ += "<p>Tolerância: R$ " + brazilianMoney(r.toleranceCents) + ". " + plural(static_cast<long long>(r.reductions.size()), "redução Z", "reduções Z") +
            "; " + plural(static_cast<long long>(r.rowsOverTolerance()), "total", "totais") + " acima da tolerância em " +
            plural(static_cast<long long>(daysOver), "dia", "dias") +
            ". Uma redução cujos totais conferem todos ocupa uma linha; as demais mostram cada total "
            "(a tabela completa: <code>" + command + "</code>).</p>\n";
    if (!r.complete)
      out_ += "<p class=\"nota incompleta\">Somas incompletas. " + text(switchedOffNotice(r)) +
              "; os valores calculados a partir dessa linha não são fatos.</p>\n";
    if (r.reductions.empty()) return;
    chart(r);
    out_ += "<table class=\"conciliacao\">\n<thead><tr><th class=\"n\">CRZ</th><th>Data</th><th>COO</th><th>Registro</th>"
            "<th>Totalizador</th>";
    if (origins != nullptr) out_ += "<th>Declarado em</th><th>Documentos</th>";
    out_ += "<th class=\"n\">Declarado</th><th class=\"n\">Calculado</th><th class=\"n\">Diferença</th>"
            "<th title=\"acima da tolerância\">!</th></tr></thead>\n<tbody>\n";
    for (std::size_t i = 0; i < r.reductions.size(); ++i) {
      const ReductionReconciliation& z = r.reductions[i];
      const std::string common = cformat("<td class=\"n\">%d</td><td>", z.crz) + date(z.date) + "</td><td>" +
                                 cformat("%d a %d", z.firstCoo, z.lastCoo) + "</td>";
      // A reduction whose totals all agree takes one row (its first total, usually
      // E12): a month of them stays readable, and light for the browser.
      const bool agrees = std::all_of(z.totals.begin(), z.totals.end(), [](const ReconciledTotal& t) { return t.withinTolerance; });
      const std::size_t shown = agrees ? std::min<std::size_t>(1, z.totals.size()) : z.totals.size();
      for (std::size_t k = 0; k < shown; ++k) {
        const ReconciledTotal& t = z.totals[k];
        out_ += cformat("<tr class=\"total%s\" data-crz=\"%d\">", t.withinTolerance ? "" : " fora", z.crz) + common;
        out_ += "<td>" + std::string(recordNameOf(t.kind)) + "</td><td>" + text(trimRight(t.name));
        if (agrees && z.totals.size() > 1)
          out_ += std::string(t.name.empty() ? "" : " ") + "<span class=\"nada\">(e mais " +
                  plural(static_cast<long long>(z.totals.size() - 1), "total", "totais") + " na tolerância)</span>";
        out_ += "</td>";
        if (origins != nullptr && i < origins->size() && k < (*origins)[i].size())
          out_ += "<td class=\"origem\">" + declaredInText((*origins)[i][k]) + "</td><td class=\"origem\">" +
                  documentsText((*origins)[i][k]) + "</td>";
        else if (origins != nullptr)
          out_ += "<td></td><td></td>";
        out_ += cformat("<td class=\"n\" data-centavos=\"%lld\">", static_cast<long long>(t.declared)) + brazilianMoney(t.declared) + "</td>";
        out_ += cformat("<td class=\"n\" data-centavos=\"%lld\">", static_cast<long long>(t.computed)) + brazilianMoney(t.computed) + "</td>";
        out_ += cformat("<td class=\"n\" data-centavos=\"%lld\">", static_cast<long long>(t.difference)) + brazilianMoney(t.difference) + "</td>";
        out_ += std::string("<td class=\"marca\">") + (t.withinTolerance ? "" : "✱") + "</td></tr>\n";
      }
      if (z.totals.empty())
        out_ += cformat("<tr data-crz=\"%d\">", z.crz) + common +
                cformat("<td colspan=\"%d\" class=\"nada\">sem totais declarados</td></tr>\n", origins != nullptr ? 8 : 6);
      spill();
    }
    out_ += "</tbody>\n</table>\n";
  }

  // An MF and an MFD of one ECF reconciled with each other: the count of totals over
  // the tolerance in its heading, then the table, or why they could not be.
  void memoryPair(const BatchPair& pair) {
    const auto link = [this](std::size_t i) {
      return cformat("<a href=\"#arquivo-%zu\">", i + 1) + esc(files_[i].path) + "</a>";
    };
    out_ += "<section class=\"conciliacao-mf-mfd\">\n<h4>Conciliação MF × MFD: " + link(pair.mf) + " × " + link(pair.mfd) +
            " — ";
    if (!pair.result.ran) {
      out_ += "não conciliados</h4>\n<p class=\"problema\">";
      text(out_, trimRight(pair.refusal));
      out_ += "</p>\n</section>\n";
      return;
    }
    const Reconciliation& r = pair.result.reconciliation;
    out_ += plural(static_cast<long long>(r.rowsOverTolerance()), "total acima da tolerância",
                   "totais acima da tolerância") +
            "</h4>\n";
    reconciliationTable(r, &pair.result.origins, "tavex-cli conciliar MF MFD");
    notCompared(pair.result);
    out_ += "</section>\n";
  }

  // The reductions a pair left out, consecutive CRZs of one file and reason as one range.
  void notCompared(const MemoryPair& pair) {
    const std::vector<NotComparedReduction>& list = pair.notCompared;
    if (list.empty()) return;
    const auto reason = [](const NotComparedReduction& z) {
      if (z.reason == NotComparedReason::NotInMf) return "do MFD, ausentes do MF embora no seu período";
      return z.file == PairFile::Mf ? "do MF, fora do período do MFD" : "do MFD, fora do período do MF";
    };
    out_ += "<p class=\"nao-comparadas\">" +
            plural(static_cast<long long>(list.size()), "redução Z não comparada", "reduções Z não comparadas") + ": ";
    for (std::size_t from = 0; from < list.size();) {
      std::size_t to = from;
      while (to + 1 < list.size() && list[to + 1].file == list[from].file && list[to + 1].reason == list[from].reason &&
             list[to + 1].crz == list[to].crz + 1)
        ++to;
      out_ += (from == 0 ? "" : "; ") +
              (to == from ? cformat("CRZ %06d", list[from].crz) : cformat("CRZ %06d a %06d", list[from].crz, list[to].crz)) +
              " " + reason(list[from]);
      from = to + 1;
    }
    out_ += ".</p>\n";
  }

  // One bar per reduction: its difference of largest size (declared minus computed),
  // over a band of ± the tolerance.
  void chart(const Reconciliation& r) {
    struct Bar {
      int crz;
      const std::string* date;
      std::int64_t difference;
      bool over;
    };
    std::vector<Bar> bars;
    bars.reserve(r.reductions.size());
    double largest = static_cast<double>(r.toleranceCents);
    for (const ReductionReconciliation& z : r.reductions) {
      Bar bar{z.crz, &z.date, 0, false};
      for (const ReconciledTotal& t : z.totals) {
        const double size = std::abs(static_cast<double>(t.difference));
        if (size > std::abs(static_cast<double>(bar.difference))) bar.difference = t.difference;
        bar.over = bar.over || !t.withinTolerance;
      }
      largest = std::max(largest, std::abs(static_cast<double>(bar.difference)));
      bars.push_back(bar);
    }
    if (largest <= 0) largest = 1;
    const double height = 200, middle = 100, reach = 92;  // drawing units
    const std::size_t step = 10;
    const double width = static_cast<double>(bars.size() * step);
    const double band = static_cast<double>(r.toleranceCents) / largest * reach;
    // The scale beside the drawing and the days under it are page text: the drawing
    // stretches to the page's width, text inside it would stretch too.
    const std::string scale = brazilianMoney(static_cast<std::int64_t>(largest));
    out_ += "<figure>\n<div class=\"grafico-quadro\">\n<div class=\"eixo-y\"><span class=\"topo\">+" + scale +
            "</span><span class=\"meio\">0,00</span><span class=\"base\">-" + scale + "</span></div>\n";
    out_ += cformat("<svg class=\"grafico\" viewBox=\"0 0 %.0f %.0f\" preserveAspectRatio=\"none\" role=\"img\" "
                    "aria-label=\"Diferença de cada redução Z\" xmlns=\"http://www.w3.org/2000/svg\">\n",
                    width, height);
    out_ += cformat("<rect class=\"faixa\" x=\"0\" y=\"%.2f\" width=\"%.0f\" height=\"%.2f\"/>\n", middle - band, width, 2 * band);
    for (std::size_t i = 0; i < bars.size(); ++i) {
      const Bar& b = bars[i];
      const double h = std::max(0.6, std::abs(static_cast<double>(b.difference)) / largest * reach);
      const double y = b.difference > 0 ? middle - h : b.difference < 0 ? middle : middle - h / 2;
      out_ += cformat("<rect class=\"barra%s\" data-crz=\"%d\" x=\"%zu\" y=\"%.2f\" width=\"8\" height=\"%.2f\"><title>CRZ %d, ",
                      b.over ? " fora" : "", b.crz, i * step + 1, y, h, b.crz) +
              date(*b.date) + ": diferença R$ " + brazilianMoney(b.difference) + (b.over ? " (acima da tolerância)" : "") +
              "</title></rect>\n";
      spill();
    }
    out_ += cformat("<line class=\"zero\" x1=\"0\" y1=\"%.0f\" x2=\"%.0f\" y2=\"%.0f\"/>\n", middle, width, middle);
    out_ += "</svg>\n<div class=\"eixo-x\">";
    // At most about sixteen days named, evenly spaced.
    const std::size_t every = std::max<std::size_t>(1, (bars.size() + 15) / 16);
    for (std::size_t i = 0; i < bars.size(); i += every) {
      const std::optional<std::string> day = brazilianDate(*bars[i].date);
      out_ += cformat("<span style=\"left:%.2f%%\">", (static_cast<double>(i * step) + 5) / width * 100) +
              (day ? day->substr(0, 5) : cformat("CRZ %d", bars[i].crz)) + "</span>";
    }
    out_ += "</div>\n</div>\n<figcaption>Diferença de cada redução Z (a maior entre os seus totais, declarado menos calculado, "
            "em R$; escala até ± R$ " + brazilianMoney(static_cast<std::int64_t>(largest)) +
            "). A faixa verde é a tolerância; em vermelho, os dias acima dela.</figcaption>\n</figure>\n";
  }

  // The ECF's counters and dates against each other: alerts first, each with the
  // text of its record.
  void indicators(const ReportedFile& f) {
    if (!f.indicatorsComputed) return;
    const auto alerts = std::count_if(f.indicators.begin(), f.indicators.end(),
                                      [](const Indicator& i) { return i.level == IndicatorLevel::Alerta; });
    out_ += "<section class=\"indicios\">\n<h3>Indícios (" + plural(static_cast<long long>(alerts), "alerta", "alertas") +
            ", " + plural(static_cast<long long>(f.indicators.size()) - static_cast<long long>(alerts), "informação",
                          "informações") +
            ")</h3>\n";
    if (f.indicators.empty()) {
      out_ += "<p class=\"nota\">Nenhum indício: os contadores (CRZ, CRO, COO, CCF, GNF, GT) e as datas do arquivo "
              "conferem entre si.</p>\n</section>\n";
      return;
    }
    out_ += "<ol class=\"lista\">\n";
    const std::size_t listed = std::min(f.indicators.size(), options_.findingsPerGroup);
    for (std::size_t k = 0; k < listed; ++k) indicator(f, f.indicators[k]);
    out_ += "</ol>\n";
    if (listed < f.indicators.size())
      out_ += "<p class=\"mais\" data-omitidos=\"" + std::to_string(f.indicators.size() - listed) + "\">e mais " +
              plural(static_cast<long long>(f.indicators.size() - listed), "indício", "indícios") +
              " (a lista completa está na saída de <code>tavex-cli indicios</code>)</p>\n";
    out_ += "</section>\n";
  }

  void indicator(const ReportedFile& f, const Indicator& x) {
    const bool alert = x.level == IndicatorLevel::Alerta;
    out_ += std::string("<li class=\"indicio ") + (alert ? "alerta" : "informacao") + "\" data-codigo=\"" + esc(x.code) +
            cformat("\" data-linha=\"%d\"><span class=\"sev\">%s</span> ", x.line, alert ? "ALERTA" : "INFORMAÇÃO");
    std::string where;
    if (x.line > 0) where += "linha " + integer(x.line) + (x.recordType > 0 ? " (" + recordTitle(x.recordType) + ")" : "");
    if (x.crz > 0) where += (where.empty() ? "" : ", ") + cformat("CRZ %lld", static_cast<long long>(x.crz));
    if (x.coo > 0) where += (where.empty() ? "" : ", ") + cformat("COO %lld", static_cast<long long>(x.coo));
    if (!where.empty()) out_ += "<span class=\"onde\">" + where + ":</span> ";
    out_ += "<span class=\"msg\">";
    text(out_, x.sentence);
    out_ += "</span> <span class=\"valores\">(esperado ";
    text(out_, x.expected);
    out_ += ", encontrado ";
    text(out_, x.found);
    out_ += ")</span> <code>" + esc(x.code) + "</code>";
    if (const auto it = f.records.find(x.line); x.line > 0 && it != f.records.end()) {
      out_ += "<pre class=\"registro\">";
      text(out_, std::string_view(it->second).substr(0, 2000));
      out_ += "</pre>";
    }
    out_ += "</li>\n";
  }

  void findings(const ReportedFile& f) {
    const FindingTally tally = tallyOf(f);
    out_ += "<section class=\"achados\">\n<h3>Achados (" + integer(static_cast<long long>(tally.total)) + ")</h3>\n";
    if (f.findings.empty()) {
      out_ += "<p class=\"nota\">Nenhum achado.</p>\n</section>\n";
      return;
    }
    const std::vector<Group> groups = groupsOf(f.findings, tally);
    for (std::size_t g = 0; g < groups.size(); ++g) {
      const Group& group = groups[g];
      if (g == 0 || groups[g - 1].family != group.family) {
        std::size_t inFamily = 0;
        for (const Group& other : groups) inFamily += other.family == group.family ? other.count : 0;
        out_ += cformat("<section class=\"familia\" data-familia=\"%s\">\n<h4>%s — ", familyKey(group.family),
                        familyTitle(group.family)) +
                plural(static_cast<long long>(inFamily), "achado", "achados") + "</h4>\n";
      }
      out_ += cformat("<div class=\"grupo\" data-registro=\"%d\">\n<h5>", group.recordType) + recordTitle(group.recordType) +
              " — " + plural(static_cast<long long>(group.count), "achado", "achados") + "</h5>\n<ol class=\"lista\">\n";
      const std::size_t listed = std::min(group.members.size(), options_.findingsPerGroup);
      for (std::size_t k = 0; k < listed; ++k) {
        finding(f, f.findings[group.members[k]]);
        spill();
      }
      out_ += "</ol>\n";
      if (listed < group.count)
        out_ += "<p class=\"mais\" data-omitidos=\"" + std::to_string(group.count - listed) + "\">e mais " +
                plural(static_cast<long long>(group.count - listed), "achado deste tipo", "achados deste tipo") +
                " (a lista completa está na saída de <code>tavex-cli validar --json</code>)</p>\n";
      out_ += "</div>\n";
      if (g + 1 == groups.size() || groups[g + 1].family != group.family) out_ += "</section>\n";
    }
    out_ += "</section>\n";
  }

  void finding(const ReportedFile& f, const Finding& x) {
    const FindingPlace& p = x.place;
    const bool error = x.severity == Severity::Error;
    out_ += std::string("<li class=\"achado ") + (error ? "erro" : "aviso") + "\" data-codigo=\"" + esc(x.code) +
            cformat("\" data-linha=\"%d\"><span class=\"sev\">%s</span> ", p.line, error ? "ERRO" : "AVISO");
    std::string where;
    const RecordLayout* layout = layoutOf(p.recordType);
    const FieldLayout* field =
        layout != nullptr && p.field > 0 && static_cast<std::size_t>(p.field) <= layout->fields.size() ? &layout->field(p.field) : nullptr;
    if (p.line > 0) where += "linha " + integer(p.line);
    if (field != nullptr) where += (where.empty() ? "" : ", ") + cformat("campo %d (", p.field) + std::string(field->name) + ")";
    if (p.crz > 0) where += (where.empty() ? "" : ", ") + cformat("CRZ %d", p.crz);
    if (p.coo > 0)
      where += (where.empty() ? "" : ", ") +
               (p.lastCoo > p.coo ? cformat("COO %d a %d", p.coo, p.lastCoo) : cformat("COO %d", p.coo));
    if (!where.empty()) out_ += "<span class=\"onde\">" + where + ":</span> ";
    out_ += "<span class=\"msg\">";
    std::string message(trimRight(x.message));  // a message of several log lines reads as one
    for (std::size_t at = message.find_first_of("\r\n"); at != std::string::npos; at = message.find_first_of("\r\n", at))
      message.replace(at, message[at] == '\r' && at + 1 < message.size() && message[at + 1] == '\n' ? 2 : 1, " ");
    text(out_, message);
    out_ += "</span>";
    if (p.declared || p.computed)
      out_ += " <span class=\"valores\">(declarado " + (p.declared ? brazilianMoney(*p.declared) : "—") + ", calculado " +
              (p.computed ? brazilianMoney(*p.computed) : "—") + ")</span>";
    if (const auto it = f.records.find(p.line); p.line > 0 && it != f.records.end()) {
      constexpr std::size_t kShown = 2000;  // a damaged line can be any length
      const std::string_view line = std::string_view(it->second).substr(0, kShown);
      out_ += "<pre class=\"registro\">";
      if (field != nullptr && field->start >= 1 && static_cast<std::size_t>(field->start) <= line.size()) {
        const std::size_t start = static_cast<std::size_t>(field->start - 1);
        const std::size_t width = std::min(static_cast<std::size_t>(field->width), line.size() - start);
        text(out_, line.substr(0, start));
        out_ += "<mark>";
        text(out_, line.substr(start, width));
        out_ += "</mark>";
        text(out_, line.substr(start + width));
      } else {
        text(out_, line);
      }
      if (it->second.size() > kShown) out_ += "<span class=\"nada\"> … (linha cortada)</span>";
      out_ += "</pre>";
    }
    out_ += "</li>\n";
  }

  // Hands what is built so far to the writer once it passes a piece's size.
  void spill() {
    if (out_.size() < kPiece) return;
    emit_(out_);
    out_.clear();
  }

  static constexpr std::size_t kPiece = 1u << 20;
  const std::vector<ReportedFile>& files_;
  const ReportOptions& options_;
  std::function<void(std::string_view)> emit_;
  std::string out_;
};

}  // namespace

std::pair<int, int> findingGroupOf(const Finding& finding) {
  return {static_cast<int>(findingFamilyOf(finding.code)), finding.place.recordType};
}

void FindingTally::add(const Finding& finding) {
  ++total;
  ++perGroup[findingGroupOf(finding)];
  const auto family = static_cast<std::size_t>(findingFamilyOf(finding.code));
  ++(finding.severity == Severity::Error ? errors : warnings)[family];
}

void ReportFindings::onFinding(const Finding& finding) {
  tally.add(finding);
  if (tally.perGroup[findingGroupOf(finding)] <= perGroup_) kept.push_back(finding);
}

std::vector<int> listedLines(const std::vector<Finding>& findings, std::size_t findingsPerGroup) {
  std::vector<int> lines;
  for (const Group& g : groupsOf(findings, FindingTally{}))
    for (std::size_t k = 0; k < g.members.size() && k < findingsPerGroup; ++k)
      if (const int line = findings[g.members[k]].place.line; line > 0) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
  return lines;
}

std::vector<int> listedLines(const std::vector<Indicator>& indicators, std::size_t findingsPerGroup) {
  std::vector<int> lines;
  for (std::size_t k = 0; k < indicators.size() && k < findingsPerGroup; ++k)
    if (indicators[k].line > 0) lines.push_back(indicators[k].line);
  std::sort(lines.begin(), lines.end());
  lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
  return lines;
}

std::string auditReportHtml(const std::vector<ReportedFile>& files, const ReportOptions& options) {
  std::string page;
  Page(files, options, [&page](std::string_view piece) { page += piece; }).build();
  return page;
}

std::string writeAuditReport(const std::string& path, const std::vector<ReportedFile>& files, const ReportOptions& options,
                             std::string* notice) {
  // Written whole beside the page it replaces, a piece at a time as it is built,
  // so a failure leaves the previous report as it was.
  WholeFileWriter out(path);
  if (out.good()) Page(files, options, [&out](std::string_view piece) { out.write(piece); }).build();
  const WholeFileResult written = out.finish();
  if (written.refusal != OutputError::None) return cp1252ToUtf8(outputRefusalMessage(written.refusal, path));
  if (written.ok()) {
    if (written.splitHardLink && notice != nullptr) *notice = cp1252ToUtf8(hardLinkSplitMessage(path));
    return {};
  }
  return "não foi possível gravar o relatório " + path + "; o anterior, se havia, ficou como estava. " +
         cp1252ToUtf8(reasonLine(written.systemError));
}

std::string localDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return cformat("%02d/%02d/%04d %02d:%02d", local.tm_mday, local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min);
}

}  // namespace tavex::report
