#include "decode/writers/record_line.h"

namespace orvalis {

void ApplyFilterToText(WalkContext& walk, const TItem& item, uint64_t length) {
  const std::size_t mark = walk.State.RecordBuffer.size();
  if (length >= kLongValue) {
    DecodeLongValue(walk, item, length, false);
  } else {
    DecodeValue(walk, item, length);
  }
  walk.State.RecordBuffer.truncate(mark);
}

}  // namespace orvalis
