#include "emulator_session.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace wirelens::testing {
namespace {

constexpr const char* kScenarioName = "scenario.txt";
constexpr const char* kLogName = "calls.log";

std::string makeTemporaryDirectory() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/wirelens-emulator-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "mkdtemp failed for " << pattern;
    return "/nonexistent";
  }
  return pattern;
}

}  // namespace

EmulatorSession::EmulatorSession(std::string_view scenarioText)
    : directory_(makeTemporaryDirectory()) {
  writeFile(kScenarioName, scenarioText);
}

EmulatorSession::~EmulatorSession() {
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

std::vector<std::string> EmulatorSession::environment() const {
  std::string preload = WIRELENS_EMULATOR;
  if (const char* existing = std::getenv("LD_PRELOAD"); existing != nullptr && *existing != '\0')
    preload += std::string(":") + existing;
  return {"LD_PRELOAD=" + preload, "WIRELENS_EMULATOR_SCENARIO=" + directory_ + "/" + kScenarioName,
          "WIRELENS_EMULATOR_LOG=" + directory_ + "/" + kLogName};
}

std::string EmulatorSession::callLog() const {
  std::ifstream in(directory_ + "/" + kLogName, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string EmulatorSession::writeFile(std::string_view name, std::string_view bytes) const {
  std::string path = directory_ + "/" + std::string(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) ADD_FAILURE() << "cannot write " << path;
  return path;
}

std::vector<std::string> emulatorEnvironment(const std::string& scenarioText) {
  // Destroyed, and their directories removed, when the test binary exits.
  static std::vector<std::unique_ptr<EmulatorSession>> sessions;
  sessions.push_back(std::make_unique<EmulatorSession>(scenarioText));
  return sessions.back()->environment();
}

}  // namespace wirelens::testing
