// The main configuration file (record range, filter file, debug switch) and the filter file.
#pragma once

#include <cstdint>

#include "driver/run_settings.h"
#include "tags/tag_tree.h"

namespace orvalis {

// Reads the file named by ConfigFileName into the settings. Returns 0 when the file was read,
// -1 when it could not be opened or buffered (after its message). Bad lines do not fail it.
int ReadMainConfig(RunSettings& settings);

// Reads the filter file named by FilterFileName and marks the named tags of the tree with their
// filter values; filterCount becomes the number of accepted lines. Returns 0 when the file was
// read, -1 when it could not be opened or buffered.
int ReadFilterFile(const RunSettings& settings, TBranch& root, uint32_t& filterCount);

}  // namespace orvalis
