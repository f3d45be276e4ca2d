// The debug-mode walk: the same walk as the readable text's, explaining every identifier and
// length octet bit by bit, with the contents in hexadecimal and the decoded value.
#pragma once

#include <memory>

#include "decode/walk/writer.h"

namespace orvalis {

// The walk into the debug dump.
std::unique_ptr<FormatWalk> DumpWalk(WalkContext& walk);

}  // namespace orvalis
