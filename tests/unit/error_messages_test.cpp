#include "errors/error_messages.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <string>
#include <vector>

#include "errors/top_level_error.h"
#include "fake_env.h"

namespace wirelens {
namespace {

using testing::FakeEnv;

// Every message in the order the chain gives them, starting at `error`.
template <typename E>
std::vector<std::string> chain(const E& error) {
  FakeEnv text;
  std::vector<std::string> out;
  std::optional<ErrorRef> next = ErrorRef(&error);
  while (next) {
    out.push_back(message(*next, text));
    next = cause(*next);
  }
  return out;
}

using Chain = std::vector<std::string>;
using namespace std::string_literals;

TEST(ErrorMessages, IoErrorForms) {
  EXPECT_EQ(chain(IoError::os(25)), Chain{"text 25 (os error 25)"});
  EXPECT_EQ(chain(IoError::fixed("failed to write the buffered data")),
            Chain{"failed to write the buffered data"});
  EXPECT_EQ(chain(IoError::wrapped(NulByteError{4})),
            Chain{"nul byte found in provided data at position: 4"});
}

TEST(ErrorMessages, CollectorErrorVariants) {
  using E = CollectorError;
  const SysctlError sysctl{SysctlError::ReadFailed{"kern.file", IoError::os(12)}};
  const std::vector<std::pair<CollectorError, Chain>> cases = {
      {E{E::Sysctl{sysctl}},
       {"sysctl error: sysctl read failed for kern.file: text 12 (os error 12)",
        "sysctl read failed for kern.file: text 12 (os error 12)", "text 12 (os error 12)"}},
      {E{E::Parse{0, "buffer size 1000 is not a multiple of record size 320"}},
       {"parse error at offset 0: buffer size 1000 is not a multiple of record size 320"}},
      {E{E::Truncated{640, 320, 100}},
       {"buffer truncated: need 320 bytes at offset 640, have 100"}},
      {E{E::UnknownKind{640, 0}}, {"unknown record kind 0x0 at offset 640"}},
      {E{E::UnknownKind{8, 255}}, {"unknown record kind 0xff at offset 8"}},
      {E{E::DeviceOpen{"/dev/wirelens-full or /dev/wirelens", IoError::os(2)}},
       {"failed to open device /dev/wirelens-full or /dev/wirelens: text 2 (os error 2)",
        "text 2 (os error 2)"}},
      {E{E::DeviceRead{IoError::os(5)}},
       {"device read failed: text 5 (os error 5)", "text 5 (os error 5)"}},
      {E{E::Ioctl{0x40105401, IoError::os(25)}},
       {"ioctl 0x40105401 failed: text 25 (os error 25)", "text 25 (os error 25)"}},
      {E{E::VersionMismatch{1, 2}}, {"version mismatch: expected 1, got 2"}},
      {E{E::UnsupportedPlatform{}}, {"platform not supported"}},
  };
  for (const auto& [error, expected] : cases) EXPECT_EQ(chain(error), expected);
}

TEST(ErrorMessages, SysctlErrorVariants) {
  using E = SysctlError;
  const std::vector<std::pair<SysctlError, Chain>> cases = {
      {E{E::NameToMib{"kern.file", IoError::os(2)}},
       {"sysctl name->MIB failed for kern.file: text 2 (os error 2)", "text 2 (os error 2)"}},
      {E{E::ReadFailed{"kern\0file"s, IoError::wrapped(NulByteError{4})}},
       {"sysctl read failed for kern\0file: nul byte found in provided data at position: 4"s,
        "nul byte found in provided data at position: 4"}},
      {E{E::GenerationMismatch{"kern.file", 3}},
       {"generation mismatch after 3 retries for kern.file"}},
      {E{E::TooSmall{7, 8}}, {"buffer too small for header (got 7 bytes, need 8)"}},
      {E{E::UnsupportedPlatform{}}, {"platform not supported for sysctl"}},
  };
  for (const auto& [error, expected] : cases) EXPECT_EQ(chain(error), expected);
}

TEST(ErrorMessages, OutputErrorChainsEndAtTheSerializerError) {
  using E = OutputError;
  EXPECT_EQ(chain(E{E::Serialization{SerializerError{IoError::os(32)}}}),
            (Chain{"serialization error: text 32 (os error 32)", "text 32 (os error 32)"}));
  EXPECT_EQ(chain(E{E::Serialization{SerializerError{std::string("Invalid variant 12")}}}),
            (Chain{"serialization error: Invalid variant 12", "Invalid variant 12"}));
  EXPECT_EQ(chain(E{E::Io{IoError::os(28)}}),
            (Chain{"I/O error: text 28 (os error 28)", "text 28 (os error 28)"}));
}

TEST(ErrorMessages, HexFormIsLowercaseWithoutLeadingZeros) {
  EXPECT_EQ(hexForm(0x40105401), "0x40105401");
  EXPECT_EQ(hexForm(0), "0x0");
  EXPECT_EQ(hexForm(255), "0xff");
  EXPECT_EQ(hexForm(18446744073709551615u), "0xffffffffffffffff");
}

TEST(Report, Layouts) {
  FakeEnv text;
  using C = CollectorError;
  EXPECT_EQ(formatReport(plainError("unknown argument: -x"), text),
            "Error: unknown argument: -x\n");
  EXPECT_EQ(formatReport(withContext(kCollectContext, C{C::VersionMismatch{1, 2}}), text),
            "Error: failed to collect TCP sockets\n\nCaused by:\n    version mismatch: expected 1, "
            "got 2\n");
  EXPECT_EQ(
      formatReport(
          withContext(kCollectContext,
                      C{C::DeviceOpen{"/dev/wirelens-full or /dev/wirelens", IoError::os(2)}}),
          text),
      "Error: failed to collect TCP sockets\n\nCaused by:\n"
      "    0: failed to open device /dev/wirelens-full or /dev/wirelens: text 2 (os error 2)\n"
      "    1: text 2 (os error 2)\n");
  // A document that cannot get its memory: the OS error is the one cause.
  EXPECT_EQ(formatReport(withContext(kBuildContext, IoError::os(ENOMEM)), text),
            "Error: failed to build the document\n\nCaused by:\n    text 12 (os error 12)\n");
}

TEST(Report, NewlinesInsideACauseAreIndented) {
  FakeEnv text;
  using C = CollectorError;
  EXPECT_EQ(formatReport(withContext(kCollectContext, C{C::Parse{0, "one\ntwo\n"}}), text),
            "Error: failed to collect TCP sockets\n\nCaused by:\n"
            "    parse error at offset 0: one\n    two\n    \n");
  EXPECT_EQ(
      formatReport(withContext(kCollectContext, C{C::DeviceOpen{"a\nb", IoError::os(2)}}), text),
      "Error: failed to collect TCP sockets\n\nCaused by:\n"
      "    0: failed to open device a\n       b: text 2 (os error 2)\n"
      "    1: text 2 (os error 2)\n");
}

TEST(Report, ThreeCausesAreNumberedInOrder) {
  FakeEnv text;
  using C = CollectorError;
  const SysctlError sysctl{SysctlError::ReadFailed{"kern.file", IoError::os(12)}};
  EXPECT_EQ(formatReport(withContext(kCollectContext, C{C::Sysctl{sysctl}}), text),
            "Error: failed to collect TCP sockets\n\nCaused by:\n"
            "    0: sysctl error: sysctl read failed for kern.file: text 12 (os error 12)\n"
            "    1: sysctl read failed for kern.file: text 12 (os error 12)\n"
            "    2: text 12 (os error 12)\n");
}

}  // namespace
}  // namespace wirelens
