// Host facts for every document's metadata: the host name and the OS release, looked up
// afresh in each pass. Lookups never fail a pass: whatever goes wrong, the fact reads
// "unknown".
#pragma once

#include <string>

#include "platform/env.h"

namespace wirelens {

// The host name, decoded lossily as UTF-8; "unknown" when it cannot be read or its text
// cannot get its memory (and likewise below).
std::string lookupHostName(Env& env);

// "FreeBSD " and the kern.osrelease text without its trailing zeros; "unknown" (no prefix)
// when the value cannot be read.
std::string lookupOsVersion(Env& env);

}  // namespace wirelens
