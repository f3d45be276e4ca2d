#include "decode/writers/record_walker.h"

#include "decode/writers/text_writer.h"

namespace orvalis {

int WalkTextElements(WalkContext& walk, uint64_t end) { return WalkTopLevel<TextWriter>(walk, end); }

}  // namespace orvalis
