// A normal-mode walk shared by two threads.
//
// The input is cut into stretches at the starts of top-level elements, found by following
// identifiers and lengths alone; the same scan counts the records before each stretch. Each
// thread walks every other stretch ahead of its turn, from the state the walk would be in at the
// stretch's start if the scan read the file as the walk does: at the top level, the next tag
// looked up from the root, the records counted so far. Its text and its messages are kept apart.
// In its turn (stretch after stretch, in input order) the thread checks that the walk in order
// stands where and as the stretch assumed: then the stretch's messages are shown and its text
// written, and the walk moves on to the stretch's end. Otherwise the walk goes on in order from
// there to the end of the input. Either way the output file and the console get the very bytes of
// a walk in order, while the two threads share the work.
#pragma once

#include "decode/walk/walk_state.h"
#include "decode/walk/writer.h"

namespace orvalis {

// True when a walk may be shared: a writer that may be (not the debug dump's), neither a record
// range nor a filter (whose decisions hang on every record before), an input of several
// stretches, and threads to be had.
bool CanWalkInStretches(const FormatWalk& format);

// How a shared walk went: the stretches taken over, and whether it went on in order before the
// input's end.
struct StretchWalkReport {
  uint64_t TakenOver = 0;
  bool WentOnInOrder = false;
};

// Walks the whole input as the text walk in order does, up to its end or the first element that
// returns -1, whose result it returns (0 otherwise). What the walk would leave in the record's
// text for WriteOutRecord is left there. An exception thrown by a step in order comes out of it.
// `format` is the walk with the run's writer; each thread's walk gets one of its own (For).
int WalkInStretches(FormatWalk& format, StretchWalkReport* report = nullptr);

}  // namespace orvalis
