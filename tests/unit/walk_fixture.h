// Shared helpers for the unit tests: a dictionary from Tags.cfg lines, byte vectors, and a whole
// walk over a byte vector run the way the driver runs it, with output file and console captured.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "decode/walk/walk_state.h"
#include "decode/walk/writer.h"
#include "driver/whole_walk.h"
#include "decode/types/value_types.h"
#include "tags/tags_reader.h"

namespace orvalis::test {

using Bytes = std::vector<uint8_t>;

inline std::unique_ptr<TBranch> BuildDictionary(std::initializer_list<std::string_view> lines) {
  auto root = NewDictionary();
  for (std::string_view line : lines) ApplyTagsLine(*root, line);
  return root;
}

// The dictionary of the sample files of the whole-walk tests (records at the top level and in
// blocks), with the lines given added.
inline std::unique_ptr<TBranch> SampleDictionary(std::initializer_list<std::string_view> more = {}) {
  auto root = BuildDictionary({
      "1.TagName=record", "1.LongTagName=Record",
      "1.0.LongTagName=Call type:\\t", "1.0.Type=DecNumber",
      "1.33.LongTagName=Name:\\t", "1.33.Type=String",
      "1.2.LongTagName=Sub\\n", "1.2.3.LongTagName=Digits:\\t", "1.2.3.Type=ReceivedDigits",
      "2.TagName=block", "2.LongTagName=Block\\n",
      "2.1.TagName=record", "2.1.LongTagName=Record",
      "2.1.0.LongTagName=Call type:\\t", "2.1.0.Type=DecNumber",
  });
  for (std::string_view line : more) ApplyTagsLine(*root, line);
  return root;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

inline Bytes Repeat(std::size_t count, uint8_t octet) { return Bytes(count, octet); }

// One element: identifier octets, the shortest definite length, contents.
inline Bytes Tlv(Bytes identifier, const Bytes& contents) {
  Bytes length;
  for (uint64_t n = contents.size(); n != 0; n >>= 8) length.insert(length.begin(), static_cast<uint8_t>(n));
  if (contents.size() < 0x80) length = {static_cast<uint8_t>(contents.size())};
  else length.insert(length.begin(), static_cast<uint8_t>(0x80 | length.size()));
  return Cat({identifier, length, contents});
}

// A constructed element of indefinite length with its end-of-contents octets.
inline Bytes Indefinite(uint8_t identifier, const Bytes& contents) {
  return Cat({{identifier, 0x80}, contents, {0x00, 0x00}});
}

struct WalkResult {
  int Status = 0;        // the result of the last step (0 when no step ran)
  std::string Output;    // what reached the output file
  std::string Console;   // standard output
  uint32_t Records = 0;  // records counted
  uint64_t PastHolder = 0;  // nested elements walked past their holder
  WalkCounts Counts;        // all the walk counted
  FieldCounts FieldsWithoutColumn;  // and its values without a column, by field
  uint64_t TagsNotFoundInRecord = 0;  // since the last record start, as the walk ended
};

// Steps until the input is used up or a step returns -1, then writes out the last record, as the
// driver does. The input lies in a block of its exact size, so the address sanitizer reports any
// read past its end. With a stretch size, two threads share the walk where they may (stretches
// of that many octets), as the driver lets them; `report` tells how it went.
// With `format`, the walk is that writer's, in order, instead of the one the settings choose.
using FormatMaker = std::unique_ptr<FormatWalk> (*)(WalkContext& walk);
inline WalkResult RunWalk(TBranch& root, const Bytes& input, WalkSettings settings = {},
                          std::size_t outputBlockSize = kOutputBlockSize, uint64_t stretchSize = 0,
                          StretchWalkReport* report = nullptr, FormatMaker format = nullptr) {
  std::unique_ptr<uint8_t[]> image(new uint8_t[input.size() + (input.empty() ? 1 : 0)]);
  std::copy(input.begin(), input.end(), image.get());
  std::FILE* output = std::tmpfile();
  EXPECT_NE(output, nullptr);
  WalkResult result;
  testing::internal::CaptureStdout();
  {
    WalkContext walk(settings, image.get(), input.size(), root, output);
    walk.Destination = OutputPolicy::Written(outputBlockSize);
    walk.SpillSize = outputBlockSize;  // undecided text goes to the temporary file from the block size on
    walk.StretchSize = stretchSize;
    if (format != nullptr) {
      const std::unique_ptr<FormatWalk> walkOf = format(walk);
      result.Status = walkOf->Elements(input.size());
      walkOf->Finish();
    } else {
      result.Status = WalkWholeInput(walk, report);
    }
    WriteOutLastRecord(walk);
    result.Records = walk.State.RecordCount;
    result.PastHolder = walk.Counts.PastHolder;
    result.Counts = walk.Counts;
    result.FieldsWithoutColumn = walk.FieldsWithoutColumn;
    result.TagsNotFoundInRecord = walk.State.TagsNotFoundInRecord;
  }
  std::fflush(stdout);
  result.Console = testing::internal::GetCapturedStdout();
  std::rewind(output);
  char block[4096];
  for (std::size_t got; (got = std::fread(block, 1, sizeof block, output)) > 0;) result.Output.append(block, got);
  std::fclose(output);
  return result;
}

inline WalkSettings Debug(WalkSettings settings = {}) {
  settings.DebugMode = true;
  return settings;
}
inline WalkSettings Range(uint32_t startRec, uint32_t endRec) {
  WalkSettings settings;
  settings.RangeActive = true;
  settings.StartRec = startRec;
  settings.EndRec = endRec;
  return settings;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

constexpr std::string_view kEndOfInput = "Error: unexpected end of input file.\n\n";

}  // namespace orvalis::test
