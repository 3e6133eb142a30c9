// The collector's name and version as every document's `toolVersion` gives them
// ("wirelens-reader 0.1.0"). The build writes the definition from src/tool_version.cpp.in
// with the project version of CMakeLists.txt, the one place the version is stated.
#pragma once

#include <string_view>

namespace wirelens {

extern const std::string_view kToolVersion;

}  // namespace wirelens
