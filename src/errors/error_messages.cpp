#include "errors/error_messages.h"

#include <string_view>

namespace wirelens {
namespace {

template <class... Fs>
struct Overload : Fs... {
  using Fs::operator()...;
};
template <class... Fs>
Overload(Fs...) -> Overload<Fs...>;

std::string dec(std::uint64_t value) {
  return std::to_string(value);
}

}  // namespace

bool operator==(const IoError& a, const IoError& b) {
  if (a.form.index() != b.form.index()) return false;
  return std::visit(
      Overload{
          [&](const IoError::Os& x) { return x.code == std::get<IoError::Os>(b.form).code; },
          [&](const IoError::Fixed& x) { return x.text == std::get<IoError::Fixed>(b.form).text; },
          [&](const IoError::Wrapped& x) {
            return x.inner.position == std::get<IoError::Wrapped>(b.form).inner.position;
          },
      },
      a.form);
}

std::string hexForm(std::uint64_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  char buffer[16];
  int n = 0;
  do {
    buffer[n++] = kDigits[value & 0xf];
    value >>= 4;
  } while (value != 0);
  std::string out = "0x";
  while (n > 0) out += buffer[--n];
  return out;
}

// Messages and causes, variant by variant, side by side.

std::string message(const IoError& error, const OsErrorText& text) {
  return std::visit(
      Overload{
          [&](const IoError::Os& e) {
            return text.describe(e.code) + " (os error " + std::to_string(e.code) + ")";
          },
          [](const IoError::Fixed& e) { return std::string(e.text); },
          [](const IoError::Wrapped& e) {
            return "nul byte found in provided data at position: " + dec(e.inner.position);
          },
      },
      error.form);
}
std::optional<ErrorRef> cause(const IoError&) {
  return std::nullopt;
}

std::string message(const SysctlError& error, const OsErrorText& text) {
  using E = SysctlError;
  return std::visit(
      Overload{
          [&](const E::NameToMib& e) {
            return "sysctl name->MIB failed for " + e.name + ": " + message(e.source, text);
          },
          [&](const E::ReadFailed& e) {
            return "sysctl read failed for " + e.name + ": " + message(e.source, text);
          },
          [](const E::GenerationMismatch& e) {
            return "generation mismatch after " + dec(e.retries) + " retries for " + e.name;
          },
          [](const E::TooSmall& e) {
            return "buffer too small for header (got " + dec(e.got) + " bytes, need " +
                   dec(e.need) + ")";
          },
          [](const E::UnsupportedPlatform&) {
            return std::string("platform not supported for sysctl");
          },
      },
      error.kind);
}
std::optional<ErrorRef> cause(const SysctlError& error) {
  using E = SysctlError;
  return std::visit(Overload{
                        [](const E::NameToMib& e) -> std::optional<ErrorRef> { return &e.source; },
                        [](const E::ReadFailed& e) -> std::optional<ErrorRef> { return &e.source; },
                        [](const auto&) -> std::optional<ErrorRef> { return std::nullopt; },
                    },
                    error.kind);
}

std::string message(const CollectorError& error, const OsErrorText& text) {
  using E = CollectorError;
  return std::visit(
      Overload{
          [&](const E::Sysctl& e) { return "sysctl error: " + message(e.inner, text); },
          [](const E::Parse& e) {
            return "parse error at offset " + dec(e.offset) + ": " + e.message;
          },
          [](const E::Truncated& e) {
            return "buffer truncated: need " + dec(e.need) + " bytes at offset " + dec(e.offset) +
                   ", have " + dec(e.have);
          },
          [](const E::UnknownKind& e) {
            return "unknown record kind " + hexForm(e.kind) + " at offset " + dec(e.offset);
          },
          [&](const E::DeviceOpen& e) {
            return "failed to open device " + e.path + ": " + message(e.source, text);
          },
          [&](const E::DeviceRead& e) { return "device read failed: " + message(e.source, text); },
          [&](const E::Ioctl& e) {
            return "ioctl " + hexForm(e.cmd) + " failed: " + message(e.source, text);
          },
          [](const E::VersionMismatch& e) {
            return "version mismatch: expected " + dec(e.expected) + ", got " + dec(e.got);
          },
          [](const E::UnsupportedPlatform&) { return std::string("platform not supported"); },
      },
      error.kind);
}
std::optional<ErrorRef> cause(const CollectorError& error) {
  using E = CollectorError;
  return std::visit(Overload{
                        [](const E::Sysctl& e) -> std::optional<ErrorRef> { return &e.inner; },
                        [](const E::DeviceOpen& e) -> std::optional<ErrorRef> { return &e.source; },
                        [](const E::DeviceRead& e) -> std::optional<ErrorRef> { return &e.source; },
                        [](const E::Ioctl& e) -> std::optional<ErrorRef> { return &e.source; },
                        [](const auto&) -> std::optional<ErrorRef> { return std::nullopt; },
                    },
                    error.kind);
}

std::string message(const SerializerError& error, const OsErrorText& text) {
  return std::visit(Overload{
                        [&](const IoError& e) { return message(e, text); },
                        [](const std::string& e) { return e; },
                    },
                    error.kind);
}
// The chain ends at the serializer error, even when it holds an IoError.
std::optional<ErrorRef> cause(const SerializerError&) {
  return std::nullopt;
}

std::string message(const OutputError& error, const OsErrorText& text) {
  using E = OutputError;
  return std::visit(Overload{
                        [&](const E::Serialization& e) {
                          return "serialization error: " + message(e.inner, text);
                        },
                        [&](const E::Io& e) { return "I/O error: " + message(e.inner, text); },
                    },
                    error.kind);
}
std::optional<ErrorRef> cause(const OutputError& error) {
  using E = OutputError;
  return std::visit(
      Overload{
          [](const E::Serialization& e) -> std::optional<ErrorRef> { return &e.inner; },
          [](const E::Io& e) -> std::optional<ErrorRef> { return &e.inner; },
      },
      error.kind);
}

std::string message(ErrorRef error, const OsErrorText& text) {
  return std::visit([&](const auto* e) { return message(*e, text); }, error);
}
std::optional<ErrorRef> cause(ErrorRef error) {
  return std::visit([](const auto* e) { return cause(*e); }, error);
}

}  // namespace wirelens
