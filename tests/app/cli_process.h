// Runs the real quarrydesk-cli binary, for the contracts that belong to the
// process: exit status, what goes to stdout and what to stderr, signals.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "temp_folder.h"

extern char** environ;

namespace qd::testing {

struct TCliRun {
  int Status = -1;  //!< the exit status; 128 + signal when killed
  std::string Out, Err;
};

inline std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

//! Runs `program` with `args`; with `interruptAfter` > 0 sends SIGINT that
//! many seconds after the start (unless it ended before).
inline TCliRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                          double interruptAfter = 0) {
  TTempFolder io;
  const std::string outPath = io.Path("out"), errPath = io.Path("err");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  TCliRun run;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) return run;
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  bool ended = false;
  if (interruptAfter > 0) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration<double>(interruptAfter);
    while (!(ended = waitpid(pid, &status, WNOHANG) == pid)) {
      if (std::chrono::steady_clock::now() >= deadline) {
        kill(pid, SIGINT);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  if (!ended) waitpid(pid, &status, 0);
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.Out = ReadFileText(outPath);
  run.Err = ReadFileText(errPath);
  return run;
}

//! The build's quarrydesk-cli, which the build puts beside the demo database.
inline std::string CliProgram() {
  return (std::filesystem::path(QD_DEMO_DB).parent_path() / "quarrydesk-cli").string();
}

inline TCliRun RunCliProcess(const std::vector<std::string>& args, double interruptAfter = 0) {
  return RunProgram(CliProgram(), args, interruptAfter);
}

}  // namespace qd::testing
