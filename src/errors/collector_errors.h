// The error values of every fallible step: CollectorError (acquiring and decoding socket
// data), SysctlError (reading a sysctl value), OutputError (writing a document) and the JSON
// serializer's own error. Variants are listed in declaration order; messages and causes are
// composed from the fields alone, in error_messages.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "errors/io_error.h"

namespace wirelens {

struct SysctlError {
  struct NameToMib {
    std::string name;
    IoError source;
  };
  struct ReadFailed {
    std::string name;
    IoError source;
  };
  struct GenerationMismatch {
    std::string name;
    std::uint32_t retries = 0;
  };
  struct TooSmall {
    std::uint64_t got = 0;
    std::uint64_t need = 0;
  };
  struct UnsupportedPlatform {};
  std::variant<NameToMib, ReadFailed, GenerationMismatch, TooSmall, UnsupportedPlatform> kind;
};

struct CollectorError {
  struct Sysctl {
    SysctlError inner;
  };
  struct Parse {
    std::uint64_t offset = 0;
    std::string message;
  };
  struct Truncated {
    std::uint64_t offset = 0;
    std::uint64_t need = 0;
    std::uint64_t have = 0;
  };
  struct UnknownKind {
    std::uint64_t offset = 0;
    std::uint32_t kind = 0;
  };
  struct DeviceOpen {
    std::string path;
    IoError source;
  };
  struct DeviceRead {
    IoError source;
  };
  struct Ioctl {
    std::uint64_t cmd = 0;
    IoError source;
  };
  struct VersionMismatch {
    std::uint32_t expected = 0;
    std::uint32_t got = 0;
  };
  struct UnsupportedPlatform {};
  std::variant<Sysctl, Parse, Truncated, UnknownKind, DeviceOpen, DeviceRead, Ioctl,
               VersionMismatch, UnsupportedPlatform>
      kind;
};

// The JSON writer's failure: the output stream failed under it, or it met a value it
// cannot write ("Invalid variant 12"). Its cause chain ends here, even when it holds an
// IoError.
struct SerializerError {
  std::variant<IoError, std::string> kind;
};

struct OutputError {
  struct Serialization {
    SerializerError inner;
  };
  struct Io {
    IoError inner;
  };
  std::variant<Serialization, Io> kind;
};

}  // namespace wirelens
