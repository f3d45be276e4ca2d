// The main configuration file (record range, filter file, debug, strict, filler and resync
// switches) and the filter file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/run_settings.h"
#include "tags/tag_tree.h"

namespace orvalis {

// Reads the file named by ConfigFileName into the settings, then takes the keys that long options
// of the command line set (settings.Keys), which win over the file's lines. Returns 0 when the
// file was read, -1 when it could not be opened or held in memory (after its message, errno telling why); the
// settings are then incomplete. Bad lines do not fail it.
int ReadMainConfig(RunSettings& settings);

// Reads the filter file named by FilterFileName and marks the named tags of the tree with their
// filter values; filterCount becomes the number of accepted lines. Returns 0 when the file was
// read, -1 when it could not be opened or held in memory (after its message, errno telling why):
// then no tag is marked and filterCount is 0.
int ReadFilterFile(const RunSettings& settings, TBranch& root, uint32_t& filterCount);

// The two readers' work on a file's text, once it is in memory; fileName is used in messages.
void ApplyMainConfigText(RunSettings& settings, std::string_view text);
uint32_t ApplyFilterText(const std::string& fileName, std::string_view text, TBranch& root);

}  // namespace orvalis
