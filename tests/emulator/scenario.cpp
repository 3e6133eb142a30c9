#include "scenario.h"

#include "capture_description.h"
#include "errno_names.h"
#include "number_text.h"
#include "records/kernel_record_layout.h"
#include "synthetic_sockets.h"

namespace wirelens::testing {
namespace {

// Keeps one scenario line's synthetic set within what a test machine holds comfortably.
constexpr std::uint64_t kMaxSyntheticRecords = 1'000'000;

class ScenarioParser {
 public:
  ScenarioParser(const std::string& directory, const FileReader& readFile)
      : directory_(directory), readFile_(readFile) {}

  ParsedScenario parse(std::string_view text) {
    std::size_t lineNumber = 0;
    while (!text.empty() && error_.empty()) {
      ++lineNumber;
      std::size_t end = text.find('\n');
      std::string_view line = stripComment(text.substr(0, end));
      text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
      if (!line.empty()) parseLine(line);
      if (!error_.empty()) error_ = "line " + std::to_string(lineNumber) + ": " + error_;
    }
    ParsedScenario parsed;
    parsed.error = error_;
    if (error_.empty()) {
      parsed.scenario = std::move(scenario_);
      if (parsed.scenario.passes.empty() && !parsed.scenario.beyond)
        parsed.scenario.passes.emplace_back();
    }
    return parsed;
  }

 private:
  PassPlan& current() {
    if (inBeyond_) return *scenario_.beyond;
    if (scenario_.passes.empty()) scenario_.passes.emplace_back();
    return scenario_.passes.back();
  }

  void fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
  }

  std::optional<int> errnoArgument(std::string_view word) {
    std::optional<int> code = errnoFromName(word);
    if (!code) fail("unknown errno '" + std::string(word) + "'");
    return code;
  }

  void expectWords(const std::vector<std::string_view>& words, std::size_t count) {
    if (words.size() != count)
      fail("'" + std::string(words[0]) + "' takes " + std::to_string(count - 1) + " argument(s)");
  }

  void parseLine(std::string_view line) {
    std::vector<std::string_view> words = splitWords(line);
    std::string_view directive = words[0];
    if (directive == "pass" || directive == "default") {
      expectWords(words, 1);
      // A "pass" after "default" would be ambiguous about which comes first.
      if (inBeyond_) return fail("'" + std::string(directive) + "' after 'default'");
      if (directive == "default") {
        scenario_.beyond.emplace();
        inBeyond_ = true;
      } else {
        scenario_.passes.emplace_back();
      }
    } else if (directive == "open") {
      parseOpen(words);
    } else if (directive == "header") {
      parseHeader(words);
    } else if (directive == "ioctl" || directive == "read") {
      expectWords(words, 2);
      if (!error_.empty()) return;
      if (std::optional<int> code = errnoArgument(words[1]))
        (directive == "ioctl" ? current().ioctlError : current().readError) = *code;
    } else if (directive == "bytes") {
      expectWords(words, 2);
      if (!error_.empty()) return;
      std::optional<std::uint64_t> count = parseUnsigned(words[1], UINT64_MAX);
      if (!count) return fail("bad byte count '" + std::string(words[1]) + "'");
      current().byteCount = count;
    } else if (directive == "records") {
      expectWords(words, 2);
      if (!error_.empty()) return;
      appendCapture(std::string(words[1]));
    } else if (directive == "socket") {
      ParsedRecord record = parseSocketFields(line.substr(directive.size()));
      if (!record.error.empty()) return fail(record.error);
      appendRecord(current().records, record.record);
    } else if (directive == "synthetic") {
      parseSynthetic(words);
    } else {
      fail("unknown directive '" + std::string(directive) + "'");
    }
  }

  void parseOpen(const std::vector<std::string_view>& words) {
    if (words.size() < 3) return fail("'open' takes a device path and at least one answer");
    bool full = words[1] == kFullDevicePath;
    if (!full && words[1] != kDevicePath)
      return fail("'open' names an unknown device '" + std::string(words[1]) + "'");
    std::vector<int> answers;
    for (std::size_t i = 2; i < words.size(); ++i) {
      if (words[i] == "ok") {
        answers.push_back(0);
      } else if (std::optional<int> code = errnoArgument(words[i])) {
        answers.push_back(*code);
      } else {
        return;
      }
    }
    (full ? current().fullOpens : current().secondOpens) = std::move(answers);
  }

  void parseHeader(const std::vector<std::string_view>& words) {
    if (words.size() < 2) return fail("'header' takes version=V and/or count=N");
    for (std::size_t i = 1; i < words.size(); ++i) {
      std::string_view word = words[i];
      std::size_t equals = word.find('=');
      std::string_view name = word.substr(0, equals);
      std::optional<std::uint64_t> value = equals == std::string_view::npos
                                               ? std::nullopt
                                               : parseUnsigned(word.substr(equals + 1), UINT32_MAX);
      if (!value || (name != "version" && name != "count"))
        return fail("bad header field '" + std::string(word) + "'");
      if (name == "version")
        current().headerVersion = static_cast<std::uint32_t>(*value);
      else
        current().headerCount = static_cast<std::uint32_t>(*value);
    }
  }

  void appendCapture(const std::string& name) {
    std::string path = name.starts_with('/') ? name : directory_ + "/" + name;
    std::optional<std::string> bytes = readFile_(path);
    if (!bytes) return fail("cannot read capture file " + path);
    if (bytes->size() % kernel_record::kSize != 0)
      return fail("capture file " + path + " holds " + std::to_string(bytes->size()) +
                  " bytes, not whole 320-byte records");
    current().records += *bytes;
  }

  void parseSynthetic(const std::vector<std::string_view>& words) {
    if (words.size() != 2 && !(words.size() == 4 && words[2] == "seed"))
      return fail("'synthetic' takes a count and optionally 'seed S'");
    std::optional<std::uint64_t> count = parseUnsigned(words[1], kMaxSyntheticRecords);
    std::optional<std::uint64_t> seed =
        words.size() == 4 ? parseUnsigned(words[3], UINT64_MAX) : std::optional<std::uint64_t>(1);
    if (!count || !seed) return fail("bad synthetic count or seed");
    current().records += syntheticRecords(*count, *seed);
  }

  const std::string& directory_;
  const FileReader& readFile_;
  Scenario scenario_;
  bool inBeyond_ = false;
  std::string error_;
};

}  // namespace

std::uint32_t PassPlan::recordCountInHeader() const {
  if (headerCount) return *headerCount;
  return static_cast<std::uint32_t>(records.size() / kernel_record::kSize);
}

int PassPlan::openAnswer(bool fullPath, std::size_t attempt) const {
  const std::vector<int>& answers = fullPath ? fullOpens : secondOpens;
  if (answers.empty()) return 0;
  return answers[attempt < answers.size() ? attempt : answers.size() - 1];
}

const PassPlan& Scenario::planFor(std::size_t pass) const {
  if (pass >= 1 && pass <= passes.size()) return passes[pass - 1];
  return beyond ? *beyond : passes.back();
}

ParsedScenario parseScenario(std::string_view text, const std::string& directory,
                             const FileReader& readFile) {
  return ScenarioParser(directory, readFile).parse(text);
}

}  // namespace wirelens::testing
