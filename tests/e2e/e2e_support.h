// What the reliability tests share: shell commands, whole-file reads, and
// lumicarve-cli run in place with its output captured.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_commands.h"
#include "scan/sector_reader.h"

namespace lumicarve::test {

namespace fs = std::filesystem;

// Runs `command` with /bin/sh, its output discarded; returns its exit status.
inline int Shell(const std::string& command) {
  const int status = std::system((command + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The first line `command` prints, without its newline.
inline std::string ShellLine(const std::string& command) {
  std::string line;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[512];
    if (std::fgets(buf, sizeof buf, p)) line = buf;
    ::pclose(p);
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

inline std::vector<uint8_t> Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline bool WriteFile(const fs::path& p, const std::vector<uint8_t>& bytes) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// A fresh folder under the system temp folder, removed with its content.
struct ScratchDir {
  fs::path path;
  ScratchDir() {
    char pattern[] = "/tmp/lumicarve-test-XXXXXX";
    if (::mkdtemp(pattern)) path = pattern;
  }
  ~ScratchDir() {
    std::error_code ec;
    if (!path.empty()) fs::remove_all(path, ec);
  }
};

// Injects read faults for its lifetime; clears them also when an assertion
// ends the test early.
struct FaultScope {
  explicit FaultScope(std::vector<ReadFault> faults) { SetReadFaults(std::move(faults)); }
  ~FaultScope() { ClearReadFaults(); }
  FaultScope(const FaultScope&) = delete;
  FaultScope& operator=(const FaultScope&) = delete;
};

inline int ExitStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

// Starts `program` with `args` and the variables `env` added to this
// process's environment, stdout discarded and stderr into `errors` when
// given; returns its pid.
inline pid_t Spawn(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::pair<std::string, std::string>>& env, const fs::path& errors = {}) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    const int null = ::open("/dev/null", O_WRONLY);
    const int err = errors.empty() ? null : ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(null, 1);
    ::dup2(err, 2);
    std::vector<std::string> copy = args;
    copy.insert(copy.begin(), program);
    std::vector<char*> argv;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  return pid;
}

// lumicarve-cli with `args` and TMPDIR set.
inline pid_t SpawnCli(const std::vector<std::string>& args, const fs::path& tmpdir, const fs::path& errors = {}) {
  return Spawn(LUMICARVE_CLI_PATH, args, {{"TMPDIR", tmpdir.string()}}, errors);
}

// Every entry below `dir`, folders included.
inline std::vector<fs::path> Entries(const fs::path& dir) {
  std::vector<fs::path> out;
  std::error_code ec;
  for (const auto& e : fs::recursive_directory_iterator(dir, ec)) out.push_back(e.path());
  return out;
}

struct CliResult {
  int exitCode = -1;
  std::string out, err;
};

// Runs `lumicarve-cli scan <args>` in this process, so faults injected under
// ReadSectors reach it, with its stdout and stderr caught in files.
inline CliResult RunCliScan(std::vector<std::string> args) {
  ScratchDir dir;
  const std::string outPath = (dir.path / "out").string(), errPath = (dir.path / "err").string();
  std::fflush(stdout);
  std::fflush(stderr);
  const int savedOut = ::dup(1), savedErr = ::dup(2);
  const int outFd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int errFd = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ::dup2(outFd, 1);
  ::dup2(errFd, 2);
  args.insert(args.begin(), "scan");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  CliResult r;
  r.exitCode = cli::RunScanCommand(static_cast<int>(args.size()), argv.data());
  std::fflush(stdout);
  std::fflush(stderr);
  ::dup2(savedOut, 1);
  ::dup2(savedErr, 2);
  for (int fd : {savedOut, savedErr, outFd, errFd}) ::close(fd);
  const auto out = Slurp(outPath), err = Slurp(errPath);
  r.out.assign(out.begin(), out.end());
  r.err.assign(err.begin(), err.end());
  return r;
}

}  // namespace lumicarve::test
