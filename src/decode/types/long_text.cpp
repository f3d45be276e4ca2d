#include "decode/types/long_text.h"

namespace orvalis {

void ChunkedSearch::Feed(std::string_view chunk) {
  if (found_) return;
  const std::size_t keep = wanted_.size() - 1;
  if (!tail_.empty()) {
    // A match that begins in the text fed before and ends in this chunk.
    const std::string joint = tail_ + std::string(chunk.substr(0, keep));
    if (joint.find(wanted_) != std::string::npos) {
      found_ = true;
      return;
    }
  }
  if (chunk.find(wanted_) != std::string_view::npos) {
    found_ = true;
    return;
  }
  if (chunk.size() >= keep) {
    tail_.assign(chunk.substr(chunk.size() - keep));
  } else {
    tail_.append(chunk);
    if (tail_.size() > keep) tail_.erase(0, tail_.size() - keep);
  }
}

}  // namespace orvalis
