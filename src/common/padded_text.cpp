#include "common/padded_text.h"

#include <ostream>

namespace orvalis {

std::ostream& operator<<(std::ostream& out, const PaddedText& text) { return out << text.view(); }

}  // namespace orvalis
