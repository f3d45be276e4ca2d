// Micro-benchmarks of the conversion's hot paths: the walk of one record, each value decoder and
// the write-out of a record. `make micro` builds and runs them.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "decode/writers/text_writer.h"
#include "decode/types/value_types.h"
#include "decode/walk/walk_state.h"
#include "debugdump/debug_walker.h"
#include "tags/tags_reader.h"

namespace orvalis {
namespace {

// A dictionary of one record tag with a value of every type.
constexpr const char kDictionary[] =
    "1.TagName=record\r\n1.LongTagName=\\nCall record\r\n"
    "1.1.TagName=start\r\n1.1.LongTagName=\\tStart:\\t\\t\r\n1.1.Type=DateTime\r\n"
    "1.2.TagName=exchange\r\n1.2.LongTagName=\\tExchange:\\t\r\n1.2.Type=String\r\n"
    "1.3.TagName=calling\r\n1.3.LongTagName=\\tCalling:\\t\r\n1.3.Type=Number\r\n"
    "1.4.TagName=reference\r\n1.4.LongTagName=\\tReference:\\t\r\n1.4.Type=HexNumber\r\n"
    "1.5.TagName=sequence\r\n1.5.LongTagName=\\tSequence:\\t\r\n1.5.Type=DecNumber\r\n"
    "1.6.TagName=kind\r\n1.6.LongTagName=\\tKind:\\t\\t\r\n1.6.Type=ValFromIndexedArr\r\n"
    "1.6.IndArr=Outgoing,Incoming,Transit,Forwarded\r\n"
    "1.7.TagName=cause\r\n1.7.LongTagName=\\tCause:\\t\\t\r\n1.7.Type=ValFromNonIndexedArr\r\n"
    "1.7.NonIndArr=16,Normal call clearing;17,User busy;19,No answer from user\r\n"
    "1.8.TagName=duration\r\n1.8.LongTagName=\\tDuration:\\t\r\n1.8.Type=Duration\r\n"
    "1.9.TagName=line\r\n1.9.LongTagName=\\tLine code:\\t\r\n1.9.Type=LineCode\r\n"
    "1.10.TagName=dialled\r\n1.10.LongTagName=\\tDialled:\\t\r\n1.10.Type=ReceivedDigits\r\n";

// One record holding one value of every type, in the order of the dictionary.
const std::vector<uint8_t> kRecord = {
    0xA1, 0x3F,                                            // record, 63 octets
    0x81, 0x07, 0x06, 0x04, 0x23, 0x09, 0x57, 0x05, 0x12,  // DateTime
    0x82, 0x0A, 'N', 'O', 'R', 'T', 'H', 'G', 'A', 'T', 'E', '1',
    0x83, 0x07, 0x83, 0x10, 0x21, 0x43, 0x65, 0x87, 0xF9,  // Number
    0x84, 0x04, 0xA7, 0xA3, 0x0A, 0xAC,                    // HexNumber
    0x85, 0x02, 0x01, 0x02,                                // DecNumber
    0x86, 0x01, 0x01,                                      // ValFromIndexedArr
    0x87, 0x01, 0x10,                                      // ValFromNonIndexedArr
    0x88, 0x03, 0x05, 0x7E, 0x40,                          // Duration
    0x89, 0x03, 0x21, 0x0B, 0x05,                          // LineCode
    0x8A, 0x06, 0x04, 0x05, 0x35, 0x24, 0x05, 0x24,        // ReceivedDigits
};

struct Bench {
  Bench() : root(nullptr), output(std::fopen("/dev/null", "wb")) {
    root.Types = ValueTypes::Names();
    ApplyTagsText(root, kDictionary);
  }
  ~Bench() { std::fclose(output); }
  TBranch root;
  std::FILE* output;
};

Bench& Shared() {
  static Bench bench;
  return bench;
}

void WalkOneRecord(benchmark::State& state, bool debug) {
  Bench& bench = Shared();
  WalkSettings settings;
  settings.DebugMode = debug;
  WalkContext walk(settings, kRecord.data(), kRecord.size(), bench.root, bench.output);
  const std::unique_ptr<FormatWalk> format = debug ? DumpWalk(walk) : TextWalk(walk);
  for (auto _ : state) {
    walk.Input = ByteCursor(kRecord.data(), kRecord.size());
    walk.State.LastPercent = 100;  // no progress display
    format->Elements(kRecord.size());
    benchmark::DoNotOptimize(walk.State.RecordBuffer.size());
    walk.State.RecordBuffer.clear();
    walk.State.RecordStart = 0;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRecord.size()));
}

void BM_WalkRecord(benchmark::State& state) { WalkOneRecord(state, false); }
void BM_DebugWalkRecord(benchmark::State& state) { WalkOneRecord(state, true); }
BENCHMARK(BM_WalkRecord);
BENCHMARK(BM_DebugWalkRecord);

// Decodes the value of tag 1.<tag> from the record above.
void BM_DecodeValue(benchmark::State& state) {
  Bench& bench = Shared();
  const int32_t tag = static_cast<int32_t>(state.range(0));
  std::size_t at = 2;
  while (kRecord[at] != (0x80 | tag)) at += 2 + kRecord[at + 1];
  const uint64_t length = kRecord[at + 1];
  const TItem& item = bench.root.FindById(1)->Child->FindById(tag)->Item;
  state.SetLabel(item.TagName ? *item.TagName : "");
  WalkContext walk(WalkSettings{}, kRecord.data(), kRecord.size(), bench.root, bench.output);
  const uint8_t* octets = kRecord.data() + at + 2;
  for (auto _ : state) {
    ValueTypes::Text(walk, item, octets, length);
    walk.State.RecordBuffer.clear();
    walk.State.RecordStart = 0;
  }
}
BENCHMARK(BM_DecodeValue)->DenseRange(1, 10);

// Writes out one record's text of about a kilobyte.
void BM_WriteOutRecord(benchmark::State& state) {
  Bench& bench = Shared();
  WalkContext walk(WalkSettings{}, kRecord.data(), kRecord.size(), bench.root, bench.output);
  const std::string text(1000, 'x');
  for (auto _ : state) {
    walk.State.RecordBuffer.append(text);
    WriteOutRecord(walk);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_WriteOutRecord);

}  // namespace
}  // namespace orvalis

BENCHMARK_MAIN();
