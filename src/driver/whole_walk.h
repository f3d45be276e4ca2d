// The walk of a whole input in one output format, shared by two threads where it may be.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "decode/walk/stretch_walk.h"
#include "decode/walk/walk_state.h"
#include "driver/output_formats.h"

namespace orvalis {

// Walks from the read position to the input's end with the writer of `format` (`setup`: what its
// Prepare made, if it ran). Returns 0 at the end, -1 when an element stopped the
// walk (after its message). What the last record holds is left for WriteOutLastRecord. `report`
// tells how a shared walk went.
int WalkWholeInput(WalkContext& walk, const OutputFormatRow& format, StretchWalkReport* report = nullptr,
                   const FormatSetup& setup = nullptr);

// The same, in the format that walk.Settings names.
int WalkWholeInput(WalkContext& walk, StretchWalkReport* report = nullptr);

// The fields outside records of the `size` octets at `data` as JSON Lines writes them, for a run's
// manifest: a walk of their own over every record with the writer of those fields, whatever format
// `settings` name (no range, no filter, no source name, whatever they say; Resync, SkipFiller and
// an input that ends early as they say), its messages dropped. The text is kept in `text` up to `keep` octets and dropped past them as it comes.
void WalkOutsideFields(WalkSettings settings, const uint8_t* data, uint64_t size, TBranch& root, std::string& text,
                       std::size_t keep);

}  // namespace orvalis
