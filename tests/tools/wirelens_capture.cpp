// wirelens-capture: writes a capture file (320-byte statistics-device records, back to back)
// from a readable description, or a synthetic set for benchmarks. Exit status 0 on success,
// 1 with a message on standard error otherwise.
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "capture_description.h"
#include "number_text.h"
#include "synthetic_sockets.h"

namespace {

constexpr std::string_view kUsage =
    "usage: wirelens-capture [-o OUTPUT] DESCRIPTION\n"
    "       wirelens-capture [-o OUTPUT] --synthetic N [--seed S]\n"
    "DESCRIPTION is a file of 'socket name=value ...' lines ('-' reads standard input);\n"
    "OUTPUT defaults to standard output.\n";

int fail(const std::string& message) {
  std::cerr << "wirelens-capture: " << message << "\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace wirelens::testing;
  std::string output = "-";
  std::string description;
  std::optional<std::uint64_t> synthetic;
  std::uint64_t seed = 1;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "-o" && hasValue) {
      output = argv[++i];
    } else if (arg == "--synthetic" && hasValue) {
      synthetic = parseUnsigned(argv[++i], UINT32_MAX);
      if (!synthetic) return fail("bad record count '" + std::string(argv[i]) + "'");
    } else if (arg == "--seed" && hasValue) {
      auto value = parseUnsigned(argv[++i], UINT64_MAX);
      if (!value) return fail("bad seed '" + std::string(argv[i]) + "'");
      seed = *value;
    } else if (description.empty() && (arg == "-" || !arg.starts_with('-'))) {
      description = arg;
    } else {
      std::cerr << kUsage;
      return fail("unexpected argument '" + std::string(arg) + "'");
    }
  }
  if (synthetic.has_value() == !description.empty()) {
    std::cerr << kUsage;
    return fail("give either a description or --synthetic N");
  }

  std::string bytes;
  if (synthetic) {
    bytes = syntheticRecords(*synthetic, seed);
  } else {
    std::stringstream text;
    if (description == "-") {
      text << std::cin.rdbuf();
    } else {
      std::ifstream in(description, std::ios::binary);
      if (!in) return fail("cannot read " + description);
      text << in.rdbuf();
    }
    ParsedCapture parsed = parseCaptureDescription(text.str());
    if (!parsed.error.empty()) return fail(description + ": " + parsed.error);
    bytes = std::move(parsed.bytes);
  }

  if (output == "-") {
    std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::cout.flush();
    return std::cout ? 0 : fail("cannot write standard output");
  }
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return out ? 0 : fail("cannot write " + output);
}
