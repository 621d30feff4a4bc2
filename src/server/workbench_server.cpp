#include "server/workbench_server.h"

#include <httplib.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>

#include "cotepe/file_access.h"
#include "cotepe/text.h"
#include "server/workbench_page.h"
#include "server/workbench_script.h"
#include "server/workbench_style.h"
#include "server/workbench_api.h"
#include "validation/tolerance.h"

namespace tavex::server {

namespace {

constexpr const char* kCookie = "tavex_sessao";
constexpr std::size_t kMaxSessions = 64;
constexpr const char* kPagePolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; connect-src 'self'; "
    "form-action 'self'; frame-ancestors 'none'; base-uri 'none'";
// The report is one self-contained page with its style and script inline; nothing
// else, and nothing it shows may load anything. Sandboxed, it runs in an origin of
// its own: even a text that escaped its escaping could not reach the session.
constexpr const char* kReportPolicy =
    "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; img-src data:; "
    "frame-ancestors 'none'; base-uri 'none'; form-action 'none'; sandbox allow-scripts allow-modals allow-downloads";

std::string randomHex(std::size_t bytes) {
  std::random_device device;  // the kernel's random source
  std::string out;
  static constexpr char kDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < bytes; ++i) {
    const unsigned b = device() & 0xFF;
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

// Compares without stopping at the first difference, so timing tells nothing.
bool sameSecret(std::string_view a, std::string_view b) {
  if (a.size() != b.size() || a.empty()) return false;
  unsigned char diff = 0;
  for (std::size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

std::string cookieValue(const httplib::Request& req, std::string_view name) {
  const std::string header = req.get_header_value("Cookie");
  std::size_t from = 0;
  while (from < header.size()) {
    std::size_t to = header.find(';', from);
    if (to == std::string::npos) to = header.size();
    std::string_view part = std::string_view(header).substr(from, to - from);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    if (part.size() > name.size() && part.substr(0, name.size()) == name && part[name.size()] == '=')
      return std::string(part.substr(name.size() + 1));
    from = to + 1;
  }
  return {};
}

void sendJson(httplib::Response& res, const Json& body, int status = 200) {
  res.status = status;
  res.set_content(body.dump(-1, ' ', false, Json::error_handler_t::replace), "application/json; charset=utf-8");
}

void sendError(httplib::Response& res, int status, const std::string& message) {
  sendJson(res, Json{{"erro", message}}, status);
}

std::optional<std::size_t> number(const httplib::Request& req, const char* name, std::size_t fallback) {
  if (!req.has_param(name)) return fallback;
  const std::string v = req.get_param_value(name);
  std::size_t n = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
  if (ec != std::errc() || end != v.data() + v.size()) return std::nullopt;
  return n;
}

}  // namespace

struct WorkbenchServer::Impl {
  explicit Impl(ServerOptions o)
      : options(std::move(o)),
        folder(options.folder),
        pool(options.validationThreads, options.keptFiles, options.queuedValidations, options.keptBytes) {
    token = options.token.empty() ? randomHex(24) : options.token;
  }

  ServerOptions options;
  ServedFolder folder;
  ValidationPool pool;
  SelectionCache selections;
  httplib::Server http;
  std::thread thread;
  // The same server on ::1 when it listens on 127.0.0.1 and the system has IPv6.
  std::unique_ptr<httplib::Server> http6;
  std::thread thread6;
  std::string token;
  int port = 0;

  struct Session {
    std::string id, csrf;
  };
  std::mutex sessionsMutex;
  std::deque<Session> sessions;  // oldest first

  Session newSession() {
    std::lock_guard lock(sessionsMutex);
    sessions.push_back({randomHex(24), randomHex(24)});
    if (sessions.size() > kMaxSessions) sessions.pop_front();
    return sessions.back();
  }
  std::optional<Session> sessionOf(const httplib::Request& req) {
    const std::string id = cookieValue(req, kCookie);
    std::lock_guard lock(sessionsMutex);
    for (const Session& s : sessions)
      if (sameSecret(s.id, id)) return s;
    return std::nullopt;
  }

  // The names this server answers to: a page of another site that reaches it
  // through a name of its own (DNS rebinding) is refused.
  bool ownHost(const httplib::Request& req) const {
    const std::string host = req.get_header_value("Host");
    const std::string p = ":" + std::to_string(port);
    return host == options.host + p || host == "localhost" + p || host == "[" + options.host + "]" + p ||
           (options.host == "127.0.0.1" && host == "[::1]" + p);
  }

  httplib::Server::HandlerResponse guard(const httplib::Request& req, httplib::Response& res) {
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("Cache-Control", "no-store");
    res.set_header("Content-Security-Policy", kPagePolicy);
    if (!ownHost(req)) {
      sendError(res, 403, "Endereço não reconhecido por este servidor.");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.path == "/" && req.has_param("token")) {
      if (!sameSecret(req.get_param_value("token"), token)) {
        sendError(res, 403, "Token de acesso inválido.");
        return httplib::Server::HandlerResponse::Handled;
      }
      const Session s = newSession();
      res.set_header("Set-Cookie", std::string(kCookie) + "=" + s.id + "; Path=/; HttpOnly; SameSite=Strict");
      res.set_redirect("/", 303);
      return httplib::Server::HandlerResponse::Handled;
    }
    const std::optional<Session> session = sessionOf(req);
    if (!session) {
      res.status = 403;
      res.set_content("Acesso negado: abra o endereço (com o token) que \"tavex-cli servir\" mostrou ao iniciar.\n",
                      "text/plain; charset=utf-8");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.method != "GET" && req.method != "HEAD" && !sameSecret(req.get_header_value("X-CSRF-Token"), session->csrf)) {
      sendError(res, 403, "Pedido recusado: falta o token de proteção (CSRF) da sessão.");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  }

  // The validated file a request names, or an answer saying why there is none.
  std::shared_ptr<const FileResults> resultsOf(const httplib::Request& req, httplib::Response& res) {
    const std::string name = req.get_param_value("nome");
    if (!folder.fileOf(name)) {
      sendError(res, 404, "Arquivo não encontrado na pasta servida.");
      return nullptr;
    }
    auto results = pool.results(name);
    if (!results) sendError(res, 409, "O arquivo ainda não foi validado (ou mudou desde a validação).");
    return results;
  }

  // Its settings and routes, on the server of each address listened on.
  void configure(httplib::Server& http);
  void routes(httplib::Server& http);
  void upload(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader);
};

void WorkbenchServer::Impl::configure(httplib::Server& http) {
  const unsigned threads = std::max(1u, options.requestThreads);
  http.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  http.set_payload_max_length(static_cast<std::size_t>(options.uploadLimit));
  http.set_keep_alive_max_count(100);
  http.set_read_timeout(30, 0);
  routes(http);
}

void WorkbenchServer::Impl::routes(httplib::Server& http) {
  http.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) { return guard(req, res); });
  const auto asset = [&http](const char* path, std::string_view body, const char* type) {
    http.Get(path, [body, type](const httplib::Request&, httplib::Response& res) {
      res.set_content(body.data() + 1, body.size() - 1, type);  // the embedded text opens with a line feed
    });
  };
  asset("/", kWorkbenchPage, "text/html; charset=utf-8");
  asset("/app.js", kWorkbenchScript, "text/javascript; charset=utf-8");
  asset("/app.css", kWorkbenchStyle, "text/css; charset=utf-8");

  http.Get("/api/sessao", [this](const httplib::Request& req, httplib::Response& res) {
    const std::optional<Session> session = sessionOf(req);  // gone only if dropped since the guard let it in
    if (!session) return sendError(res, 403, "Sessão encerrada: abra de novo o endereço com o token.");
    sendJson(res, {{"csrf", session->csrf}, {"versao", options.version}, {"limite_envio", options.uploadLimit}});
  });
  http.Get("/api/arquivos", [this](const httplib::Request&, httplib::Response& res) {
    sendJson(res, fileListJson(folder.list(), pool));
  });
  http.Post("/api/validar", [this](const httplib::Request& req, httplib::Response& res) {
    const std::string name = req.get_param_value("nome");
    const std::optional<std::string> path = folder.fileOf(name);
    if (!path) return sendError(res, 404, "Arquivo não encontrado na pasta servida.");
    std::int64_t tolerance = 0;
    if (req.has_param("tolerancia")) {
      const auto t = strictToleranceCents(utf8ToCp1252(req.get_param_value("tolerancia")));
      if (!t) return sendError(res, 400, "Tolerância inválida: use reais com vírgula, como 0,05.");
      tolerance = *t;
    }
    const auto id = pool.submit(name, *path, tolerance, req.get_param_value("formato") == "1");
    if (!id) return sendError(res, 503, "Há validações demais na fila; tente de novo em instantes.");
    sendJson(res, {{"tarefa", *id}});
  });
  http.Get("/api/tarefa", [this](const httplib::Request& req, httplib::Response& res) {
    const auto id = number(req, "id", 0);
    const auto task = id ? pool.task(*id) : std::nullopt;
    if (!task) return sendError(res, 404, "Tarefa desconhecida.");
    static constexpr const char* kStates[] = {"na fila", "em andamento", "concluída", "cancelada", "falhou"};
    sendJson(res, {{"estado", kStates[static_cast<int>(task->state)]}, {"nome", task->name},
                   {"progresso", task->progress}, {"problema", task->problem}});
  });
  http.Post("/api/cancelar", [this](const httplib::Request& req, httplib::Response& res) {
    const auto id = number(req, "id", 0);
    if (!id || !pool.cancel(*id)) return sendError(res, 409, "A tarefa não está mais em andamento.");
    sendJson(res, {{"cancelada", true}});
  });
  http.Get("/api/resumo", [this](const httplib::Request& req, httplib::Response& res) {
    if (const auto r = resultsOf(req, res)) sendJson(res, summaryJson(*r));
  });
  http.Get("/api/achados", [this](const httplib::Request& req, httplib::Response& res) {
    const auto r = resultsOf(req, res);
    if (!r) return;
    FindingQuery query;
    const std::string severity = req.get_param_value("gravidade");
    query.severity = severity == "erro" ? 0 : severity == "aviso" ? 1 : -1;
    const auto type = number(req, "registro", 0);
    const auto page = number(req, "pagina", 0);
    const auto perPage = number(req, "por_pagina", 100);
    if (!type || !page || !perPage) return sendError(res, 400, "Parâmetro numérico inválido.");
    query.recordType = static_cast<int>(std::min<std::size_t>(*type, 99));
    query.code = req.get_param_value("codigo");
    query.search = utf8ToCp1252(req.get_param_value("busca"));
    query.causeFirst = req.get_param_value("causa") == "1";
    sendJson(res, findingsPageJson(*r, *selections.select(r, query), std::min<std::size_t>(*page, 1u << 24), *perPage));
  });
  http.Get("/api/achado", [this](const httplib::Request& req, httplib::Response& res) {
    const auto r = resultsOf(req, res);
    if (!r) return;
    const auto index = number(req, "indice", SIZE_MAX);
    const Json row = index ? findingJson(*r, *index) : Json(nullptr);
    if (row.is_null()) return sendError(res, 404, "Achado não encontrado.");
    sendJson(res, row);
  });
  http.Get("/api/registro", [this](const httplib::Request& req, httplib::Response& res) {
    const auto r = resultsOf(req, res);
    if (!r) return;
    const auto line = number(req, "linha", 0);
    const Json record = line && *line <= INT32_MAX ? recordJson(*r, static_cast<int>(*line)) : Json(nullptr);
    if (record.is_null()) return sendError(res, 404, "Linha não encontrada no arquivo.");
    sendJson(res, record);
  });
  http.Get("/api/indicios", [this](const httplib::Request& req, httplib::Response& res) {
    if (const auto r = resultsOf(req, res)) sendJson(res, indicatorsJson(*r));
  });
  http.Get("/api/conciliacao", [this](const httplib::Request& req, httplib::Response& res) {
    if (const auto r = resultsOf(req, res)) sendJson(res, reconciliationJson(*r));
  });
  http.Get("/api/relatorio", [this](const httplib::Request& req, httplib::Response& res) {
    const auto r = resultsOf(req, res);
    if (!r) return;
    res.headers.erase("Content-Security-Policy");
    res.set_header("Content-Security-Policy", kReportPolicy);
    if (req.get_param_value("baixar") == "1")
      res.set_header("Content-Disposition", "attachment; filename=\"relatorio.html\"");
    res.set_content(reportHtml(*r, options.version), "text/html; charset=utf-8");
  });
  http.Post("/api/envio", [this](const httplib::Request& req, httplib::Response& res,
                                 const httplib::ContentReader& reader) { upload(req, res, reader); });
}

// The upload is written whole or not at all: into a temporary file beside its
// name, renamed only once every byte arrived and the file was closed.
void WorkbenchServer::Impl::upload(const httplib::Request& req, httplib::Response& res,
                                   const httplib::ContentReader& reader) {
  const std::string name = req.get_param_value("nome");
  const std::optional<std::string> path = folder.newFileOf(name);
  if (!path) return sendError(res, 400, "Nome de arquivo recusado.");
  std::error_code ec;
  if (std::filesystem::exists(*path, ec)) return sendError(res, 409, "Já existe um arquivo com esse nome na pasta.");
  const std::string declared = req.get_header_value("Content-Length");
  if (!declared.empty() && std::strtoull(declared.c_str(), nullptr, 10) > options.uploadLimit)
    return sendError(res, 413, "O arquivo passa do limite de envio.");
  WholeFileWriter writer(*path);
  std::uintmax_t received = 0;
  std::string head;
  const bool complete = reader([&](const char* data, std::size_t length) {
    received += length;
    if (received > options.uploadLimit) return false;
    if (head.size() < 3) head.append(data, std::min(length, 3 - head.size()));
    writer.write(std::string_view(data, length));
    return writer.good();
  });
  if (received >= options.uploadLimit && !complete) return sendError(res, 413, "O arquivo passa do limite de envio.");
  if (!complete) return sendError(res, 400, "O envio foi interrompido; nada foi gravado.");
  if (head != "E01") return sendError(res, 415, "O arquivo enviado não é um arquivo COTEPE (não começa por E01).");
  if (const WholeFileResult done = writer.finish(); !done.ok())
    return sendError(res, 507, "O arquivo não foi gravado: " + cp1252ToUtf8(systemReason(done.systemError)) + ".");
  sendJson(res, {{"nome", name}}, 201);
}

WorkbenchServer::WorkbenchServer(ServerOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

WorkbenchServer::~WorkbenchServer() { stop(); }

bool WorkbenchServer::start(std::string* problem) {
  Impl& d = *impl_;
  std::error_code ec;
  if (!std::filesystem::is_directory(d.options.folder, ec)) {
    if (problem) *problem = "a pasta " + visibleText(d.options.folder) + " não existe ou não é uma pasta";
    return false;
  }
  d.configure(d.http);
  d.port = d.options.port == 0 ? d.http.bind_to_any_port(d.options.host)
                               : (d.http.bind_to_port(d.options.host, d.options.port) ? d.options.port : -1);
  if (d.port <= 0) {
    if (problem) *problem = "não foi possível escutar em " + d.options.host + ":" + std::to_string(d.options.port);
    return false;
  }
  if (d.options.host == "127.0.0.1") {
    d.http6 = std::make_unique<httplib::Server>();
    d.configure(*d.http6);
    if (d.http6->bind_to_port("::1", d.port))
      d.thread6 = std::thread([&d] { d.http6->listen_after_bind(); });
    else
      d.http6.reset();  // no IPv6 loopback here: 127.0.0.1 alone
  }
  d.thread = std::thread([&d] { d.http.listen_after_bind(); });
  return true;
}

void WorkbenchServer::stop() {
  Impl& d = *impl_;
  if (!d.thread.joinable()) return;
  d.http.stop();
  d.thread.join();
  if (d.http6) {
    d.http6->stop();
    d.thread6.join();
  }
}

int WorkbenchServer::port() const { return impl_->port; }
const std::string& WorkbenchServer::token() const { return impl_->token; }

std::string WorkbenchServer::address() const {
  const std::string& host = impl_->options.host;
  const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  return "http://" + shown + ":" + std::to_string(impl_->port) + "/?token=" + impl_->token;
}

}  // namespace tavex::server
