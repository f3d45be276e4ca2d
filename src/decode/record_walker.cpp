#include "decode/record_walker.h"

#include "decode/text_writer.h"

namespace orvalis {

int WalkTextElements(WalkContext& walk, uint64_t end) { return WalkTopLevel<TextWriter>(walk, end); }

}  // namespace orvalis
