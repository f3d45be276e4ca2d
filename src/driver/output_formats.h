// The output formats: what each is called and how the usage text tells it, the default name of its
// output and the walk with its writer. A new format is a writer in decode/writers/ and a row here
// (and its name in the README and the manual page, which a unit test compares with the rows).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "decode/walk/walk_state.h"
#include "decode/walk/writer.h"
#include "decode/writers/csv_writer.h"

namespace orvalis {

struct OutputFormatRow {
  const char* Name;       // as -x and OutputFormat name it; empty for the debug dump, which -d chooses
  const char* Gloss;      // in brackets after the name in the usage text ("JSON Lines"), unless the row is
                          // the default, which says "default" there; empty for none
  bool Default;           // chosen when neither -x nor OutputFormat names one (exactly one row)
  const char* Extension;  // appended to the input's name when -o names no output
  bool Dump;              // the debug dump
  bool HasColumns;        // the columns of the dictionary, chosen by Columns, are made before the walk
  // The walk with the format's writer; `columns` are the chosen columns of a format that has
  // them (all the dictionary's when null). What the output needs before the walk (the CSV header
  // row) is written here.
  std::unique_ptr<FormatWalk> (*Start)(WalkContext& walk, std::shared_ptr<const CsvLayout> columns);
};

// The JSON lines of the fields outside records alone, for a run's manifest: no format of the
// table, which -x cannot choose.
const OutputFormatRow& OutsideFieldsFormat();

// The format of a name as -x or OutputFormat gives it (an empty name: the readable text); null
// for an unknown name.
const OutputFormatRow* FindOutputFormat(std::string_view name);

// The format that debug mode writes instead of `chosen`: the debug dump for the readable text,
// null for a format that debug mode cannot write.
const OutputFormatRow* InDebugMode(const OutputFormatRow& chosen);

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
