// The state of a walk over the input, shared by the record walker and the debug walker, and the
// record buffer through which every record's text reaches the output file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "common/text_buffer.h"
#include "common/text_format.h"
#include "decode/byte_cursor.h"
#include "tags/tag_tree.h"

namespace orvalis {

// What a walk takes from the run's settings.
struct WalkSettings {
  bool DebugMode = false;
  bool RangeActive = false;
  uint32_t StartRec = 0;  // compared as unsigned
  uint32_t EndRec = 0;
  uint32_t FilterCount = 0;  // accepted filter lines; 0 without a filter
};

struct WalkState {
  TagPath Path;  // Path.Depth is the depth of the element being read
  bool Lost = true;  // the next lookup goes by the whole path from the root
  TBranch* CurrentBranch = nullptr;
  TLeaf* CurrentLeaf = nullptr;
  uint32_t RecordCount = 0;
  bool SkipRecord = false;
  int SkipDepth = 0;  // depth of the record being skipped
  int LastPercent = 0;
  TextBuffer RecordBuffer;
  bool RecordPasses = true;
  uint32_t FilteredTagsSeen = 0;
};

// Everything one walk works on: the input, the dictionary, the state, the formatting buffers and
// the output file.
struct WalkContext {
  WalkContext(const WalkSettings& settings, const uint8_t* data, uint64_t size, TBranch& root,
              std::FILE* output);

  WalkSettings Settings;
  ByteCursor Input;
  TBranch* Root;
  std::FILE* Output;
  WalkState State;
  TextBuffer ValueText;  // the piece being formatted; after a value, the value's own text
  TextBuffer DumpLine;   // the debug dump's line being formatted
};

// The longest piece that AppendToRecord takes.
constexpr std::size_t kMaxPieceLength = 2047;

// Says on the console that a piece was refused.
int RefusePiece();

// Appends a piece to the record's text. A piece longer than kMaxPieceLength is refused with a
// message on standard output: the result is then -1 and the record is unchanged.
inline int AppendToRecord(WalkContext& walk, std::string_view piece) {
  if (piece.size() > kMaxPieceLength) return RefusePiece();
  walk.State.RecordBuffer.append(piece);
  return 0;
}

// The path of the element being read as text, each tag number followed by a full stop: "1.3.5.".
template <typename Text>
void AppendTagPathText(Text& out, const TagPath& path) {
  for (int level = 0; level <= path.Depth; ++level) {
    AppendDecimal(out, static_cast<int64_t>(path.Ids[level]));
    out.push_back('.');
  }
}
std::string TagPathText(const TagPath& path);

// Writes the record's text to the output file when it passed the filter, then empties it.
void WriteOutRecord(WalkContext& walk);

// Writes whatever the record's text holds to the output file and empties it.
void WriteRecordBuffer(WalkContext& walk);

}  // namespace orvalis
