// What the browser workbench's pages ask of a validated file, as JSON documents
// (UTF-8; every text from a file converted from cp1252, file names with their
// stray bytes as "\xHH"). The pages build their elements from these texts with
// textContent only: nothing here is markup.
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "server/served_folder.h"
#include "server/validation_pool.h"
#include "window/finding_query.h"

namespace tavex::server {

using Json = nlohmann::ordered_json;

// The folder's files: "nome", "tamanho", "ecf", "tipo", "periodo" and, once
// validated, "veredito" ("sem erros", "com erros", "não validado") with "erros"
// and "avisos" (null before).
Json fileListJson(const std::vector<ListedFile>& files, const ValidationPool& pool);

// The file's validation: "nome", "validado" (the whole file read), "formato"
// (format-only), "mensagens", "erros", "avisos", "achados" (their number),
// "segundos", "cabecalho" (E01 and E02 as the log shows them).
Json summaryJson(const FileResults& results);

// The findings a query keeps (selectFindings), made once per file and query and
// kept for the next pages: paging a file of 100,000 findings then costs a page, not
// a pass over all of them. Holds the last few selections, never the files' results
// themselves. Thread-safe.
class SelectionCache {
 public:
  using Selection = std::shared_ptr<const std::vector<std::size_t>>;
  Selection select(const std::shared_ptr<const FileResults>& results, const FindingQuery& query);

 private:
  static constexpr std::size_t kKept = 16;
  struct Entry {
    std::weak_ptr<const FileResults> results;
    std::string key;
    Selection selection;
  };
  std::mutex mutex_;
  std::list<Entry> entries_;  // most recent first
};

// Page `page` (from 0) of `perPage` rows of the findings `kept` (indices into the
// file's findings, as SelectionCache answers them): "total"
// (all the file's findings), "filtrados", "pagina", "por_pagina" and "linhas", each
// with "indice" (its place among all the findings, for a link), "gravidade",
// "linha", "registro", "campo", "campo_nome", "crz", "coo", "declarado",
// "calculado", "diferenca" (R$ texts or null), "mensagem", "codigo".
Json findingsPageJson(const FileResults& results, const std::vector<std::size_t>& kept, std::size_t page,
                      std::size_t perPage);

// Finding `index` as a row of the page above; null past the end.
Json findingJson(const FileResults& results, std::size_t index);

// Line `line` decoded: "linha", "registro", "texto", "campos" (each "numero",
// "nome", "inicio", "largura", "valor", "significado") and "vizinhas" (the lines
// around it: "linha", "texto"). Null when the file has no such line now.
Json recordJson(const FileResults& results, int line);

// The indicators, alerts first: "codigo", "nivel", "mensagem", "linha", "registro",
// "crz", "coo", "esperado", "encontrado".
Json indicatorsJson(const FileResults& results);

// The reconciliation per Z reduction: "tolerancia", "completa", "aviso" and
// "reducoes" (each "crz", "linha", "data", "coo_inicial", "coo_final", "totais":
// "registro", "nome", "linha", "declarado", "calculado", "diferenca" in R$ texts,
// "centavos" the difference, "dentro"); null for a run without one.
Json reconciliationJson(const FileResults& results);

// The audit report of the file: a whole HTML page.
std::string reportHtml(const FileResults& results, const std::string& version);

}  // namespace tavex::server
