// The program's entry: process set-up, then the run, whose result becomes the exit status.
#include <string_view>
#include <vector>

#include "platform/heap_retention.h"
#include "platform/posix_env.h"
#include "program.h"

int main(int argc, char** argv) {
  wirelens::prepareProcess();
  wirelens::retainFreedMemory();
  std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  wirelens::PosixEnv env;
  return wirelens::runProgram(env, arguments);
}
