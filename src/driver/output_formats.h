// The output formats: what each is called and how the usage text tells it, the default name of its
// output, what it makes before the walk, the walk with its writer and what ends its output. A new
// format is a writer in decode/writers/ and a row here (and its name in the README and the manual
// page, which a unit test compares with the rows).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "decode/walk/walk_state.h"
#include "decode/walk/writer.h"
#include "decode/writers/csv_layout.h"
#include "driver/run_settings.h"
#include "tags/tag_tree.h"

namespace orvalis {

// What a format makes once a run, before its output is opened, for every walk of the run (the CSV
// columns): of the format's own type, which only its row's Prepare and Start know; null for none.
using FormatSetup = std::shared_ptr<const void>;

struct OutputFormatRow {
  const char* Name;       // as -x and OutputFormat name it; empty for the debug dump, which -d chooses
  const char* Gloss;      // in brackets after the name in the usage text ("JSON Lines"), unless the row is
                          // the default, which says "default" there; empty for none
  bool Default;           // chosen when neither -x nor OutputFormat names one (exactly one row)
  const char* Extension;  // appended to the input's name when -o names no output
  const char* Title;      // the format in the summary line and the manifest ("dump")
  bool Dump;              // written in debug mode (-d) instead of the default: the debug dump
  // The dictionary's columns, chosen by Columns: made before the output is opened (the dictionary
  // is read for them even when the main configuration file was not), and the summary line and the
  // manifest count the values that are in none of them.
  bool HasColumns;
  // Before the output is opened, from the dictionary and the run's settings: the setup that every
  // walk of the run shares. False, after its message, when the format cannot be written from this
  // dictionary. Null: nothing to make or check.
  bool (*Prepare)(const RunSettings& settings, const TBranch& root, FormatSetup& setup);
  // The walk with the format's writer, from what Prepare made (null when it did not run: the
  // format makes its own from the dictionary). What the output needs before the first record (the
  // CSV header row) is written here when the walk begins an output.
  std::unique_ptr<FormatWalk> (*Start)(WalkContext& walk, const FormatSetup& setup);
  // Written once at the end of an output that a walk wrote into, after the text of its last input,
  // on every path that gives the output its name (the ending after an input fault included): a
  // document's closing tag. Empty for none.
  const char* Trailer;
  // The format's output is read by its records (the readable text): a dictionary that declares no
  // record start that its walk opens is warned of before the walk, a problem under -s.
  bool WantsRecordStart = false;
  // After the walk: the fields whose values the walk counted without a column (the CSV's
  // FieldsWithoutColumn), from the walk's counts and what Prepare made. Null: it counts none.
  std::vector<FieldWithoutColumn> (*FieldsWithoutColumn)(const WalkContext& walk, const FormatSetup& setup) = nullptr;
};

// The formats a run knows: the program's, or a test's with rows of its own. The named ones in the
// order of their lists (exactly one the default), then the debug dump.
struct FormatList {
  const OutputFormatRow* First;
  std::size_t Count;  // the dump included
};

// The formats that the lookups below use, while an object of this class lives (for a test's run
// with rows of its own); the program's otherwise.
class FormatsInUse {
 public:
  explicit FormatsInUse(FormatList formats);
  ~FormatsInUse();
  FormatsInUse(const FormatsInUse&) = delete;
  FormatsInUse& operator=(const FormatsInUse&) = delete;

 private:
  FormatList before_;
};

// How the walk reads identifier octets: of any length with LongTagNumbers=true or when the
// dictionary declares a tag number above 127, else as files were always read.
IdentifierRule IdentifiersOf(const RunSettings& settings, const TBranch& root);

// False, after its message and a hint at -t and -c on standard error, when the dictionary
// declares no path that an element can have: it would name nothing (a main configuration file
// named as the dictionary, say). Every format but the debug dump needs one.
bool DictionaryNamesElements(const RunSettings& settings, const TBranch& root);

// What the dictionary lacks for the format (a record start for a format that wants one, any path
// for the debug dump), said as a warning and counted as a problem; nothing when it lacks nothing.
void WarnOfWhatDictionaryLacks(const OutputFormatRow& format, const RunSettings& settings, const TBranch& root);

// The CSV columns of the dictionary, named as ColumnNames says and chosen by Columns. False, after
// its message on standard error, when the dictionary declares no record start (a CSV of no row),
// its columns cannot be loaded as they are or Columns names one that is not a column.
bool ChooseColumns(const RunSettings& settings, const TBranch& root, CsvLayout& layout);

// The JSON lines of the fields outside records alone, for a run's manifest: no format of the
// table, which -x cannot choose.
const OutputFormatRow& OutsideFieldsFormat();

// The format of a name as -x or OutputFormat gives it (an empty name: the readable text); null
// for an unknown name.
const OutputFormatRow* FindOutputFormat(std::string_view name);

// The format that debug mode writes instead of `chosen`: the debug dump for the readable text,
// null for a format that debug mode cannot write.
const OutputFormatRow* InDebugMode(const OutputFormatRow& chosen);

// The debug dump's row.
const OutputFormatRow& DumpFormat();

// The formats that -x and OutputFormat can name, in the order their lists give them.
struct NamedFormats {
  const OutputFormatRow* First;
  const OutputFormatRow* Last;  // one past the last
  const OutputFormatRow* begin() const { return First; }
  const OutputFormatRow* end() const { return Last; }
};
NamedFormats NamedOutputFormats();

// The names that FindOutputFormat knows, as the message of an unknown name lists them:
// "text, jsonl or csv".
std::string OutputFormatNames();

// The same list as the usage text's line of -x gives it, the default marked and the others with
// their gloss: "text (default), jsonl (JSON Lines) or csv".
std::string OutputFormatUsage();

// The format whose writer a walk's settings name (debug mode: the debug dump).
const OutputFormatRow& OutputFormatOfWalk(const WalkSettings& settings);

}  // namespace orvalis
