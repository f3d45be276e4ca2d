// The output formats: what each is called, the default name of its output, which writer the walk
// drives and what the run does before the walk.
#pragma once

#include <string>
#include <string_view>

#include "decode/walk/stretch_walk.h"
#include "decode/walk/walk_state.h"

namespace orvalis {

struct OutputFormatRow {
  const char* Name;       // as -x and OutputFormat name it; empty for the debug dump, which -d chooses
  const char* Extension;  // appended to the input's name when -o names no output
  OutputFormat Writer;    // the record writer the walk is told of (WalkSettings::Format)
  bool Dump;              // the debug dump (WalkSettings::DebugMode)
  bool HasColumns;        // the columns of the dictionary, chosen by Columns, are made before the walk
  ElementsWalk Walk;      // walks the top-level elements up to an offset
  // What the output or the dictionary needs before the walk (the CSV header row, the JSON keys);
  // may be null.
  void (*BeforeWalk)(WalkContext& walk);
  void (*AfterWalk)(WalkContext& walk);  // ends the line under way (complete or stopped); may be null
};

// The format of a name as -x or OutputFormat gives it (an empty name: the readable text); null
// for an unknown name.
const OutputFormatRow* FindOutputFormat(std::string_view name);

// The format that debug mode writes instead of `chosen`: the debug dump for the readable text,
// null for a format that debug mode cannot write.
const OutputFormatRow* InDebugMode(const OutputFormatRow& chosen);

// The names that FindOutputFormat knows, as the message of an unknown name lists them:
// "text, jsonl or csv".
std::string OutputFormatNames();

// The format whose writer a walk's settings name (debug mode: the debug dump).
const OutputFormatRow& OutputFormatOfWalk(const WalkSettings& settings);

}  // namespace orvalis
