// Fuzz target: the device reader under a scripted device. The input decides each open's
// answer, the header request's answer and header, and the one read's answer and bytes.
// Expected, on every path: the full node first, the plain node after any refusal but EINTR
// (which repeats the open), the model's result, exactly one read of the buffer size the
// header's count asks for (zero-filled), no call after the close, and every descriptor that
// was handed out closed exactly once.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "fuzz_check.h"
#include "platform/freebsd/device_reader.h"
#include "script_env.h"

namespace {

using namespace wirelens;

std::uint32_t le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

class DeviceEnv final : public fuzz::ScriptEnv {
 public:
  explicit DeviceEnv(FuzzedDataProvider& input) : input_(input) {}

  // What happened, for the model to compare.
  std::vector<std::string> openedPaths;
  std::map<int, int> closes;  // descriptor -> times closed
  std::vector<int> handedOut;
  int ioctls = 0;
  int reads = 0;
  bool closedAny = false;
  bool callAfterClose = false;
  std::optional<int> secondOpenError;
  std::optional<int> ioctlError;
  std::optional<std::uint32_t> headerVersion;
  std::uint32_t headerCount = 0;
  std::size_t readSize = 0;
  std::optional<int> readError;
  std::vector<std::uint8_t> delivered;  // the bytes the read returned

  SysResult openDevice(const char* path) override {
    callAfterClose |= closedAny;
    openedPaths.emplace_back(path);
    // Four answers in five refuse the open, so that the fallback paths are walked often.
    if (input_.ConsumeIntegralInRange(0, 4) != 0) {
      const int error = input_.PickValueInArray(fuzz::kPlausibleErrors);
      if (openedPaths.back() == "/dev/wirelens" && error != EINTR) secondOpenError = error;
      return sysError(error);
    }
    const int fd = 3 + static_cast<int>(handedOut.size());
    handedOut.push_back(fd);
    secondOpenError.reset();
    return sysValue(fd);
  }

  SysResult ioctl(int fd, std::uint64_t request, void* argument) override {
    callAfterClose |= closedAny;
    ++ioctls;
    FUZZ_CHECK(fd == handedOut.back() && request == 0x40105401, "ioctl %d %llx", fd,
               static_cast<unsigned long long>(request));
    auto* header = static_cast<std::uint8_t*>(argument);
    FUZZ_CHECK(std::all_of(header, header + 16, [](std::uint8_t b) { return b == 0; }),
               "header not zeroed before the request");
    if (input_.ConsumeIntegralInRange(0, 7) == 0) {
      ioctlError = input_.PickValueInArray(fuzz::kPlausibleErrors);
      return sysError(*ioctlError);
    }
    const std::uint32_t version =
        input_.ConsumeIntegralInRange(0, 7) == 0 ? input_.ConsumeIntegral<std::uint32_t>() : 1;
    // Counts stay small: what a count the system cannot back does is the allocation
    // tests' business, and a fuzzer's memory limit would call it a finding.
    headerCount = input_.ConsumeIntegralInRange<std::uint32_t>(0, 4000);
    for (int i = 0; i < 4; ++i) header[i] = static_cast<std::uint8_t>(version >> (8 * i));
    for (int i = 0; i < 4; ++i) header[8 + i] = static_cast<std::uint8_t>(headerCount >> (8 * i));
    // Offsets 4 and 12 are not read; they carry noise.
    header[4] = header[12] = 0xA5;
    headerVersion = version;
    return sysValue(0);
  }

  SysResult read(int fd, void* buffer, std::size_t size) override {
    callAfterClose |= closedAny;
    ++reads;
    readSize = size;
    FUZZ_CHECK(fd == handedOut.back(), "read from %d", fd);
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    FUZZ_CHECK(std::all_of(bytes, bytes + size, [](std::uint8_t b) { return b == 0; }),
               "read buffer not zero-filled");
    if (input_.ConsumeIntegralInRange(0, 7) == 0) {
      readError = input_.PickValueInArray(fuzz::kPlausibleErrors);
      return sysError(*readError);
    }
    std::size_t n;
    switch (input_.ConsumeIntegralInRange(0, 3)) {
      case 0:
        n = input_.ConsumeIntegralInRange<std::size_t>(0, size);
        break;
      case 1:
        n = size / 320 * 320;
        break;
      default:
        n = std::min(size, input_.remaining_bytes() / 320 * 320);
        break;
    }
    const std::vector<std::uint8_t> data = input_.ConsumeBytes<std::uint8_t>(n);
    if (!data.empty()) std::memcpy(bytes, data.data(), data.size());
    delivered.assign(bytes, bytes + n);
    return sysValue(static_cast<std::int64_t>(n));
  }

  void close(int fd) override {
    closedAny = true;
    ++closes[fd];
  }

 private:
  FuzzedDataProvider& input_;
};

// The result the reader should give, from what the device answered.
std::string expectedOutcome(const DeviceEnv& env) {
  if (env.handedOut.empty()) {
    return "DeviceOpen /dev/wirelens-full or /dev/wirelens " +
           std::to_string(env.secondOpenError.value_or(-1));
  }
  if (env.ioctlError) return "Ioctl " + std::to_string(*env.ioctlError);
  if (*env.headerVersion != 1) return "VersionMismatch " + std::to_string(*env.headerVersion);
  if (env.readError) return "DeviceRead " + std::to_string(*env.readError);
  const std::size_t n = env.delivered.size();
  if (n % 320 != 0) {
    return "Parse 0 buffer size " + std::to_string(n) + " is not a multiple of record size 320";
  }
  for (std::size_t at = 0; at < n; at += 320) {
    const std::uint32_t version = le32(env.delivered.data() + at);
    if (version != 1) return "VersionMismatch " + std::to_string(version);
  }
  return "sockets " + std::to_string(n / 320);
}

std::string errorCode(const IoError& error) {
  const auto* os = std::get_if<IoError::Os>(&error.form);
  return os != nullptr ? std::to_string(os->code) : "not an OS error";
}

std::string outcome(const Result<std::vector<DecodedSocket>, CollectorError>& result) {
  if (result.ok()) return "sockets " + std::to_string(result.value().size());
  const auto& kind = result.error().kind;
  if (const auto* e = std::get_if<CollectorError::DeviceOpen>(&kind)) {
    return "DeviceOpen " + e->path + " " + errorCode(e->source);
  }
  if (const auto* e = std::get_if<CollectorError::Ioctl>(&kind)) {
    FUZZ_CHECK(e->cmd == 0x40105401, "Ioctl names %llx", static_cast<unsigned long long>(e->cmd));
    return "Ioctl " + errorCode(e->source);
  }
  if (const auto* e = std::get_if<CollectorError::VersionMismatch>(&kind)) {
    FUZZ_CHECK(e->expected == 1, "expected version %u", e->expected);
    return "VersionMismatch " + std::to_string(e->got);
  }
  if (const auto* e = std::get_if<CollectorError::DeviceRead>(&kind)) {
    return "DeviceRead " + errorCode(e->source);
  }
  if (const auto* e = std::get_if<CollectorError::Parse>(&kind)) {
    return "Parse " + std::to_string(e->offset) + " " + e->message;
  }
  return "another error";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  DeviceEnv env(input);
  const auto result = readDeviceSockets(env);

  // The opens: the full node until it gives an answer other than EINTR, then the plain one.
  FUZZ_CHECK(!env.openedPaths.empty() && env.openedPaths.front() == "/dev/wirelens-full",
             "first open not of the full node");
  for (std::size_t i = 1; i < env.openedPaths.size(); ++i) {
    FUZZ_CHECK(env.openedPaths[i - 1] != "/dev/wirelens" || env.openedPaths[i] == "/dev/wirelens",
               "went back to the full node");
  }
  FUZZ_CHECK(env.handedOut.size() <= 1, "%zu descriptors opened", env.handedOut.size());
  for (int fd : env.handedOut) {
    FUZZ_CHECK(env.closes[fd] == 1, "descriptor %d closed %d times", fd, env.closes[fd]);
  }
  FUZZ_CHECK(env.closes.size() == env.handedOut.size(), "closed a descriptor never opened");
  FUZZ_CHECK(!env.callAfterClose, "a device call after the close");

  const bool headerAccepted = env.headerVersion == 1u && !env.ioctlError;
  FUZZ_CHECK(env.ioctls == (env.handedOut.empty() ? 0 : 1), "%d header requests", env.ioctls);
  FUZZ_CHECK(env.reads == (headerAccepted ? 1 : 0), "%d reads", env.reads);
  if (headerAccepted) {
    const std::uint64_t c = env.headerCount;
    const std::uint64_t want = std::max<std::uint64_t>((c + c / 5) * 320, 45056) + 20480;
    FUZZ_CHECK(env.readSize == want, "read of %zu bytes for count %llu, expected %llu",
               env.readSize, static_cast<unsigned long long>(c),
               static_cast<unsigned long long>(want));
  }

  const std::string got = outcome(result);
  const std::string expected = expectedOutcome(env);
  FUZZ_CHECK(got == expected, "\"%s\", expected \"%s\"", got.c_str(), expected.c_str());
  return 0;
}
