// Runs a tavex-cli subcommand in-process and captures what it prints.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
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

}  // namespace tavex::testing
