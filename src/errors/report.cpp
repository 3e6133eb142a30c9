#include <cstdio>
#include <vector>

#include "errors/error_messages.h"
#include "errors/top_level_error.h"

namespace wirelens {
namespace {

void appendIndented(std::string& out, std::string_view text, std::string_view continuation) {
  for (char c : text) {
    out += c;
    if (c == '\n') out += continuation;
  }
}

}  // namespace

TopLevelError plainError(std::string message) {
  return TopLevelError{std::move(message), {}};
}

TopLevelError withContext(std::string_view context, CollectorError error) {
  return TopLevelError{std::string(context), std::move(error)};
}

TopLevelError withContext(std::string_view context, OutputError error) {
  return TopLevelError{std::string(context), std::move(error)};
}

TopLevelError withContext(std::string_view context, IoError error) {
  return TopLevelError{std::string(context), std::move(error)};
}

std::string formatReport(const TopLevelError& error, const OsErrorText& text) {
  std::string out = "Error: " + error.message;
  std::vector<std::string> causes;
  if (error.cause) {
    std::optional<ErrorRef> next =
        std::visit([](const auto& e) { return ErrorRef(&e); }, *error.cause);
    while (next) {
      causes.push_back(message(*next, text));
      next = cause(*next);
    }
  }
  if (!causes.empty()) {
    out += "\n\nCaused by:";
    const bool numbered = causes.size() > 1;
    for (std::size_t i = 0; i < causes.size(); ++i) {
      out += '\n';
      if (numbered) {
        char index[32];
        std::snprintf(index, sizeof index, "%5zu: ", i);
        out += index;
        appendIndented(out, causes[i], "       ");
      } else {
        out += "    ";
        appendIndented(out, causes[i], "    ");
      }
    }
  }
  out += '\n';
  return out;
}

}  // namespace wirelens
