// message() gives the one-line text of any error value; cause() names the error that caused
// it, or nothing. ErrorRef lets the report walk a chain of causes across the error types.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "errors/collector_errors.h"
#include "errors/io_error.h"

namespace wirelens {

using ErrorRef = std::variant<const CollectorError*, const SysctlError*, const OutputError*,
                              const SerializerError*, const IoError*>;

std::string message(const IoError& error, const OsErrorText& text);
std::string message(const SysctlError& error, const OsErrorText& text);
std::string message(const CollectorError& error, const OsErrorText& text);
std::string message(const SerializerError& error, const OsErrorText& text);
std::string message(const OutputError& error, const OsErrorText& text);
std::string message(ErrorRef error, const OsErrorText& text);

std::optional<ErrorRef> cause(const IoError& error);
std::optional<ErrorRef> cause(const SysctlError& error);
std::optional<ErrorRef> cause(const CollectorError& error);
std::optional<ErrorRef> cause(const SerializerError& error);
std::optional<ErrorRef> cause(const OutputError& error);
std::optional<ErrorRef> cause(ErrorRef error);

// "0x" and lowercase hexadecimal digits without leading zeros; zero is "0x0".
std::string hexForm(std::uint64_t value);

}  // namespace wirelens
