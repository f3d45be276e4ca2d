// The summary line of quiet mode and the exit status of a run.
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "driver/run_parts.h"

namespace orvalis {
namespace {

bool HadProblems(const RunReport& report) {
  if (report.Counts.TagsNotFound != 0 || report.Counts.RefusedPieces != 0 || report.Counts.Damages != 0 ||
      report.Counts.PastHolder != 0 || report.Counts.ValuesWithoutColumn != 0 || report.OutsideNotRead != 0 ||
      report.Counts.Frames.Problems()) {
    return true;
  }
  for (int problem = 0; problem < static_cast<int>(Problem::kCount); ++problem) {
    if (ProblemCount(static_cast<Problem>(problem)) != 0) return true;
  }
  return false;
}

// The summary line:
// orvalis: IN -> OUT (FORMAT): R records read, W written, T tags not found, P refused pieces, D bad dictionary
// lines, C bad configuration lines, F bad filter lines, L files with bare line feeds, U filter
// files not read, [G damages, first at offset O, ][N values not in the CSV, ][V values without a
// column, ][E elements past their holder, ][the counts of a file of CDRs, ]END (the damages with
// Resync only, the values in CSV only, the values without a column when V is not 0, the elements
// when E is not 0, each count of a file of CDRs when it is not 0)
void FormatSummaryCounts(const RunSettings& settings, const RunReport& report, FixedLine& line) {
  const WalkCounts& counts = report.Counts;
  line.Add("orvalis: ");
  if (report.Inputs != 0) {
    line.AddNumber(report.Inputs);
    line.Add(report.Inputs == 1 ? " input" : " inputs");
  } else {
    line.AddName(settings.InputFileName, "(no input)");
  }
  line.Add(" -> ");
  line.AddName(settings.OutputFileName, "(no output)");
  line.Add(" (");
  line.Add(report.Format != nullptr ? report.Format->Title : "no format");
  line.Add("): ");
  line.AddNumber(report.RecordsRead);
  line.Add(" records read, ");
  line.AddNumber(report.RecordsRead - counts.RecordsOutOfRange - counts.RecordsFilteredOut);
  line.Add(" written, ");
  line.AddNumber(counts.TagsNotFound);
  line.Add(" tags not found, ");
  line.AddNumber(counts.RefusedPieces);
  line.Add(" refused pieces, ");
  line.AddNumber(ProblemCount(Problem::kBadDictionaryLine));
  line.Add(" bad dictionary lines, ");
  line.AddNumber(ProblemCount(Problem::kBadConfigLine));
  line.Add(" bad configuration lines, ");
  line.AddNumber(ProblemCount(Problem::kBadFilterLine));
  line.Add(" bad filter lines, ");
  line.AddNumber(ProblemCount(Problem::kBareLineFeeds));
  line.Add(" files with bare line feeds, ");
  line.AddNumber(ProblemCount(Problem::kFilterNotRead));
  line.Add(" filter files not read, ");
}

// What a file of CDRs promised and did not hold, each count when it is not 0.
void FormatFrameCounts(const FrameCounts& frames, FixedLine& line) {
  const struct {
    uint64_t Count;
    const char* Words;
  } counts[] = {
      {frames.NotBer, " CDRs not in BER, "},
      {frames.LengthsDisagreeing, " CDR lengths that disagree, "},
      {frames.FileLengthsDisagreeing, " file lengths that disagree, "},
      {frames.CdrCountsDisagreeing, " CDR counts that disagree, "},
      {frames.FilesWithLostCdrs, " files with lost CDRs, "},
      {frames.FilesClosedOnFault, " files closed on a fault, "},
      {frames.FilesWithoutHeader, " files without a CDR file header, "},
  };
  for (const auto& count : counts) {
    if (count.Count == 0) continue;
    line.AddNumber(count.Count);
    line.Add(count.Words);
  }
}

void FormatSummaryEnd(const RunSettings& settings, const RunReport& report, FixedLine& line) {
  const WalkCounts& counts = report.Counts;
  if (settings.Resync) {
    line.AddNumber(counts.Damages);
    line.Add(" damages, ");
    if (counts.Damages != 0 && report.Inputs == 0) {
      line.Add("first at offset ");
      line.AddNumber(counts.FirstDamageAt());
      line.Add(", ");
    }
  }
  if (report.Format != nullptr && report.Format->HasColumns) {
    line.AddNumber(counts.ValuesNotInCsv);
    line.Add(" values not in the CSV, ");
  }
  if (counts.ValuesWithoutColumn != 0) {
    line.AddNumber(counts.ValuesWithoutColumn);
    line.Add(" values without a column, ");
  }
  if (counts.PastHolder != 0) {
    line.AddNumber(counts.PastHolder);
    line.Add(" elements past their holder, ");
  }
  FormatFrameCounts(counts.Frames, line);
  FormatEnd(report, line);
  line.Add("\n");
}

}  // namespace

void FormatSummary(const RunSettings& settings, const RunReport& report, FixedLine& line) {
  FormatSummaryCounts(settings, report, line);
  FormatSummaryEnd(settings, report, line);
}

// END of the summary line.
void FormatEnd(const RunReport& report, FixedLine& line) {
  const WalkCounts& counts = report.Counts;
  switch (report.End) {
    case RunEnd::kNotStarted: line.Add("not started"); break;
    case RunEnd::kFailed: line.Add("failed"); break;
    case RunEnd::kCutShort: line.Add("input cut short"); break;
    case RunEnd::kGrew: line.Add("input grew"); break;
    case RunEnd::kSomeInputsFailed:
      line.AddNumber(report.InputsFailed);
      line.Add(" of ");
      line.AddNumber(report.Inputs);
      line.Add(" inputs not converted whole");
      break;
    case RunEnd::kNotInflated:
      line.Add(report.Inflate == InflateFault::kTooLarge ? "compressed input too large"
               : report.Inflate == InflateFault::kCutShort ? "compressed input cut short"
                                                          : "compressed input corrupt");
      break;
    case RunEnd::kCompleted: line.Add(HadProblems(report) ? "completed with problems" : "completed"); break;
    case RunEnd::kStopped:
      line.Add("stopped at offset ");
      line.AddNumber(report.StopOffset);
      line.Add(", last complete record ");
      line.AddNumber(counts.RecordsCompleted < report.RecordsRead ? counts.RecordsCompleted : report.RecordsRead);
      break;
  }
}

// The summary line of quiet mode, on standard error, on a line of its own.
void PrintSummary(const RunSettings& settings, const RunReport& report) {
  FixedLine line;
  if (!ErrorStreamAtLineStart()) line.Add("\n");
  FormatSummary(settings, report, line);
  std::fflush(stdout);
  SayOnErrorStream(std::string_view(line.Text(), line.Size()));
}

// The strict status: a run that completed with problems ends with status 1; so does a run that
// went on after damage (Resync) to the input's end.
constexpr int kCompletedWithProblems = 1;

int FinalStatus(const RunSettings& settings, const RunReport& report, int status) {
  if (status == 0 && settings.Strict && HadProblems(report)) status = kCompletedWithProblems;
  if (status == 0 && report.Counts.Damages != 0) status = kCompletedWithProblems;
  return status;
}

// The worse of two statuses: 0, then 1, then -1.
int WorseStatus(int a, int b) {
  if (a == -1 || b == -1) return -1;
  return a > b ? a : b;
}

}  // namespace orvalis
