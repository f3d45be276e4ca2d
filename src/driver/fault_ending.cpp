// The end of a run after a fault in reading a mapped input, from the signal handler.
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstring>

#include "driver/run_parts.h"

namespace orvalis {

FaultEnding gFaultEnding;

// After a fault in reading a mapped input, in the signal handler (after the cut-short message):
// the output takes its name after the format's trailer, as when a shortened input is found at the
// end of the walk, and the summary line of quiet mode follows with the counts that the walk had
// reached.
void EndAfterInputFault() {
  const FaultEnding& ending = gFaultEnding;
  if (ending.Output != nullptr) {
#ifndef _WIN32
    const std::size_t size = ending.Format != nullptr ? std::strlen(ending.Format->Trailer) : 0;
    if (size != 0 && ending.OutputDescriptor >= 0) {
      const ssize_t written = write(ending.OutputDescriptor, ending.Format->Trailer, size);
      (void)written;  // the output takes its name in any case, as the text before it did
    }
#endif
    ending.Output->CommitFromSignalHandler();
  }
  RemoveTemporariesFromSignalHandler();  // the manifest's: the run ends without its line
#ifndef _WIN32
  if (ending.Settings == nullptr || !ending.Settings->Quiet || ending.Walk == nullptr) return;
  RunReport report;
  report.End = RunEnd::kCutShort;
  report.Format = ending.Format;
  report.RecordsRead = ending.Walk->State.RecordCount;
  report.Counts = ending.Walk->Counts;
  FixedLine line;
  FormatSummary(*ending.Settings, report, line);
  const ssize_t written = write(STDERR_FILENO, line.Text(), line.Size());
  (void)written;
#endif
}

}  // namespace orvalis
