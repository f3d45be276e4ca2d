#include "decode/writers/record_line.h"

#include "decode/writers/record_text.h"

namespace orvalis {

void AppendRecordKindMember(TextBuffer& out, const TItem* record, const TagPath& path, int base) {
  if (record == nullptr) return out.append(",\"recordKind\":null");
  out.append(",\"recordKind\":");
  if (record->Kind) return AppendJsonName(out, *record->Kind);
  out.push_back('"');
  AppendRecordPath(out, path, base);
  out.push_back('"');
}

void AppendRecordPath(TextBuffer& out, const TagPath& path, int base) {
  for (int level = 0; level <= base; ++level) {
    if (level > 0) out.push_back('.');
    AppendPathComponent(out, path.Ids[level]);
  }
}

template void FeedFilter<ValueTypes>(WalkContext& walk, const TItem& item, const uint8_t* octets, uint64_t length);

}  // namespace orvalis
