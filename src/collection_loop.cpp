#include "collection_loop.h"

namespace wirelens {

std::uint32_t intervalMilliseconds(const Interval& interval) {
  return static_cast<std::uint32_t>(interval.seconds * 1000u + interval.nanoseconds / 1000000u);
}

Result<Done, TopLevelError> runCollection(Env&, const Options&) {
  return Done{};
}

}  // namespace wirelens
