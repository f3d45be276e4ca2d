// JSON Lines: a line per record written, {"v":1,"record":N,"offset":O,"path":"P","fields":{...}},
// and a line with "record":null for the text that the readable output holds outside any record (a
// file header, a block's own fields), and for damage passed over.
#pragma once

#include <memory>
#include <string>

#include "decode/types/value_types.h"
#include "decode/walk/writer.h"
#include "tags/tag_tree.h"

namespace orvalis {

// The walk into JSON Lines over the dictionary `root` (which must outlive it).
std::unique_ptr<FormatWalk> JsonLinesWalk(WalkContext& walk, const TBranch& root);

// False, with `problem` naming both paths, when two members of one object would have one key: a
// field "X_hex" beside a String field "X" (whose octets after a NUL go under "X_hex"), or "X#N"
// beside a field "X" (whose N-th occurrence is keyed so). String fields are those of a type of
// `types` that writes its octets beside.
bool JsonKeysAreSound(const TBranch& root, std::string& problem, const ValueTypeCatalog& types = ValueTypes::Catalog());

// The walk into the JSON lines of the fields outside records alone (a file header, a block's own
// fields, a trailer), for a run's manifest.
std::unique_ptr<FormatWalk> OutsideFieldsWalk(WalkContext& walk, const TBranch& root);

}  // namespace orvalis
