// The browser workbench: an HTTP server over a served folder, its pages built into
// the program, its answers the JSON of workbench_api.h over the window's own
// validation (validation_pool.h).
//
// Local mode: it listens on one loopback address (127.0.0.1, and then on ::1 too
// with the same port when the system has it). Whoever opens address() (which
// holds the random access token) gets a session cookie (HttpOnly, SameSite=Strict)
// and is sent on without the token; every other request without a live session,
// or naming another host than the server's own (a page of another site reaching
// it under a name of its own), is refused with 403. Requests that change anything
// (POST) also need the session's CSRF token in the X-CSRF-Token header. Pages are
// served with a Content-Security-Policy that allows nothing outside the server.
//
// Memory and threads are bounded: a fixed pool answers requests, another runs
// validations, a fixed number of sessions and of validated files are kept, and an
// upload larger than uploadLimit is refused before it is read. start() and stop()
// from one thread; the server runs on threads of its own in between.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tavex::server {

struct ServerOptions {
  std::string folder;                  // served folder (must exist)
  std::string host = "127.0.0.1";      // the address listened on
  int port = 0;                        // 0: any free port
  std::string token;                   // empty: a random one
  unsigned requestThreads = 8;
  unsigned validationThreads = 2;
  std::size_t keptFiles = 8;           // validated files kept for the pages...
  std::size_t keptBytes = std::size_t(256) << 20;  // ...in at most this memory (the newest always)
  std::size_t queuedValidations = 32;
  std::uintmax_t uploadLimit = 256u << 20;
  std::string version;                 // shown in the report
};

class WorkbenchServer {
 public:
  explicit WorkbenchServer(ServerOptions options);
  ~WorkbenchServer();
  WorkbenchServer(const WorkbenchServer&) = delete;
  WorkbenchServer& operator=(const WorkbenchServer&) = delete;

  // Binds and starts serving on a thread of its own. False (with why, UTF-8, in
  // `problem`) when the folder or the port cannot be had.
  bool start(std::string* problem);
  // Stops listening, waits for the requests and validations under way. Idempotent.
  void stop();

  int port() const;
  const std::string& token() const;
  // "http://127.0.0.1:PORT/?token=TOKEN"
  std::string address() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tavex::server
