#include "support/workbench.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace tavex::testing {

namespace {

server::ServerOptions withFolder(const std::string& folder, server::ServerOptions options) {
  options.folder = folder;
  options.token = kWorkbenchToken;
  return options;
}

}  // namespace

Workbench::Workbench(const std::string& folder, server::ServerOptions options)
    : server(withFolder(folder, std::move(options))) {
  std::string problem;
  EXPECT_TRUE(server.start(&problem)) << problem;
}

Workbench::~Workbench() { server.stop(); }

httplib::Client Workbench::client() const {
  httplib::Client c("127.0.0.1", server.port());
  c.set_read_timeout(60, 0);
  return c;
}

void Workbench::signIn() {
  auto res = client().Get(std::string("/?token=") + kWorkbenchToken);
  ASSERT_TRUE(res);
  const std::string set = res->get_header_value("Set-Cookie");
  cookie = set.substr(0, set.find(';'));
  csrf = getJson("/api/sessao").value("csrf", "");
}

httplib::Result Workbench::get(const std::string& path) { return client().Get(path, {{"Cookie", cookie}}); }

httplib::Result Workbench::post(const std::string& path, const std::string& body) {
  return client().Post(path, {{"Cookie", cookie}, {"X-CSRF-Token", csrf}}, body, "application/octet-stream");
}

nlohmann::json Workbench::getJson(const std::string& path) {
  auto res = get(path);
  if (!res) return nullptr;
  return nlohmann::json::parse(res->body, nullptr, false);
}

nlohmann::json Workbench::validate(const std::string& name) {
  auto res = post("/api/validar?nome=" + httplib::detail::encode_query_param(name));
  if (!res || res->status != 200) return nullptr;
  const auto id = nlohmann::json::parse(res->body)["tarefa"].get<std::uint64_t>();
  for (int i = 0; i < 2000; ++i) {
    nlohmann::json task = getJson("/api/tarefa?id=" + std::to_string(id));
    const std::string state = task.value("estado", "");
    if (state != "na fila" && state != "em andamento") return task;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return nullptr;
}

}  // namespace tavex::testing
