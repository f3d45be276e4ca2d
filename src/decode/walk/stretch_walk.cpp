#include "decode/walk/stretch_walk.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "common/console.h"
#include "decode/ber/element_header.h"
#include "decode/ber/structure.h"
#include "decode/frames/cdr_frames.h"
#include "decode/walk/resync.h"
#include "decode/walk/walk_steps.h"
#include "decode/walk/writer.h"

#if ORVALIS_THREADS
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#endif

namespace orvalis {
namespace {

// Walks in order from the read position to the end of the input.
int WalkRestInOrder(FormatWalk& format) { return format.Elements(format.Walk.Input.End()); }

}  // namespace

#if ORVALIS_THREADS

namespace {

// An input shorter than this many stretches is walked by one thread.
constexpr uint64_t kFewestStretches = 8;
// A top-level element longer than this many stretches ends the sharing: what follows it is walked
// in order, so that no stretch's text outgrows the memory a walk in order needs.
constexpr uint64_t kLongestStretch = 8;
// A stretch whose text or messages grow beyond this (a stretch of filler or garbage, whose text is
// many times its size) is not walked ahead: the walk in order takes it, writing as it goes.
constexpr std::size_t kHeldStretchText = 2 << 20;

// ---- The plan of stretches -------------------------------------------------------------------

struct Stretch {
  uint64_t Begin = 0;
  uint64_t End = 0;
  uint32_t RecordsBefore = 0;  // the records the walk will have counted at Begin
};

// The scan of one top-level element: at most eight length octets (a longer long form ends the
// plan, and the walk goes on in order), no dictionary check, the records counted that the top level or a block
// holds as elements of their own. Only a block's contents of definite length are passed over
// element by element (read on, and required to end at the block's end); every other element of
// definite length is passed over at once. The scope is the branch whose records are counted: the
// root at depth 0, a block's at depth 1, null below; tags are found by class and number as the
// walk finds them, and an element whose contents are kept whole is no block. With Resync an
// identifier octet 00 in a block's contents of definite length ends the plan: the walk calls it
// damage.
struct PlanScan {
  using Scope = const TBranch*;
  // The most length octets that the scan follows.
  static constexpr int kLengthOctets = 8;
  static constexpr int kDeepest = kMaxDepth;
  static constexpr bool kBoundsContents = false;

  uint32_t Records = 0;
  bool Resync = false;
  IdentifierRule Identifiers = IdentifierRule::kOneSubsequentOctet;

  bool RefusesZeroIdentifier() const { return Resync; }
  static bool Spend() { return true; }
  Entry<Scope> Look(Scope branch, const ElementIdentifier& id, int depth) {
    const TLeaf* leaf = branch != nullptr ? branch->Find(id.TagId, ClassOfIdentifier(id.FirstOctet)) : nullptr;
    if (leaf == nullptr) return {};
    if (leaf->Item.OpensRecord) {
      ++Records;
      return {};
    }
    const bool block = depth == 0 && id.Constructed && leaf->Child && !leaf->Item.KeepsContents;
    return {true, block, block ? leaf->Child.get() : nullptr};
  }
};

// Moves past one top-level element, counting the records it is or holds as elements of its own.
// With SkipFiller, the filler before it is passed over with it, as the walk passes over it, so
// that no stretch begins inside a run of filler; filler up to the input's end is an element too.
bool ScanTopElement(ByteCursor& at, const TBranch& root, const WalkSettings& settings, uint32_t& records) {
  if (settings.SkipFiller) {
    for (FillerRun filler; (filler = FillerAt(at, root, settings.Identifiers)).Octets != 0;) {
      at.Skip(filler.Octets);
      if (filler.ElementFollows) break;
    }
    if (at.AtEnd()) return true;
  }
  PlanScan scan{records, settings.Resync, settings.Identifiers};
  StructureFault fault;
  if (!PassOverElement(at, 0, &root, scan, fault)) return false;
  records = scan.Records;
  return true;
}

// Moves past one CDR of a file of CDRs, as the walk reads it: a record of another format by its
// length, a BER record as ScanTopElement scans a top-level element, within the CDR, whose end it
// must reach.
bool ScanFrame(ByteCursor& at, const TBranch& root, const WalkSettings& settings, uint32_t& records) {
  CdrHeader header;
  if (!ReadCdrHeader(at, header)) return false;
  if (header.Format != kBerFormat) return at.Skip(header.Length);
  if (header.Length == 0 || header.Length > at.Left()) return false;
  ByteCursor frame = at.Contents(header.Length);
  WalkSettings withinCdr = settings;
  withinCdr.SkipFiller = false;  // no filler within a CDR
  if (!ScanTopElement(frame, root, withinCdr, records) || !frame.AtEnd()) return false;
  at.CatchUp(frame);
  return true;
}

// The stretches, planned one after another as they are asked for. The plan ends at the input's
// end, or before an element that the scan does not follow or that is too long for a stretch.
class StretchPlan {
 public:
  StretchPlan(const ByteCursor& input, const TBranch& root, uint64_t stretchSize, const WalkSettings& settings)
      : at_(input), root_(root), stretchSize_(stretchSize), settings_(settings) {}

  // The stretch of index k; false when the plan ends before it.
  bool Get(std::size_t k, Stretch& stretch) {
    while (stretches_.size() <= k && PlanNext()) {
    }
    if (k >= stretches_.size()) return false;
    stretch = stretches_[k];
    return true;
  }

 private:
  bool PlanNext() {
    if (ended_ || at_.AtEnd()) return false;
    Stretch next;
    next.Begin = at_.Position();
    next.RecordsBefore = records_;
    while (at_.Position() - next.Begin < stretchSize_ && !at_.AtEnd()) {
      ByteCursor at = at_;
      uint32_t records = records_;
      const bool scanned = settings_.Frames.Cdr ? ScanFrame(at, root_, settings_, records)
                                                : ScanTopElement(at, root_, settings_, records);
      if (!scanned || at.Position() - at_.Position() > kLongestStretch * stretchSize_) {
        ended_ = true;  // from here on the walk goes in order
        break;
      }
      at_ = at;
      records_ = records;
    }
    if (at_.Position() == next.Begin) return false;
    next.End = at_.Position();
    stretches_.push_back(next);
    return true;
  }

  ByteCursor at_;
  const TBranch& root_;
  uint64_t stretchSize_;
  const WalkSettings& settings_;
  uint32_t records_ = 0;
  bool ended_ = false;
  std::vector<Stretch> stretches_;
};

// ---- Stretches walked ahead ------------------------------------------------------------------

// One thread's walk of its stretches: a context of its own over the same input and dictionary.
class StretchWorker {
 public:
  explicit StretchWorker(const FormatWalk& format)
      : Walk(format.Walk.Settings, format.Walk.Input.Here() - format.Walk.Input.Position(), format.Walk.Input.Size(),
             *format.Walk.Root, nullptr),
        Format(format.For(Walk)),
        input_(Walk.Input) {
    Walk.Destination = OutputPolicy::HeldForTurn(Log, kHeldStretchText);
    Walk.StretchSize = 0;
  }

  // Walks the stretch from the carry of the top level at its start, up to its end or an element
  // that stops the walk.
  void Run(const Stretch& stretch) {
    Span = stretch;
    Status = 0;
    Walk.StartStretch(input_, stretch.Begin, stretch.RecordsBefore);
    const ConsoleToLog toLog(Log);
    try {
      Status = Format->Elements(stretch.End);
      // Text or messages outgrown are no damage: the walk in order takes the stretch. Damage met
      // with Resync is left to the walk in order too, which goes on after it.
      Failed = Walk.Destination.Outgrown() || Walk.Damage.Pending;
    } catch (...) {
      Failed = true;  // the walk in order meets the same trouble in its turn
    }
  }

  WalkContext Walk;
  std::unique_ptr<FormatWalk> Format;  // the writer of the run's format, with a state of its own
  ConsoleLog Log;
  Stretch Span;
  int Status = 0;
  bool Failed = false;

 private:
  ByteCursor input_;  // the whole input, read position at its start
};

// The two threads' walk and the turns in which their stretches reach the walk in order.
class SharedWalk {
 public:
  SharedWalk(FormatWalk& format, StretchWalkReport& report)
      : format_(format), walk_(format.Walk), report_(report),
        plan_(walk_.Input, *walk_.Root, walk_.StretchSize, walk_.Settings) {}

  int Run() {
    Stretch stretch;
    if (!plan_.Get(1, stretch)) return GoOnInOrder();  // fewer than two stretches
    auto first = std::make_unique<StretchWorker>(format_);
    auto second = std::make_unique<StretchWorker>(format_);
    walk_.Output.WriteInPlace(true);  // each turn writes its own text: two threads, not three
    std::thread helper;
    try {
      // The helper's messages (a stretch's, shown at its turn, and the walk in order's after it)
      // go where this thread's go: to the console, or where the caller sent them.
      helper = std::thread([this, &second, route = ThisThreadsRoute()] {
        const ConsoleOnRoute onRoute(route);
        Serve(*second, 1);
      });
    } catch (const std::system_error&) {
      return GoOnInOrder();
    }
    Serve(*first, 0);
    helper.join();
    if (error_) std::rethrow_exception(error_);
    return result_;
  }

 private:
  enum class Turn { GoOn, Stop, WalkRest };

  // Walks the stretches k, k + 2, k + 4 ... each in its turn.
  void Serve(StretchWorker& worker, std::size_t first) {
    try {
      for (std::size_t k = first;; k += 2) {
        Stretch stretch;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          if (stop_ || !plan_.Get(k, stretch)) return;
        }
        worker.Run(stretch);
        std::unique_lock<std::mutex> lock(mutex_);
        turnTaken_.wait(lock, [&] { return stop_ || committed_ == k; });
        if (stop_) return;
        lock.unlock();
        const Turn turn = TakeTurn(worker, k);
        lock.lock();
        committed_ = k + 1;
        if (turn != Turn::GoOn) stop_ = true;
        turnTaken_.notify_all();
        if (turn == Turn::GoOn) continue;
        lock.unlock();
        if (turn == Turn::WalkRest) result_ = GoOnInOrder();
        return;
      }
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!error_) error_ = std::current_exception();
      stop_ = true;
      turnTaken_.notify_all();
    }
  }

  // The walk in order from where it stands, its blocks written by the writer's thread again.
  int GoOnInOrder() {
    if (!walk_.Input.AtEnd()) report_.WentOnInOrder = true;
    walk_.Output.WriteInPlace(false);
    return WalkRestInOrder(format_);
  }

  // The turn of stretch k: taken over when the walk in order stands as the stretch assumed.
  Turn TakeTurn(StretchWorker& worker, std::size_t k) {
    if (worker.Failed || !StandsAt(worker.Span)) return Turn::WalkRest;
    TakeOver(worker);
    if (worker.Status < 0) {
      result_ = -1;
      return Turn::Stop;
    }
    Stretch next;
    std::lock_guard<std::mutex> lock(mutex_);
    return plan_.Get(k + 1, next) ? Turn::GoOn : Turn::WalkRest;
  }

  // True when the walk in order is at the stretch's start in the carry the stretch assumed.
  bool StandsAt(const Stretch& stretch) const {
    return walk_.Input.Position() == stretch.Begin &&
           walk_.State.SameAs(WalkCarry::AtTopLevel(walk_.Root, stretch.RecordsBefore));
  }

  // Shows the stretch's messages with the percentages still due among them, writes its text up
  // to its last record start after the record left open before it (the rest stays open, as the
  // walk in order keeps it), and moves the walk in order to where the stretch's walk stopped.
  // What the walk in order holds of its record under way (its text, the counts and what its writer
  // holds of it) is decided at the stretch's first record start, as in a walk in order: when the
  // stretch has one, it is written and counted before the stretch's own; otherwise the stretch's
  // is added to it.
  void TakeOver(StretchWorker& worker) {
    const WalkState& ahead = worker.Walk.State;
    const bool recordStarted = ahead.RecordCount != worker.Span.RecordsBefore;
    // The walk's own state, each field handed over here (a field added to it does not compile
    // until it is): the messages with the percentages still due, the text, the record's counts
    // and tags not found, the next percentage.
    auto& [open, recordStart, pending, lastPercent, nextPercentAt, tagsNotFound] =
        static_cast<WalkOwnState&>(walk_.State);
    const std::string_view console = worker.Log.Text;
    std::size_t shown = 0;
    for (const ConsoleLog::Progress& progress : worker.Log.Progresses) {
      Say(console.substr(shown, progress.At - shown));
      shown = progress.At;
      if (progress.Percent > lastPercent) {
        SayProgress(progress.Percent);
        lastPercent = progress.Percent;
      }
    }
    Say(console.substr(shown));

    const std::string_view text = ahead.RecordBuffer.view();
    if (recordStarted) {
      // The writer's text of the record before comes first: a writer writes nothing between
      // records that a stretch's text would hold before its first record start.
      format_.RecordFound();
      CountRecordOutcome(walk_);
      walk_.Output.WriteText(open.view());
      walk_.Output.WriteText(text.substr(0, ahead.RecordStart));
      open.assign(text.substr(ahead.RecordStart));
      pending = ahead.Pending;
      tagsNotFound = ahead.TagsNotFoundInRecord;
    } else {
      if (!text.empty()) format_.TextFollows();
      open.append(text);
      pending.Add(ahead.Pending);
      tagsNotFound += ahead.TagsNotFoundInRecord;
    }
    recordStart = 0;
    nextPercentAt = 0;  // worked out again at the next record start
    // A shared walk has neither a range nor a filter: text held past a block (top-level elements
    // that start no record, stretch after stretch) is written, as the walk in order writes it.
    KeepHeldTextBounded(walk_);

    static_cast<WalkCarry&>(walk_.State) = ahead;
    // The writer's own state: a line left open where the stretch's walk stopped inside a record.
    format_.TakeOver(*worker.Format);
    walk_.Counts.Add(worker.Walk.Counts);
    walk_.FieldsWithoutColumn.Add(worker.Walk.FieldsWithoutColumn);
    walk_.Input.Skip(worker.Walk.Input.Position() - walk_.Input.Position());
    ++report_.TakenOver;
  }

  FormatWalk& format_;
  WalkContext& walk_;
  StretchWalkReport& report_;
  std::mutex mutex_;
  std::condition_variable turnTaken_;
  StretchPlan plan_;                     // guarded by mutex_
  std::size_t committed_ = 0;            // the stretches whose turn has passed; guarded by mutex_
  std::atomic<bool> stop_{false};        // raised under mutex_
  int result_ = 0;                       // written by the thread that ends the walk
  std::exception_ptr error_;             // guarded by mutex_
};

}  // namespace

bool CanWalkInStretches(const FormatWalk& format) {
  const WalkContext& walk = format.Walk;
  const WalkSettings& settings = walk.Settings;
  return format.MayBeShared() && !settings.RangeActive && settings.FilterCount == 0 &&
         walk.StretchSize > 0 && walk.Input.Position() == settings.Frames.Start &&
         walk.Input.Size() / kFewestStretches >= walk.StretchSize;
}

int WalkInStretches(FormatWalk& format, StretchWalkReport* report) {
  const WalkContext& walk = format.Walk;
  StretchWalkReport unused;
  StretchWalkReport& said = report != nullptr ? *report : unused;
  said = StretchWalkReport{};
  if (!CanWalkInStretches(format)) {
    said.WentOnInOrder = !walk.Input.AtEnd();
    return WalkRestInOrder(format);
  }
  SharedWalk shared(format, said);
  return shared.Run();
}

#else  // no threads: the walk goes in order

bool CanWalkInStretches(const FormatWalk&) { return false; }

int WalkInStretches(FormatWalk& format, StretchWalkReport* report) {
  if (report != nullptr) *report = StretchWalkReport{0, !format.Walk.Input.AtEnd()};
  return WalkRestInOrder(format);
}

#endif

}  // namespace orvalis
