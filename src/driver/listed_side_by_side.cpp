// Many inputs side by side (-l): the listed inputs converted several at a time, each on a thread
// of its own, their messages and text held until their turn, which passes in the list's order.
#include <cerrno>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "common/console.h"
#include "common/text_file.h"
#include "driver/run_parts.h"

#if ORVALIS_THREADS
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#endif

namespace orvalis {

#if ORVALIS_THREADS

namespace {

// The text of an input converted ahead of its turn waits in memory up to this size, beyond it in
// a temporary file: with the walk's own memory, each input held at once takes at most its image
// and 32 MiB.
constexpr std::size_t kHeldInMemory = 8 << 20;

// One listed input converted beside others: what it says, what it writes, how it went.
struct ListedSlot {
  enum class Phase : uint8_t {
    kLoading,    // being opened and loaded
    kNotWalked,  // not to be walked (not there, not a file, not read whole): its messages told why
    kWalking,    // loaded, its walk under way
    kDone,       // walked, its text handed to its hold
  };

  ListedSlot(const RunSettings& settings, const Conversion& run, const std::string& name)
      : Settings(settings), Hold(run.Output.Stream(), kHeldInMemory) {
    Settings.InputFileName = name;
    Run.Format = run.Format;
    Run.Manifest = run.Manifest;
    Run.Root = run.Root;
    Run.Setup = run.Setup;
    Run.FilterCount = run.FilterCount;
    Run.GzipMaxContents = run.GzipMaxContents;
    Run.GzipMaxRatio = run.GzipMaxRatio;
    Run.Hold = &Hold;
  }

  RunSettings Settings;  // the run's, with this input's name
  Conversion Run;        // the input, and what the run's conversion shares with it
  TurnHold Hold;
  HeldMessages BeforeWalk;  // its messages up to its walk (to be told before the output is begun)
  HeldMessages OfWalk;      // and those of its walk
  RunReport Report;
  Phase Now = Phase::kLoading;  // guarded by the list's mutex
  bool Completed = false;
  int WriteError = 0;
  std::exception_ptr Error;  // what escaped from its conversion, thrown again at its turn
};

// The inputs of the list, converted `jobs` at a time by as many threads, and their turns, kept by
// the thread that called Run.
class SideBySide {
 public:
  SideBySide(RunSettings& settings, Conversion& run, const std::vector<std::string>& names, uint32_t jobs)
      : settings_(settings), base_(settings), run_(run), names_(names), jobs_(jobs), slots_(names.size()) {}

  void Run(RunReport& total, int& worst, bool& outputFailed) {
    std::vector<std::thread> workers;
    try {
      for (uint32_t i = 0; i < jobs_; ++i) workers.emplace_back([this] { Serve(); });
    } catch (const std::system_error&) {
      // Fewer threads than asked: those that started do the work; with none, this thread.
    }
    std::exception_ptr error;
    try {
      for (std::size_t k = 0; k < names_.size() && !outputFailed; ++k) {
        if (workers.empty()) {  // no thread to be had: each input converted in its turn
          std::unique_lock<std::mutex> lock(mutex_);
          TakeNext(lock);
        }
        TakeTurn(k, total, worst, outputFailed);
      }
    } catch (...) {
      error = std::current_exception();
    }
    Stop();
    for (std::thread& worker : workers) worker.join();
    if (error) std::rethrow_exception(error);
  }

 private:
  using Phase = ListedSlot::Phase;

  // A worker: takes the next input while it is within `jobs` of the input whose turn it is.
  void Serve() {
    try {
      for (;;) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return stop_ || next_ >= names_.size() || next_ < turn_ + jobs_; });
        if (stop_ || next_ >= names_.size()) return;
        TakeNext(lock);
      }
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!failure_) failure_ = std::current_exception();
      stop_ = true;
      changed_.notify_all();
    }
  }

  // Takes the next input (the list's mutex held by `lock`, and given back while it is converted).
  void TakeNext(std::unique_lock<std::mutex>& lock) {
    const std::size_t k = next_;
    slots_[k] = std::make_unique<ListedSlot>(base_, run_, names_[k]);
    ++next_;
    ++inFlight_;
    ListedSlot& slot = *slots_[k];
    lock.unlock();
    Convert(k, slot);
  }

  // Opens, loads and walks input k, its messages held for its turn.
  void Convert(std::size_t k, ListedSlot& slot) {
    bool loaded = false;
    try {
      const ConsoleToHeld held(slot.BeforeWalk);
      slot.Run.In = std::make_unique<InputPart>();
      loaded = LoadListedInput(slot.Settings, slot.Run);
    } catch (...) {
      slot.Error = std::current_exception();
    }
    bool continuesOutput = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      slot.Now = loaded ? Phase::kWalking : Phase::kNotWalked;
      if (!loaded) --inFlight_;
      changed_.notify_all();
      if (!loaded) return;
      // What begins the output (the CSV header) is written by the first input walked: this one,
      // unless one before it is walked too, which every input before it has to tell first.
      changed_.wait(lock, [&] { return stop_ || FirstWalkedBefore(k) || AllToldBefore(k); });
      continuesOutput = FirstWalkedBefore(k);
      slot.Run.SharesWalk = inFlight_ == 1;  // alone: its walk takes two threads, as one after another
    }
    try {
      const ConsoleToHeld held(slot.OfWalk);
      std::unique_ptr<WalkContext> walk =
          WalkLoadedInput(slot.Settings, slot.Run, continuesOutput, slot.Report, slot.Completed);
      slot.WriteError = FinishOutput(*walk);
      slot.Run.In->Image.Data.reset();  // its memory back before the turn (the manifest needs its size only)
    } catch (...) {
      slot.Error = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    slot.Now = Phase::kDone;
    --inFlight_;
    changed_.notify_all();
  }

  // True when an input before k is walked (guarded by mutex_).
  bool FirstWalkedBefore(std::size_t k) const {
    for (std::size_t j = turn_; j < k; ++j) {
      if (slots_[j] && (slots_[j]->Now == Phase::kWalking || slots_[j]->Now == Phase::kDone)) return true;
    }
    return walkedBeforeTurn_;
  }

  // True when every input before k is known to be walked or not (guarded by mutex_).
  bool AllToldBefore(std::size_t k) const {
    for (std::size_t j = turn_; j < k; ++j) {
      if (!slots_[j] || slots_[j]->Now == Phase::kLoading) return false;
    }
    return true;
  }

  // Waits until input k is told to be walked or not (its walk done, with `done`). A failure of a
  // worker outside an input's conversion (no memory for the input's place) comes out of it.
  Phase WaitFor(std::size_t k, bool done) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] {
      if (failure_) return true;
      const Phase now = slots_[k] ? slots_[k]->Now : Phase::kLoading;
      return now == Phase::kNotWalked || now == Phase::kDone || (!done && now == Phase::kWalking);
    });
    if (failure_) std::rethrow_exception(failure_);
    return slots_[k]->Now;
  }

  // The turn of input k, as the loop of inputs one after another takes it.
  void TakeTurn(std::size_t k, RunReport& total, int& worst, bool& outputFailed) {
    const Phase told = WaitFor(k, false);
    ListedSlot& slot = *slots_[k];
    settings_.InputFileName = names_[k];
    SayListedInput(k, names_);
    ShowHeld(slot.BeforeWalk);
    slot.Report.Format = run_.Format;
    int status = -1;
    if (told != Phase::kNotWalked) {
      if (!BeginOutput(run_.Output)) {
        slot.Hold.Drop();
        WaitFor(k, true);
        slot.Report = RunReport{};
        slot.Report.Format = run_.Format;
        slot.Report.End = RunEnd::kFailed;
        outputFailed = true;
      } else {
        const int turnError = slot.Hold.TakeTurn();  // from now on its walk writes into the output
        WaitFor(k, true);
        ShowHeld(slot.OfWalk);
        int writeError = turnError != 0 ? turnError : slot.WriteError;
        if (writeError == 0 && std::ferror(run_.Output.Stream()) != 0) writeError = EIO;
        if (writeError != 0) {
          errno = writeError;
          PrintErrorForm("Error: can not write output file");
          slot.Report.End = RunEnd::kFailed;
          outputFailed = true;
        } else {
          status = slot.Completed ? 0 : -1;
        }
      }
      run_.OutputBegun = true;
    }
    if (slot.Error) std::rethrow_exception(slot.Error);
    AccountListedInput(settings_, slot.Run, slot.Report, status, total, worst);
    std::lock_guard<std::mutex> lock(mutex_);
    if (told != Phase::kNotWalked) walkedBeforeTurn_ = true;
    slots_[k].reset();
    turn_ = k + 1;
    changed_.notify_all();
  }

  // Ends the workers' work: no input is taken any more, and what waits for a turn is dropped.
  void Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    for (std::size_t j = turn_; j < next_ && j < slots_.size(); ++j) {
      if (slots_[j]) slots_[j]->Hold.Drop();
    }
    changed_.notify_all();
  }

  RunSettings& settings_;   // the run's, named after the input whose turn it is (this thread's only)
  const RunSettings base_;  // the run's as the list began, for the inputs' own
  Conversion& run_;
  const std::vector<std::string>& names_;
  uint32_t jobs_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<ListedSlot>> slots_;  // guarded by mutex_, each slot's fields by its phase
  std::size_t next_ = 0;       // the next input to be taken
  std::size_t turn_ = 0;       // the input whose turn comes next
  std::size_t inFlight_ = 0;   // inputs taken and not yet walked to their end
  bool walkedBeforeTurn_ = false;  // an input whose turn has passed was walked
  bool stop_ = false;
  std::exception_ptr failure_;  // a worker's, outside an input's conversion
};

}  // namespace

uint32_t ListJobsFor(const RunSettings& settings, std::size_t inputs) {
  uint32_t jobs = settings.ListJobs;
  if (jobs == 0) {
    jobs = std::thread::hardware_concurrency();
    if (jobs == 0) jobs = 1;
    if (jobs > kMostListJobs) jobs = kMostListJobs;
  }
  return inputs < jobs ? static_cast<uint32_t>(inputs) : jobs;
}

void ConvertListBesideOthers(RunSettings& settings, Conversion& run, const std::vector<std::string>& names,
                             uint32_t jobs, RunReport& total, int& worst, bool& outputFailed) {
  SideBySide(settings, run, names, jobs).Run(total, worst, outputFailed);
}

#else  // no threads: one input after another

uint32_t ListJobsFor(const RunSettings&, std::size_t) { return 1; }

void ConvertListBesideOthers(RunSettings&, Conversion&, const std::vector<std::string>&, uint32_t, RunReport&, int&,
                             bool&) {}

#endif

}  // namespace orvalis
