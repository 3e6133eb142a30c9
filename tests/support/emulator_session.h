// A statistics-device emulator set up for one test: a fresh temporary directory holding the
// scenario, any capture files the test adds and the emulator's call log, and the environment
// entries that load the emulator into a program started with runBinary. The directory is
// removed when the session ends.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wirelens::testing {

class EmulatorSession {
 public:
  explicit EmulatorSession(std::string_view scenarioText);
  ~EmulatorSession();
  EmulatorSession(const EmulatorSession&) = delete;
  EmulatorSession& operator=(const EmulatorSession&) = delete;

  // LD_PRELOAD (ahead of any the test itself runs with), the scenario and the log path.
  std::vector<std::string> environment() const;
  // Every device call the emulator saw so far, one line each; empty before the first.
  std::string callLog() const;
  // Writes a file next to the scenario, where "records NAME" finds it; returns its path.
  std::string writeFile(std::string_view name, std::string_view bytes) const;
  const std::string& directory() const { return directory_; }

 private:
  std::string directory_;
};

// The environment for a one-off scenario whose files live until the test binary exits.
std::vector<std::string> emulatorEnvironment(const std::string& scenarioText);

}  // namespace wirelens::testing
