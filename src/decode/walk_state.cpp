#include "decode/walk_state.h"

namespace orvalis {
namespace {

constexpr std::size_t kRecordBufferReserve = 100000;
constexpr std::size_t kValueTextReserve = 2048;
constexpr std::size_t kDumpLineReserve = 1000;

}  // namespace

WalkContext::WalkContext(const WalkSettings& settings, const uint8_t* data, uint64_t size,
                         TBranch& root, std::FILE* output)
    : Settings(settings), Input(data, size), Root(&root), Output(output) {
  State.CurrentBranch = &root;
  State.CurrentLeaf = root.First;
  State.RecordBuffer.reserve(kRecordBufferReserve);
  ValueText.reserve(kValueTextReserve);
  DumpLine.reserve(kDumpLineReserve);
}

int RefusePiece() {
  std::fputs("Error: length of current record more than 2048 bytes.\n", stdout);
  return -1;
}

std::string TagPathText(const TagPath& path) {
  std::string text;
  AppendTagPathText(text, path);
  return text;
}

void WriteRecordBuffer(WalkContext& walk) {
  TextBuffer& text = walk.State.RecordBuffer;
  std::fwrite(text.data(), 1, text.size(), walk.Output);
  text.clear();
}

void WriteOutRecord(WalkContext& walk) {
  WalkState& state = walk.State;
  if (state.RecordPasses && state.FilteredTagsSeen == walk.Settings.FilterCount) {
    if (!state.RecordBuffer.empty()) WriteRecordBuffer(walk);
  } else {
    state.RecordBuffer.clear();  // a record that failed the filter is dropped
  }
}

}  // namespace orvalis
