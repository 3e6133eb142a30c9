#include "program.h"

namespace wirelens {

int runProgram(Env&, std::span<const std::string_view>) { return 0; }

}  // namespace wirelens
