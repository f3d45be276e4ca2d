// Reading the tag dictionary: Tags.cfg in the working directory, or the file named with -t.
#pragma once

#include <string>
#include <string_view>

#include "tags/tag_tree.h"

namespace orvalis {

// The dictionary file's default name.
constexpr const char* kTagsFileName = "Tags.cfg";

// Fills the tree from the dictionary file; its Type parameters may name the value types that the
// root's Types give (none when it gives none). Returns 0 when the file was read to its end, -1 when it
// could not be opened or held in memory (after its message, errno telling why): the tree is then
// incomplete and must not be used. Bad lines are reported and skipped.
int ReadTagsConfig(TBranch& root, const std::string& fileName = kTagsFileName);

// Fills the tree from the text of a Tags.cfg file.
void ApplyTagsText(TBranch& root, std::string_view text);

// Applies one line of Tags.cfg (without its line end) to the tree. Exposed for the tests.
void ApplyTagsLine(TBranch& root, std::string_view line);

}  // namespace orvalis
