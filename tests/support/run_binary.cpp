#include "run_binary.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace wirelens::testing {
namespace {

using Clock = std::chrono::steady_clock;

std::string nameOf(const std::string& entry) {
  return entry.substr(0, entry.find('='));
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Every descriptor the parent keeps; closed on every path out of runBinary.
struct ChildPipes {
  int stdoutRead = -1;
  int stderrRead = -1;
  int execErrorRead = -1;
  ~ChildPipes() {
    for (int fd : {stdoutRead, stderrRead, execErrorRead})
      if (fd >= 0) ::close(fd);
  }
};

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

int millisecondsUntil(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// Only async-signal-safe calls between fork and exec: the test binary may have threads.
void limitChild(int resource, const std::optional<std::uint64_t>& limit) {
  if (!limit) return;
  const rlimit value{static_cast<rlim_t>(*limit), static_cast<rlim_t>(*limit)};
  ::setrlimit(resource, &value);
}

[[noreturn]] void becomeChild(const char* path, char** argv, char** envp, StdoutMode mode,
                              int stdoutWrite, int stderrWrite, int execErrorWrite,
                              const RunOptions& options) {
  int in = ::open("/dev/null", O_RDONLY);
  if (in >= 0 && in != 0) {
    ::dup2(in, 0);
    ::close(in);
  }
  switch (mode) {
    case StdoutMode::Capture:
    case StdoutMode::PipeClosedAfterFirstLine:
      ::dup2(stdoutWrite, 1);
      break;
    case StdoutMode::DevNull:
    case StdoutMode::DevFull: {
      int out = ::open(mode == StdoutMode::DevNull ? "/dev/null" : "/dev/full", O_WRONLY);
      if (out >= 0 && out != 1) {
        ::dup2(out, 1);
        ::close(out);
      }
      break;
    }
    case StdoutMode::Closed:
      ::close(1);
      break;
  }
  ::dup2(stderrWrite, 2);
  // Nothing the test process holds leaks into the child, so the child's descriptor numbers
  // are the same in every run; only the exec-error pipe stays until exec closes it.
  if (execErrorWrite > 3) ::close_range(3, static_cast<unsigned>(execErrorWrite) - 1, 0);
  ::close_range(static_cast<unsigned>(execErrorWrite) + 1, ~0U, 0);
  limitChild(RLIMIT_AS, options.addressSpaceLimit);
  limitChild(RLIMIT_NOFILE, options.descriptorLimit);
  ::execve(path, argv, envp);
  int error = errno;
  ssize_t ignored = ::write(execErrorWrite, &error, sizeof error);
  (void)ignored;
  ::_exit(127);
}

}  // namespace

std::vector<std::string> childEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> result;
  auto overridden = [&extra](const std::string& entry) {
    for (const std::string& e : extra)
      if (nameOf(e) == nameOf(entry)) return true;
    return false;
  };
  for (char** entry = environ; *entry != nullptr; ++entry)
    if (!overridden(*entry)) result.emplace_back(*entry);
  bool callerSetsAsan = false;
  for (const std::string& e : extra) {
    result.push_back(e);
    if (nameOf(e) == "ASAN_OPTIONS") callerSetsAsan = true;
  }
  if (!callerSetsAsan) {
    std::erase_if(result, [](const std::string& e) { return nameOf(e) == "ASAN_OPTIONS"; });
    result.emplace_back(
        "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0:allocator_may_return_null=1");
  }
  return result;
}

RunOutcome runBinary(const RunOptions& options) {
  RunOutcome outcome;
  std::string path = options.binary.empty() ? std::string(WIRELENS_BINARY) : options.binary;
  std::string described = path;
  for (const std::string& a : options.arguments) described += " " + a;

  std::vector<std::string> argvTexts{path};
  argvTexts.insert(argvTexts.end(), options.arguments.begin(), options.arguments.end());
  std::vector<std::string> envTexts = childEnvironment(options.environment);
  std::vector<char*> argv = pointersTo(argvTexts);
  std::vector<char*> envp = pointersTo(envTexts);

  bool pipedStdout = options.stdoutMode == StdoutMode::Capture ||
                     options.stdoutMode == StdoutMode::PipeClosedAfterFirstLine;
  ChildPipes pipes;
  int stdoutPipe[2] = {-1, -1};
  int stderrPipe[2];
  int execErrorPipe[2];
  if ((pipedStdout && ::pipe2(stdoutPipe, O_CLOEXEC) != 0) || ::pipe2(stderrPipe, O_CLOEXEC) != 0 ||
      ::pipe2(execErrorPipe, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe2 failed: " << std::strerror(errno);
    return outcome;
  }
  pipes.stdoutRead = stdoutPipe[0];
  pipes.stderrRead = stderrPipe[0];
  pipes.execErrorRead = execErrorPipe[0];

  pid_t child = ::fork();
  if (child == 0)
    becomeChild(path.c_str(), argv.data(), envp.data(), options.stdoutMode, stdoutPipe[1],
                stderrPipe[1], execErrorPipe[1], options);
  for (int fd : {stdoutPipe[1], stderrPipe[1], execErrorPipe[1]})
    if (fd >= 0) ::close(fd);
  if (child < 0) {
    ADD_FAILURE() << "fork failed: " << std::strerror(errno);
    return outcome;
  }

  int execError = 0;
  if (::read(pipes.execErrorRead, &execError, sizeof execError) == sizeof execError) {
    ::waitpid(child, nullptr, 0);
    ADD_FAILURE() << "cannot execute " << path << ": " << std::strerror(execError);
    return outcome;
  }

  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(options.timeoutSeconds);
  char chunk[65536];
  while (pipes.stdoutRead >= 0 || pipes.stderrRead >= 0) {
    pollfd fds[2];
    nfds_t count = 0;
    for (int fd : {pipes.stdoutRead, pipes.stderrRead})
      if (fd >= 0) fds[count++] = {fd, POLLIN, 0};
    int ready = ::poll(fds, count, millisecondsUntil(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      outcome.timedOut = true;
      break;
    }
    for (nfds_t i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      ssize_t got = ::read(fds[i].fd, chunk, sizeof chunk);
      if (got < 0 && errno == EINTR) continue;
      bool isStdout = fds[i].fd == pipes.stdoutRead;
      if (got <= 0) {
        closeFd(isStdout ? pipes.stdoutRead : pipes.stderrRead);
        continue;
      }
      if (!isStdout) {
        outcome.stderrBytes.append(chunk, static_cast<std::size_t>(got));
        continue;
      }
      outcome.stdoutBytes.append(chunk, static_cast<std::size_t>(got));
      if (options.stdoutMode == StdoutMode::PipeClosedAfterFirstLine) {
        std::size_t lineEnd = outcome.stdoutBytes.find('\n');
        if (lineEnd != std::string::npos) {
          outcome.stdoutBytes.resize(lineEnd + 1);
          closeFd(pipes.stdoutRead);
        }
      }
    }
  }

  // The child may close its outputs and still run, so the deadline covers its exit too.
  int status = 0;
  while (!outcome.timedOut) {
    pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (done < 0 && errno != EINTR) {
      ADD_FAILURE() << "waitpid failed: " << std::strerror(errno);
      return outcome;
    }
    if (Clock::now() >= deadline) {
      outcome.timedOut = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (outcome.timedOut) {
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    ADD_FAILURE() << "timed out after " << options.timeoutSeconds << " s and killed: " << described
                  << "\nstderr so far:\n"
                  << outcome.stderrBytes;
  }
  if (WIFEXITED(status)) {
    outcome.exitStatus = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    outcome.termSignal = WTERMSIG(status);
  }
  return outcome;
}

}  // namespace wirelens::testing
