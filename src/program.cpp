#include "program.h"

#include <cerrno>

#include "collection_loop.h"
#include "command_line.h"
#include "errors/top_level_error.h"

namespace wirelens {
namespace {

// A failure to write to standard error is ignored: there is nowhere left to report it.
void writeStandardError(Env& env, std::string_view text) {
  while (!text.empty()) {
    SysResult r = env.writeStderr(text.data(), text.size());
    if (!r.ok()) {
      if (r.error == EINTR) continue;
      return;
    }
    const std::optional<std::size_t> count = checkedCount(r, text.size());
    if (!count || *count == 0) return;
    text.remove_prefix(*count);
  }
}

}  // namespace

int runProgram(Env& env, std::span<const std::string_view> arguments) {
  CommandLine parsed = parseCommandLine(arguments);
  if (std::holds_alternative<HelpRequest>(parsed)) {
    writeStandardError(env, kUsageText);
    return 0;
  }
  if (auto* error = std::get_if<CommandLineError>(&parsed)) {
    writeStandardError(env, formatReport(plainError(error->message), env));
    return 1;
  }
  Result<Done, TopLevelError> run = runCollection(env, std::get<Options>(parsed));
  if (!run.ok()) {
    writeStandardError(env, formatReport(run.error(), env));
    return 1;
  }
  return 0;
}

}  // namespace wirelens
