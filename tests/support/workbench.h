// A browser workbench on a temporary folder, and an HTTP client signed in to it
// (its session cookie and CSRF token), for the server's tests and benchmarks.
#pragma once

#include <httplib.h>

#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "server/workbench_server.h"
#include "support/files.h"

namespace tavex::testing {

inline constexpr const char* kWorkbenchToken = "token-de-teste-0123456789";

class Workbench {
 public:
  // Serves `folder` on a free loopback port (with `options` for the rest).
  explicit Workbench(const std::string& folder, server::ServerOptions options = {});
  ~Workbench();

  // A client with no session yet.
  httplib::Client client() const;
  // Opens the token address and keeps the session: later calls send its cookie
  // (and, for POST, its CSRF token).
  void signIn();
  httplib::Result get(const std::string& path);
  httplib::Result post(const std::string& path, const std::string& body = "");
  nlohmann::json getJson(const std::string& path);
  // Validates `name` and waits for the task to end; answers its last state.
  nlohmann::json validate(const std::string& name);

  std::string cookie, csrf;
  server::WorkbenchServer server;
};

}  // namespace tavex::testing
