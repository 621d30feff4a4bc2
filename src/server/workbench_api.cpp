#include "server/workbench_api.h"

#include <algorithm>

#include "cotepe/br_format.h"
#include "cotepe/field_meaning.h"
#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "report/audit_report.h"
#include "report/report_file.h"

namespace tavex::server {

namespace {

constexpr int kAround = 3;  // neighbour lines on each side of a record

Json orNull(std::int64_t n) { return n > 0 ? Json(n) : Json(nullptr); }
Json money(const std::optional<std::int64_t>& cents) {
  return cents ? Json(brazilianMoney(*cents)) : Json(nullptr);
}
std::string text(std::string_view cp1252) { return cp1252ToUtf8(cp1252); }
std::string tagOf(int type) {
  const RecordLayout* layout = layoutOf(type);
  return layout ? std::string(layout->tag) : std::string();
}

Json headerJson(const LogHeader& h) {
  return {{"ecf", text(h.serial)},       {"mf_adicional", text(h.mfAdicional)}, {"tipo_ecf", text(h.ecfType)},
          {"marca_modelo", text(h.brandModel)}, {"versao_sb", text(h.sbVersion)}, {"comando", text(h.command)},
          {"periodo", text(h.readablePeriod())}, {"cnpj", text(h.cnpj)},        {"ie", text(h.ie)},
          {"contribuinte", text(h.name)},  {"endereco", text(h.address)}};
}

}  // namespace

Json fileListJson(const std::vector<ListedFile>& files, const ValidationPool& pool) {
  Json list = Json::array();
  for (const ListedFile& f : files) {
    Json row = {{"nome", f.name}, {"tamanho", f.size}, {"ecf", f.serial}, {"tipo", f.kind}, {"periodo", f.period},
                {"veredito", nullptr}, {"erros", nullptr}, {"avisos", nullptr}};
    if (const auto r = pool.results(f.name)) {
      row["veredito"] = !r->run.ran ? "não validado" : r->run.summary.errors > 0 ? "com erros" : "sem erros";
      row["erros"] = r->run.summary.errors;
      row["avisos"] = r->run.summary.warnings;
    }
    list.push_back(std::move(row));
  }
  return list;
}

Json summaryJson(const FileResults& r) {
  return {{"nome", r.name},
          {"validado", r.run.ran},
          {"formato", r.formatOnly},
          {"mensagens", r.messages},
          {"erros", r.run.summary.errors},
          {"avisos", r.run.summary.warnings},
          {"achados", r.run.findings.size()},
          {"segundos", r.seconds},
          {"cabecalho", headerJson(r.run.summary.header)}};
}

Json findingJson(const FileResults& r, std::size_t index) {
  if (index >= r.run.findings.size()) return nullptr;
  const Finding& f = r.run.findings[index];
  const FindingPlace& p = f.place;
  const RecordLayout* layout = layoutOf(p.recordType);
  const bool named = layout != nullptr && p.field >= 1 && p.field <= static_cast<int>(layout->fields.size());
  std::optional<std::int64_t> difference;
  if (p.declared && p.computed) difference = *p.declared - *p.computed;
  return {{"indice", index},
          {"gravidade", f.severity == Severity::Error ? "erro" : "aviso"},
          {"linha", orNull(p.line)},
          {"registro", tagOf(p.recordType)},
          {"campo", orNull(p.field)},
          {"campo_nome", named ? Json(std::string(layout->field(p.field).name)) : Json(nullptr)},
          {"crz", orNull(p.crz)},
          {"coo", orNull(p.coo)},
          {"declarado", money(p.declared)},
          {"calculado", money(p.computed)},
          {"diferenca", money(difference)},
          {"mensagem", text(f.message)},
          {"codigo", std::string(f.code)}};
}

SelectionCache::Selection SelectionCache::select(const std::shared_ptr<const FileResults>& results,
                                                 const FindingQuery& query) {
  const std::string key = std::to_string(query.severity) + '\n' + std::to_string(query.recordType) + '\n' +
                          query.code + '\n' + (query.causeFirst ? "1" : "0") + '\n' + query.search;
  {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [](const Entry& e) { return e.results.expired(); });
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
      if (it->key == key && it->results.lock() == results) {
        entries_.splice(entries_.begin(), entries_, it);
        return it->selection;
      }
  }
  // Selected outside the lock: other pages go on meanwhile.
  auto selection = std::make_shared<const std::vector<std::size_t>>(selectFindings(results->run.findings, query));
  std::lock_guard lock(mutex_);
  entries_.push_front({results, key, selection});
  if (entries_.size() > kKept) entries_.pop_back();
  return selection;
}

Json findingsPageJson(const FileResults& r, const std::vector<std::size_t>& kept, std::size_t page,
                      std::size_t perPage) {
  perPage = std::clamp<std::size_t>(perPage, 1, 500);
  Json rows = Json::array();
  for (std::size_t i = page * perPage; i < kept.size() && i < (page + 1) * perPage; ++i)
    rows.push_back(findingJson(r, kept[i]));
  return {{"total", r.run.findings.size()}, {"filtrados", kept.size()}, {"pagina", page}, {"por_pagina", perPage},
          {"linhas", std::move(rows)}};
}

Json recordJson(const FileResults& r, int line) {
  const std::optional<LineContext> context = readLineContext(r.index, r.path, line, kAround);
  if (!context || !context->found) return nullptr;
  const std::string& record = context->lines[static_cast<std::size_t>(line - context->firstLine)];
  const int type = recordTypeOf(record);
  Json fields = Json::array();
  if (const RecordLayout* layout = layoutOf(type))
    for (const FieldLayout& field : layout->fields)
      fields.push_back({{"numero", field.number},
                        {"nome", std::string(field.name)},
                        {"inicio", field.start},
                        {"largura", field.width},
                        {"valor", text(sliceField(record, field.start, field.width))},
                        {"significado", text(interpretedValue(*layout, field.number, record))}});
  Json around = Json::array();
  for (std::size_t i = 0; i < context->lines.size(); ++i)
    around.push_back({{"linha", context->firstLine + static_cast<int>(i)}, {"texto", text(context->lines[i])}});
  return {{"linha", line}, {"registro", tagOf(type)}, {"texto", text(record)}, {"campos", std::move(fields)},
          {"vizinhas", std::move(around)}};
}

Json indicatorsJson(const FileResults& r) {
  Json list = Json::array();
  for (const Indicator& i : r.run.indicators)
    list.push_back({{"codigo", std::string(i.code)},
                    {"nivel", i.level == IndicatorLevel::Alerta ? "alerta" : "informação"},
                    {"mensagem", text(i.sentence)},
                    {"linha", orNull(i.line)},
                    {"registro", tagOf(i.recordType)},
                    {"crz", orNull(i.crz)},
                    {"coo", orNull(i.coo)},
                    {"esperado", text(i.expected)},
                    {"encontrado", text(i.found)}});
  return list;
}

Json reconciliationJson(const FileResults& r) {
  if (!r.run.reconciliation) return nullptr;
  const Reconciliation& rec = *r.run.reconciliation;
  Json reductions = Json::array();
  for (const ReductionReconciliation& z : rec.reductions) {
    Json totals = Json::array();
    for (const ReconciledTotal& t : z.totals)
      totals.push_back({{"registro", std::string(recordNameOf(t.kind))},
                        {"nome", text(t.name)},
                        {"linha", orNull(t.line)},
                        {"declarado", brazilianMoney(t.declared)},
                        {"calculado", brazilianMoney(t.computed)},
                        {"diferenca", brazilianMoney(t.difference)},
                        {"centavos", t.difference},
                        {"dentro", t.withinTolerance}});
    reductions.push_back({{"crz", z.crz},
                          {"linha", orNull(z.line)},
                          {"data", brazilianDate(z.date).value_or(text(z.date))},
                          {"coo_inicial", z.firstCoo},
                          {"coo_final", z.lastCoo},
                          {"totais", std::move(totals)}});
  }
  return {{"tolerancia", brazilianMoney(rec.toleranceCents)},
          {"completa", rec.complete},
          {"aviso", rec.complete ? std::string() : text(switchedOffNotice(rec))},
          {"reducoes", std::move(reductions)}};
}

std::string reportHtml(const FileResults& r, const std::string& version) {
  constexpr std::size_t kPerGroup = 100;
  std::optional<std::vector<Indicator>> indicators;
  if (!r.formatOnly && r.run.ran) indicators = r.run.indicators;
  report::ReportedFile file =
      report::reportedFileOf(r.path, &r.run.summary, r.run.findings, r.run.ran ? "" : r.messages, r.formatOnly, ".",
                             kPerGroup, std::move(indicators));
  file.path = r.name;
  file.reconciliation = r.run.reconciliation;
  report::ReportOptions options;
  options.generatedAt = report::localDateTime();
  options.version = version;
  options.findingsPerGroup = kPerGroup;
  return report::auditReportHtml({file}, options);
}

}  // namespace tavex::server
