// TopLevelError: the value that ends a failed run. Either a plain message (a bad command
// line) or a context message wrapping exactly one CollectorError, OutputError or, for a pass
// that cannot build its document, the IoError that says why.
// formatReport() lays it out as the "Error: ... Caused by: ..." text for standard error.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "errors/collector_errors.h"
#include "errors/io_error.h"

namespace wirelens {

inline constexpr std::string_view kCollectContext = "failed to collect TCP sockets";
inline constexpr std::string_view kWriteContext = "failed to write output";
inline constexpr std::string_view kFlushContext = "failed to flush output";
inline constexpr std::string_view kBuildContext = "failed to build the document";

struct TopLevelError {
  std::string message;
  std::optional<std::variant<CollectorError, OutputError, IoError>> cause;
};

TopLevelError plainError(std::string message);
TopLevelError withContext(std::string_view context, CollectorError error);
TopLevelError withContext(std::string_view context, OutputError error);
TopLevelError withContext(std::string_view context, IoError error);

// The whole report, ending in a newline.
std::string formatReport(const TopLevelError& error, const OsErrorText& text);

}  // namespace wirelens
