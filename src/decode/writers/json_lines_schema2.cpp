// The JSON Lines walks of schema version 2, in a unit of their own (json_lines_schemas.h says why).
#include "decode/writers/json_lines_schemas.h"

namespace orvalis::json_lines {

std::unique_ptr<FormatWalk> LinesWalkOfSchema2(WalkContext& walk, const TBranch& root) {
  return std::make_unique<WalkOf<JsonLinesWriter<2>, JsonKeys>>(walk, std::make_shared<const JsonKeys>(root));
}

std::unique_ptr<FormatWalk> OutsideWalkOfSchema2(WalkContext& walk, const TBranch& root) {
  return std::make_unique<WalkOf<OutsideFieldsWriter<2>, JsonKeys>>(walk, std::make_shared<const JsonKeys>(root));
}

}  // namespace orvalis::json_lines
