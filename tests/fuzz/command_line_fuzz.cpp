// Fuzz target: the command line. The input, split at zero bytes, is the argument list. The
// parser's answer (options, help, or the exact message) must equal a small model of the
// eight forms, the value grammars and the message table written here.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "command_line.h"
#include "fuzz_check.h"
#include "reference/interval_reference.h"
#include "reference/utf8_reference.h"

namespace {

using namespace wirelens;

struct ModelError {
  std::string message;
};
using Model = std::variant<Options, HelpRequest, ModelError>;

// The reason text for a bad count, or empty with the value set.
std::string countReason(std::string_view text, std::uint64_t& value) {
  if (text.empty()) return "cannot parse integer from empty string";
  if (text[0] == '+') text.remove_prefix(1);
  if (text.empty()) return "invalid digit found in string";
  for (char c : text) {
    if (c < '0' || c > '9') return "invalid digit found in string";
  }
  unsigned __int128 total = 0;
  for (char c : text) {
    total = total * 10 + static_cast<unsigned>(c - '0');
    if (total > UINT64_MAX) return "number too large to fit in target type";
  }
  value = static_cast<std::uint64_t>(total);
  return "";
}

Model model(const std::vector<std::string_view>& args) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (!fuzz::isWellFormedUtf8(args[i])) {
      return ModelError{"argument " + std::to_string(i + 1) + " is not valid UTF-8"};
    }
  }
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view a = args[i];
    const bool last = i + 1 == args.size();
    if (a == "-h" || a == "--help") return HelpRequest{};
    if (a == "-p" || a == "--pretty") {
      options.pretty = true;
    } else if (a == "-i" || a == "--interval") {
      if (last) return ModelError{"--interval requires a value"};
      const fuzz::ReferenceSeconds seconds = fuzz::referenceSeconds(args[++i]);
      if (seconds.reading == fuzz::SecondsReading::Empty) {
        return ModelError{"invalid --interval value: cannot parse float from empty string"};
      }
      if (seconds.reading == fuzz::SecondsReading::Invalid) {
        return ModelError{"invalid --interval value: invalid float literal"};
      }
      if (seconds.value <= 0) return ModelError{"--interval must be positive"};
      const auto duration = fuzz::referenceInterval(seconds.value);
      if (!duration) {
        return ModelError{
            "invalid --interval value: must be a finite number of seconds below "
            "18446744073709551616"};
      }
      options.interval = Interval{duration->seconds, duration->nanoseconds};
    } else if (a == "-c" || a == "--count") {
      if (last) return ModelError{"--count requires a value"};
      std::uint64_t count = 0;
      const std::string reason = countReason(args[++i], count);
      if (!reason.empty()) return ModelError{"invalid --count value: " + reason};
      options.count = count;
    } else {
      return ModelError{"unknown argument: " + std::string(a)};
    }
  }
  return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> args;
  for (std::size_t start = 0; start < size;) {
    std::size_t end = input.find('\0', start);
    if (end == std::string_view::npos) end = size;
    args.push_back(input.substr(start, end - start));
    start = end + 1;
  }

  const CommandLine parsed = parseCommandLine(args);
  const Model expected = model(args);
  FUZZ_CHECK(parsed.index() == expected.index(), "answer kind %zu, the model's %zu", parsed.index(),
             expected.index());
  if (const auto* options = std::get_if<Options>(&parsed)) {
    const Options& want = std::get<Options>(expected);
    FUZZ_CHECK(*options == want,
               "options %llu s %u ns count %llu pretty %d, the model's %llu s %u ns count %llu "
               "pretty %d",
               static_cast<unsigned long long>(options->interval.seconds),
               options->interval.nanoseconds, static_cast<unsigned long long>(options->count),
               options->pretty, static_cast<unsigned long long>(want.interval.seconds),
               want.interval.nanoseconds, static_cast<unsigned long long>(want.count), want.pretty);
  } else if (const auto* error = std::get_if<CommandLineError>(&parsed)) {
    const std::string& want = std::get<ModelError>(expected).message;
    FUZZ_CHECK(error->message == want, "message \"%s\", the model's \"%s\"", error->message.c_str(),
               want.c_str());
  }
  return 0;
}
