#include "decode/writers/record_line.h"

namespace orvalis {

template void FeedFilter<ValueTypes>(WalkContext& walk, const TItem& item, const uint8_t* octets, uint64_t length);

}  // namespace orvalis
