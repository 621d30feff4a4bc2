// Runs a tavex-cli subcommand in-process and captures what it prints.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/commands.h"

namespace tavex::testing {

struct CliOutcome {
  int status;
  std::string out, err;  // standard output and standard error, as printed (UTF-8)
};

inline CliOutcome runCaptured(int (*command)(const cli::Args&), const cli::Args& args) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const int status = command(args);
  std::fflush(stdout);
  std::fflush(stderr);
  return {status, ::testing::internal::GetCapturedStdout(), ::testing::internal::GetCapturedStderr()};
}

// Runs a shell command line; its exit status, or 128 + the signal that ended it.
inline int shellStatus(const std::string& command) {
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

// The bytes a hexadecimal text stands for ("arquivo_bytes" of the JSON documents).
inline std::string bytesFromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

// The tavex-cli of this build.
inline std::string cliBinary() { return std::string(TAVEX_BINARY_DIR) + "/bin/tavex-cli"; }

}  // namespace tavex::testing
