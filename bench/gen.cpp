// orvalis-gen: writes synthetic billing files of call records, for the benchmarks and for the
// bundled example. The records follow the dictionary in examples/Tags.cfg; the same seed and
// flags give the same file, byte for byte, on every platform.
//
// Encoding: identifier octets (class, constructed bit, tag number; tag numbers 31 to 127 in one
// subsequent octet), length octets (short, long or indefinite form), contents; an indefinite
// element ends with the two octets 00 00.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "Usage: orvalis-gen (--size BYTES | --records N) [options] -o FILE\n"
    "Writes a synthetic billing file of call records that matches examples/Tags.cfg.\n"
    "\n"
    "  --size BYTES        stop after the record that brings the file to BYTES or more;\n"
    "                      suffixes K, M and G multiply by 1024, 1024^2 and 1024^3\n"
    "  --records N         stop after N records (with --size: whichever comes first)\n"
    "  --seed N            seed of the random sequence (default 1); the same seed and flags\n"
    "                      give the same file\n"
    "  --layout L          top:    every record at the top level\n"
    "                      blocks: every record inside a block of 2 to 16 records\n"
    "                      mixed:  runs of top-level records and blocks (default)\n"
    "  --indefinite P      P percent of records and groups use the indefinite length form\n"
    "                      (default 10); blocks always have a definite length\n"
    "  --long-form P       P percent of definite lengths use one length octet more than\n"
    "                      needed, e.g. 81 05 instead of 05 (default 2)\n"
    "  --repeats P         P percent of records hold 2 to 6 service codes, one after another,\n"
    "                      in their supplementary service; a record without one gets one\n"
    "                      (default 0: at most one service code in a record)\n"
    "  --no-header         leave out the file header element before the first record\n"
    "  -o, --output FILE   the file to write\n"
    "  -q, --quiet         print no summary line\n"
    "  -h, --help          this text\n";

// ---------------------------------------------------------------------------------------------
// Options

enum class Layout { kTop, kBlocks, kMixed };

struct Options {
  uint64_t size = 0;     // 0: no size limit
  uint64_t records = 0;  // 0: no record limit
  uint64_t seed = 1;
  Layout layout = Layout::kMixed;
  unsigned indefinite_percent = 10;
  unsigned long_form_percent = 2;
  unsigned repeats_percent = 0;
  bool header = true;
  bool quiet = false;
  std::string output;
};

bool ParseUnsigned(const char* text, uint64_t& out) {
  if (*text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long value = std::strtoull(text, &end, 10);
  if (errno != 0 || *end != '\0') return false;
  out = value;
  return true;
}

bool ParseSize(const char* text, uint64_t& out) {
  std::string digits(text);
  uint64_t scale = 1;
  if (!digits.empty()) {
    switch (digits.back()) {
      case 'K':
      case 'k':
        scale = 1ull << 10;
        break;
      case 'M':
      case 'm':
        scale = 1ull << 20;
        break;
      case 'G':
      case 'g':
        scale = 1ull << 30;
        break;
      default:
        break;
    }
    if (scale != 1) digits.pop_back();
  }
  uint64_t value = 0;
  if (!ParseUnsigned(digits.c_str(), value) || value > UINT64_MAX / scale) return false;
  out = value * scale;
  return true;
}

bool ParsePercent(const char* text, unsigned& out) {
  uint64_t value = 0;
  if (!ParseUnsigned(text, value) || value > 100) return false;
  out = static_cast<unsigned>(value);
  return true;
}

bool ParseLayout(const char* text, Layout& out) {
  static constexpr struct {
    const char* name;
    Layout layout;
  } kLayouts[] = {{"top", Layout::kTop}, {"blocks", Layout::kBlocks}, {"mixed", Layout::kMixed}};
  for (const auto& entry : kLayouts) {
    if (std::strcmp(text, entry.name) == 0) {
      out = entry.layout;
      return true;
    }
  }
  return false;
}

// Returns 0 to go on, 1 when help was printed, -1 after a message.
int ParseOptions(int argc, char** argv, Options& opt) {
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    bool has_attached = false;  // --name=value
    size_t eq = name.find('=');
    if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
      name.resize(eq);
      has_attached = true;
    }
    if (name == "-h" || name == "--help") {
      std::fputs(kUsage, stdout);
      return 1;
    }
    if (name == "-q" || name == "--quiet") {
      opt.quiet = true;
      continue;
    }
    if (name == "--no-header") {
      opt.header = false;
      continue;
    }

    const char* value = nullptr;
    if (has_attached) {
      value = argv[i] + (eq + 1);
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      std::fprintf(stderr, "orvalis-gen: %s needs a value\n", name.c_str());
      return -1;
    }
    bool ok = true;
    if (name == "--size") {
      ok = ParseSize(value, opt.size);
    } else if (name == "--records") {
      ok = ParseUnsigned(value, opt.records);
    } else if (name == "--seed") {
      ok = ParseUnsigned(value, opt.seed);
    } else if (name == "--layout") {
      ok = ParseLayout(value, opt.layout);
    } else if (name == "--indefinite") {
      ok = ParsePercent(value, opt.indefinite_percent);
    } else if (name == "--long-form") {
      ok = ParsePercent(value, opt.long_form_percent);
    } else if (name == "--repeats") {
      ok = ParsePercent(value, opt.repeats_percent);
    } else if (name == "-o" || name == "--output") {
      opt.output = value;
    } else {
      std::fprintf(stderr, "orvalis-gen: unknown option %s (see --help)\n", name.c_str());
      return -1;
    }
    if (!ok) {
      std::fprintf(stderr, "orvalis-gen: bad value for %s: %s\n", name.c_str(), value);
      return -1;
    }
  }
  if (opt.output.empty() || (opt.size == 0 && opt.records == 0)) {
    std::fputs("orvalis-gen: -o and one of --size or --records are required (see --help)\n",
               stderr);
    return -1;
  }
  return 0;
}

// ---------------------------------------------------------------------------------------------
// Random numbers: splitmix64, whose output is fixed by its definition (the standard library's
// distributions differ between implementations).

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n-1 (n >= 1); the tiny bias of the multiply-shift does not matter here.
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(((Next() >> 32) * n) >> 32); }
  uint32_t Between(uint32_t lo, uint32_t hi) { return lo + Below(hi - lo + 1); }
  bool Chance(unsigned percent) { return Below(100) < percent; }
  uint8_t Octet() { return static_cast<uint8_t>(Next() >> 56); }
  template <typename T, size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(static_cast<uint32_t>(N))];
  }

 private:
  uint64_t state_;
};

// ---------------------------------------------------------------------------------------------
// The dictionary's tag numbers (examples/Tags.cfg). Records are declared at 1 and at 2.1.

namespace tag {
constexpr unsigned kRecord = 1, kBlock = 2, kFileHeader = 3;
// In the file header.
constexpr unsigned kFileExchange = 0, kFileCreated = 1, kFileNumber = 2, kSoftwareRelease = 3;
// In a record.
constexpr unsigned kRecordType = 0, kCallReference = 1, kExchange = 2, kCallingNumber = 3,
                   kCalledNumber = 4, kDialledDigits = 5, kStartTime = 6, kReleaseTime = 7,
                   kCallDuration = 8, kIncomingTrunk = 9, kOutgoingTrunk = 10, kCharging = 11,
                   kReleaseCause = 12, kBearerService = 13, kSequenceNumber = 31,
                   kCallingCategory = 33, kSupplementaryService = 40, kOriginUnit = 127;
// In a trunk group.
constexpr unsigned kTrunkGroup = 0, kTrunkGroupId = 1, kCircuit = 2, kLineCode = 3;
// In the charging group.
constexpr unsigned kTariffClass = 0, kMeterPulses = 1, kChargedParty = 2, kChargedTime = 3;
// In a supplementary service.
constexpr unsigned kServiceCode = 0, kRedirectedTo = 1, kServiceStatus = 2;
}  // namespace tag

// Identifier classes (bits 8 and 7 of the first identifier octet).
constexpr uint8_t kApplication = 0x40;
constexpr uint8_t kContext = 0x80;

// Keys of the dictionary's mnemonic tables.
enum CallKind : uint8_t {  // recordType, an IndArr of six names
  kOutgoing,
  kIncoming,
  kTransit,
  kInternal,
  kForwarded,
  kServiceRequest
};
namespace category {  // callingCategory, an IndArr of sixteen names
constexpr uint8_t kUnknown = 0, kNationalOperator = 9, kOrdinary = 10, kPriority = 11, kData = 12,
                  kTest = 13, kPayphone = 15;
}
namespace tariff {  // tariffClass, a NonIndArr
constexpr uint8_t kLocal = 1, kRegional = 2, kNational = 3, kInternational1 = 4,
                  kInternational2 = 5, kMobile = 8, kPremium = 12, kFreephone = 15;
}
namespace party {  // chargedParty, an IndArr
constexpr uint8_t kCalling = 0, kCalled = 1, kThird = 2, kFree = 3;
}
namespace cause {  // releaseCause, a NonIndArr (ITU-T Q.850 cause values)
constexpr uint8_t kNormal = 16, kNormalUnspecified = 31;
constexpr uint8_t kUnanswered[] = {17, 18, 19, 21, 27, 28, 34, 41, 42, 102};
}  // namespace cause
constexpr uint8_t kBearerServices[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 16, 8, 9, 17, 24};
namespace service {  // serviceCode, a NonIndArr; serviceStatus, an IndArr of five names
constexpr uint8_t kForwarding[] = {17, 18, 19};
constexpr uint8_t kAll[] = {17, 18, 19, 33, 41, 49, 65, 81};
constexpr uint8_t kDuringCall[] = {33, 41, 65};  // call waiting, conference, malicious call id
constexpr uint8_t kActivated = 0, kDeactivated = 1, kInvoked = 2, kInterrogated = 3, kRejected = 4;
constexpr uint8_t kRequestOutcomes[] = {kActivated, kActivated, kDeactivated, kInterrogated,
                                        kRejected};
}  // namespace service

// ---------------------------------------------------------------------------------------------
// Encoder: appends elements to one growing buffer. A definite-length constructed element gets
// its length octets when it is closed, by inserting them in front of its contents.

class Encoder {
 public:
  struct Mark {
    size_t contents;  // offset of the first contents octet
    bool indefinite;
  };

  Encoder(Random& rng, unsigned long_form_percent)
      : rng_(rng), long_form_percent_(long_form_percent) {
    bytes_.reserve(kFlushSize + (1u << 20));
  }

  static constexpr size_t kFlushSize = 8u << 20;

  std::vector<uint8_t>& Bytes() { return bytes_; }
  size_t Size() const { return bytes_.size(); }

  void Primitive(uint8_t cls, unsigned tag, const uint8_t* value, size_t size) {
    PutIdentifier(cls, false, tag);
    uint8_t length[9];
    size_t n = LengthOctets(size, length);
    bytes_.insert(bytes_.end(), length, length + n);
    bytes_.insert(bytes_.end(), value, value + size);
  }

  Mark Open(uint8_t cls, unsigned tag, bool indefinite) {
    PutIdentifier(cls, true, tag);
    if (indefinite) bytes_.push_back(0x80);
    return Mark{bytes_.size(), indefinite};
  }

  void Close(const Mark& mark) {
    if (mark.indefinite) {
      bytes_.push_back(0x00);
      bytes_.push_back(0x00);
      return;
    }
    uint8_t length[9];
    size_t n = LengthOctets(bytes_.size() - mark.contents, length);
    bytes_.insert(bytes_.begin() + static_cast<std::ptrdiff_t>(mark.contents), length, length + n);
  }

 private:
  void PutIdentifier(uint8_t cls, bool constructed, unsigned tag) {
    uint8_t first = static_cast<uint8_t>(cls | (constructed ? 0x20 : 0x00));
    if (tag <= 30) {
      bytes_.push_back(static_cast<uint8_t>(first | tag));
    } else {  // 31 .. 127: one subsequent octet, bit 8 clear
      bytes_.push_back(static_cast<uint8_t>(first | 0x1F));
      bytes_.push_back(static_cast<uint8_t>(tag & 0x7F));
    }
  }

  // The short form when the length fits, otherwise the long form with as few octets as
  // needed; now and then one octet more than needed (81 05, 82 00 C8), for the readers' sake.
  size_t LengthOctets(uint64_t length, uint8_t* out) {
    size_t count = 0;  // octets after the first in the long form
    for (uint64_t rest = length; rest > 0; rest >>= 8) ++count;
    bool padded = long_form_percent_ > 0 && rng_.Chance(long_form_percent_);
    if (length < 0x80 && !padded) {
      out[0] = static_cast<uint8_t>(length);
      return 1;
    }
    if (length >= 0x80 && padded) ++count;
    if (count == 0) count = 1;
    out[0] = static_cast<uint8_t>(0x80 | count);
    for (size_t i = 0; i < count; ++i) {
      size_t shift = 8 * (count - 1 - i);
      out[1 + i] = shift >= 64 ? 0 : static_cast<uint8_t>(length >> shift);
    }
    return 1 + count;
  }

  Random& rng_;
  unsigned long_form_percent_;
  std::vector<uint8_t> bytes_;
};

// ---------------------------------------------------------------------------------------------
// Value contents, one function per value type.

void PutString(Encoder& enc, unsigned tag, const char* text, size_t zero_padding = 0) {
  uint8_t value[64];
  size_t n = std::min(std::strlen(text), sizeof value);
  zero_padding = std::min(zero_padding, sizeof value - n);
  std::memcpy(value, text, n);
  std::memset(value + n, 0, zero_padding);
  enc.Primitive(kContext, tag, value, n + zero_padding);
}

struct Timestamp {
  int64_t centiseconds;  // since 2000-01-01 00:00:00
};

// Days since 2000-01-01 to a civil date (proleptic Gregorian calendar).
void CivilFromDays(int64_t days, int& year, int& month, int& day) {
  int64_t z = days + 730425;  // days from 0000-03-01, the start of the 400-year era
  int64_t era = z / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

uint8_t Bcd(int two_digits) {
  return static_cast<uint8_t>(((two_digits / 10) << 4) | (two_digits % 10));
}

// Seven BCD octets: year within the century, month, day, hour, minute, second, hundredths.
void PutDateTime(Encoder& enc, unsigned tag, Timestamp t) {
  int64_t seconds = t.centiseconds / 100;
  int year = 0, month = 0, day = 0;
  CivilFromDays(seconds / 86400, year, month, day);
  int64_t in_day = seconds % 86400;
  const uint8_t value[7] = {Bcd(year % 100),
                            Bcd(month),
                            Bcd(day),
                            Bcd(static_cast<int>(in_day / 3600)),
                            Bcd(static_cast<int>(in_day / 60 % 60)),
                            Bcd(static_cast<int>(in_day % 60)),
                            Bcd(static_cast<int>(t.centiseconds % 100))};
  enc.Primitive(kContext, tag, value, sizeof value);
}

// Telephone address: nature of address, numbering plan and digits ('0'-'9', '*', '#').
struct Address {
  uint8_t nature = 2;
  uint8_t plan = 1;
  char digits[24] = {};
  size_t count = 0;

  void Append(char digit) {
    if (count < sizeof digits) digits[count++] = digit;
  }
  void AppendNumber(const char* text) {
    while (*text) Append(*text++);
  }
};

uint8_t DigitNibble(char digit) {
  if (digit == '*') return 10;
  if (digit == '#') return 11;
  return static_cast<uint8_t>(digit - '0');
}

// Digits two per octet, high nibble first; an odd count leaves a filler nibble of 0.
size_t PackDigits(const Address& a, uint8_t* out) {
  size_t n = 0;
  for (size_t i = 0; i < a.count; i += 2) {
    uint8_t high = DigitNibble(a.digits[i]);
    uint8_t low = i + 1 < a.count ? DigitNibble(a.digits[i + 1]) : 0;
    out[n++] = static_cast<uint8_t>(high << 4 | low);
  }
  return n;
}

uint8_t OddAndNature(const Address& a) {
  return static_cast<uint8_t>((a.count % 2 == 1 ? 0x80 : 0x00) | (a.nature & 0x7F));
}

constexpr uint8_t kPlanIndicatorBits[] = {0x00, 0x01, 0x03, 0x04};

// b0: odd indicator and nature of address; b1: numbering plan in bits 7..5, with the
// indicator bits around it that an exchange sets (internal network number, presentation,
// screening), which a reader must mask off; then the digits.
void PutNumber(Encoder& enc, Random& rng, unsigned tag, const Address& a) {
  uint8_t value[2 + sizeof a.digits / 2];
  value[0] = OddAndNature(a);
  value[1] = static_cast<uint8_t>(a.plan << 4 | (rng.Chance(20) ? 0x80 : 0x00) |
                                  rng.Pick(kPlanIndicatorBits));
  size_t n = 2 + PackDigits(a, value + 2);
  enc.Primitive(kContext, tag, value, n);
}

void PutReceivedDigits(Encoder& enc, unsigned tag, const Address& a) {
  uint8_t value[1 + sizeof a.digits / 2];
  value[0] = OddAndNature(a);
  size_t n = 1 + PackDigits(a, value + 1);
  enc.Primitive(kContext, tag, value, n);
}

void PutHex(Encoder& enc, Random& rng, unsigned tag, size_t size) {
  uint8_t value[8];
  for (size_t i = 0; i < size && i < sizeof value; ++i) value[i] = rng.Octet();
  enc.Primitive(kContext, tag, value, size);
}

void PutOctet(Encoder& enc, unsigned tag, uint8_t octet) {
  enc.Primitive(kContext, tag, &octet, 1);
}

void PutTwoOctets(Encoder& enc, unsigned tag, uint8_t b0, uint8_t b1) {
  const uint8_t value[2] = {b0, b1};
  enc.Primitive(kContext, tag, value, 2);
}

// Hundredths of a second, big-endian, in as few octets as the value needs (at least one).
void PutDuration(Encoder& enc, unsigned tag, uint32_t centiseconds) {
  uint8_t value[4];
  size_t n = 1;
  while (n < 4 && (centiseconds >> (8 * n)) != 0) ++n;
  for (size_t i = 0; i < n; ++i) value[i] = static_cast<uint8_t>(centiseconds >> (8 * (n - 1 - i)));
  enc.Primitive(kContext, tag, value, n);
}

// Two octets of line system and signalling, then zero to two octets of line attributes.
void PutLineCode(Encoder& enc, Random& rng, unsigned tag) {
  static constexpr uint8_t kLineSystems[] = {0x01, 0x02, 0x0A, 0x21};
  const uint8_t value[4] = {rng.Pick(kLineSystems), rng.Octet(), rng.Octet(), rng.Octet()};
  enc.Primitive(kContext, tag, value, rng.Between(2, 4));
}

// ---------------------------------------------------------------------------------------------
// Call traffic: what an exchange called "Northgate" (area code 41) might write in a day.

constexpr const char* kExchanges[] = {"NORTHGATE-S12", "NORTHGATE-S12", "NORTHGATE-S12",
                                      "NORTHGATE-RSU2"};
constexpr const char kHomeArea[] = "41";
constexpr const char* kAreaCodes[] = {"41", "22", "35", "61", "78", "24", "53"};
constexpr const char* kCountryCodes[] = {"44", "49", "33", "39", "1", "34", "31", "7", "86"};
constexpr const char* kMobilePrefixes[] = {"901", "905", "911", "915"};
constexpr uint8_t kRarePlans[] = {0, 2, 3, 4, 5, 6, 7};

struct TrunkGroup {
  const char* name;
  uint8_t id;
  uint16_t circuits;
};
constexpr TrunkGroup kTrunkGroups[] = {
    {"RIVERSIDE-01", 12, 120}, {"RIVERSIDE-02", 13, 90}, {"HILLCREST-01", 21, 60},
    {"OLDHARBOUR-T", 30, 240}, {"WESTFIELD-01", 44, 30}, {"TRANSIT-MAIN", 51, 480},
    {"INTL-GW-A", 70, 300},    {"MOBILE-IC-3", 83, 210},
};

// Everything a record says about one call, decided before the record is written.
struct Call {
  CallKind kind = kOutgoing;
  bool answered = false;
  Timestamp seizure{0};
  Timestamp release{0};
  uint32_t conversation = 0;  // hundredths of a second
  Address calling, called, dialled, redirected;
  uint8_t category = category::kOrdinary;
  uint8_t bearer = 0;
  uint8_t tariff_class = tariff::kLocal;
  uint8_t release_cause = cause::kNormal;
  bool incoming_trunk = false, outgoing_trunk = false, charging = false;
  uint8_t service_code = 0;  // 0: no supplementary service
  uint8_t more_codes[5] = {};  // further service codes written after service_code
  uint8_t more_code_count = 0;
  uint8_t service_status = 0;
  bool service_target = false;  // the service names the redirected number
};

class Traffic {
 public:
  Traffic(Random& rng, unsigned indefinite_percent, unsigned repeats_percent)
      : rng_(rng),
        indefinite_percent_(indefinite_percent),
        repeats_percent_(repeats_percent),
        // 23 April 2006 (day 2304 after 1 January 2000), plus some hours chosen by the seed.
        clock_{2304ll * 8640000 + rng.Below(6 * 3600) * 100ll} {}

  void WriteFileHeader(Encoder& enc);
  void WriteRecord(Encoder& enc) { WriteCall(enc, PlanCall()); }

 private:
  Call PlanCall();
  void WriteCall(Encoder& enc, const Call& call);
  void WriteTrunk(Encoder& enc, unsigned group_tag);
  void WriteCharging(Encoder& enc, const Call& call);
  void WriteService(Encoder& enc, const Call& call);

  bool Indefinite() { return indefinite_percent_ > 0 && rng_.Chance(indefinite_percent_); }
  void Digits(Address& a, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) a.Append(static_cast<char>('0' + rng_.Below(10)));
  }
  void SubscriberDigits(Address& a) {
    a.Append(static_cast<char>('2' + rng_.Below(8)));
    Digits(a, 6);
  }
  void Subscriber(Address& a) {
    a.nature = 1;
    SubscriberDigits(a);
  }
  void National(Address& a, const char* prefix) {
    a.nature = 3;
    a.AppendNumber(prefix);
    SubscriberDigits(a);
  }
  void International(Address& a) {
    a.nature = 4;
    a.AppendNumber(rng_.Pick(kCountryCodes));
    Digits(a, rng_.Between(8, 11));
  }
  // A subscriber of this exchange, written with or without the area code.
  void LocalParty(Address& a) {
    if (rng_.Chance(60))
      Subscriber(a);
    else
      National(a, kHomeArea);
  }
  uint8_t RemoteParty(Address& a);
  void Perturb(Address& a);
  Address Dialled(const Address& called);
  Address ServiceString(const Call& call);
  uint8_t Category();
  uint32_t Conversation();
  void MoreServiceCodes(Call& call);

  Random& rng_;
  unsigned indefinite_percent_;
  unsigned repeats_percent_;
  Timestamp clock_;
  uint32_t sequence_ = 0;
};

void Traffic::WriteFileHeader(Encoder& enc) {
  Encoder::Mark header = enc.Open(kApplication, tag::kFileHeader, Indefinite());
  PutString(enc, tag::kFileExchange, kExchanges[0]);
  PutDateTime(enc, tag::kFileCreated, clock_);
  PutTwoOctets(enc, tag::kFileNumber, static_cast<uint8_t>(rng_.Below(64)),
               static_cast<uint8_t>(rng_.Below(16)));
  PutString(enc, tag::kSoftwareRelease, "BSM 7.2 / BIL 3.04");
  enc.Close(header);
}

// A party outside this exchange; returns the tariff class of a call to it.
uint8_t Traffic::RemoteParty(Address& a) {
  uint32_t roll = rng_.Below(100);
  if (roll < 45) {
    National(a, kHomeArea);
    return tariff::kLocal;
  }
  if (roll < 65) {
    National(a, rng_.Pick(kAreaCodes));
    return rng_.Chance(50) ? tariff::kRegional : tariff::kNational;
  }
  if (roll < 82) {
    National(a, rng_.Pick(kMobilePrefixes));
    return tariff::kMobile;
  }
  if (roll < 94) {
    International(a);
    return rng_.Chance(60) ? tariff::kInternational1 : tariff::kInternational2;
  }
  if (roll < 97) {
    National(a, "800");
    return tariff::kFreephone;
  }
  National(a, "899");
  return tariff::kPremium;
}

// Now and then an address with a rarer code: a nature of address without a name, "unknown",
// or a numbering plan other than E.164.
void Traffic::Perturb(Address& a) {
  if (rng_.Chance(1))
    a.nature = static_cast<uint8_t>(rng_.Between(5, 12));
  else if (a.nature != 4 && rng_.Chance(3))
    a.nature = 2;
  if (rng_.Chance(2)) a.plan = rng_.Pick(kRarePlans);
}

// What the subscriber keyed to reach the called address: a trunk prefix 0 or 00 for calls
// out of the area, nothing but the subscriber's digits within it.
Address Traffic::Dialled(const Address& called) {
  Address d;
  d.nature = rng_.Chance(80) ? 2 : 1;
  size_t from = 0;
  if (called.nature == 3 && std::strncmp(called.digits, kHomeArea, 2) == 0)
    from = 2;
  else if (called.nature == 3)
    d.Append('0');
  else if (called.nature == 4)
    d.AppendNumber("00");
  for (size_t i = from; i < called.count; ++i) d.Append(called.digits[i]);
  return d;
}

// A service procedure such as *21*number#, #21# or *#21#.
Address Traffic::ServiceString(const Call& call) {
  Address d;
  d.nature = 2;
  switch (call.service_status) {
    case service::kActivated:
      d.Append('*');
      break;
    case service::kDeactivated:
      d.Append('#');
      break;
    default:
      d.AppendNumber("*#");
      break;
  }
  switch (call.service_code) {
    case 17:
      d.AppendNumber("21");
      break;
    case 18:
      d.AppendNumber("67");
      break;
    case 19:
      d.AppendNumber("61");
      break;
    default:
      d.AppendNumber("43");
      break;
  }
  if (call.service_target) {
    d.Append('*');
    for (size_t i = 0; i < call.redirected.count && d.count < 20; ++i) {
      d.Append(call.redirected.digits[i]);
    }
  }
  d.Append('#');
  return d;
}

uint8_t Traffic::Category() {
  uint32_t roll = rng_.Below(100);
  if (roll < 86) return category::kOrdinary;
  if (roll < 90) return category::kPriority;
  if (roll < 94) return category::kPayphone;
  if (roll < 96) return category::kData;
  if (roll < 97) return category::kTest;
  if (roll < 99) return category::kNationalOperator;
  return category::kUnknown;
}

// Conversation time in hundredths: mostly a few minutes, some up to an hour, a few up to half a
// day, rarely days, and some under 2.56 s, so that durations of one to four octets all occur.
uint32_t Traffic::Conversation() {
  uint32_t roll = rng_.Below(100);
  if (roll < 3) return rng_.Below(256);
  if (roll < 70) return rng_.Between(300, 30000);
  if (roll < 96) return rng_.Between(30000, 360000);
  if (rng_.Chance(95)) return rng_.Between(360000, 4320000);
  return rng_.Between(16777216, 60000000);  // a data connection held for days
}

CallKind PickKind(Random& rng) {
  uint32_t roll = rng.Below(100);
  if (roll < 36) return kOutgoing;
  if (roll < 64) return kIncoming;
  if (roll < 74) return kTransit;
  if (roll < 90) return kInternal;
  if (roll < 95) return kForwarded;
  return kServiceRequest;
}

Call Traffic::PlanCall() {
  Call call;
  call.kind = PickKind(rng_);
  call.answered = call.kind != kServiceRequest && rng_.Chance(78);
  clock_.centiseconds += rng_.Below(300);
  call.seizure = clock_;
  call.conversation = call.answered ? Conversation() : 0;
  uint32_t setup = call.kind == kServiceRequest ? rng_.Between(200, 800) : rng_.Between(150, 3000);
  call.release.centiseconds = call.seizure.centiseconds + setup + call.conversation;

  switch (call.kind) {
    case kOutgoing:
      LocalParty(call.calling);
      call.tariff_class = RemoteParty(call.called);
      call.outgoing_trunk = call.tariff_class != tariff::kLocal || rng_.Chance(40);
      break;
    case kIncoming:
      RemoteParty(call.calling);
      LocalParty(call.called);
      call.incoming_trunk = true;
      break;
    case kTransit:
      RemoteParty(call.calling);
      RemoteParty(call.called);
      call.incoming_trunk = call.outgoing_trunk = true;
      break;
    case kInternal:
      Subscriber(call.calling);
      Subscriber(call.called);
      break;
    case kForwarded:
      RemoteParty(call.calling);
      LocalParty(call.called);
      call.tariff_class = RemoteParty(call.redirected);
      call.incoming_trunk = call.outgoing_trunk = true;
      call.service_code = rng_.Pick(service::kForwarding);
      call.service_status = service::kInvoked;
      call.service_target = true;
      break;
    case kServiceRequest:
      Subscriber(call.calling);
      call.service_code = rng_.Pick(service::kAll);
      call.service_status = rng_.Pick(service::kRequestOutcomes);
      call.service_target = call.service_status == service::kActivated && call.service_code <= 19;
      if (call.service_target) RemoteParty(call.redirected);
      break;
  }
  Perturb(call.calling);
  Perturb(call.called);
  call.category = Category();
  call.bearer = rng_.Pick(kBearerServices);
  call.charging = call.answered &&
                  (call.kind == kOutgoing || call.kind == kInternal || call.kind == kForwarded);
  if (call.kind == kOutgoing || call.kind == kInternal) call.dialled = Dialled(call.called);
  if (call.kind == kServiceRequest) call.dialled = ServiceString(call);
  if (!call.answered && call.kind != kServiceRequest) {
    call.release_cause = rng_.Pick(cause::kUnanswered);
  } else if (rng_.Chance(5)) {
    call.release_cause = cause::kNormalUnspecified;
  }
  // Drawn last and only when asked for, so that files made without --repeats stay as they were.
  if (repeats_percent_ > 0 && rng_.Chance(repeats_percent_)) MoreServiceCodes(call);
  return call;
}

// Several services in one record, such as call waiting and a conference during one call: the
// supplementary service holds 2 to 6 service codes, the record's own first.
void Traffic::MoreServiceCodes(Call& call) {
  if (call.service_code == 0) {
    call.service_code = rng_.Pick(service::kDuringCall);
    call.service_status = service::kInvoked;
  }
  call.more_code_count = static_cast<uint8_t>(rng_.Between(1, 5));
  for (uint8_t i = 0; i < call.more_code_count; ++i) call.more_codes[i] = rng_.Pick(service::kAll);
}

// Which elements a record holds depends on the kind of call; every record has a calling
// number, and the elements come in the order in which the exchange learns them.
void Traffic::WriteCall(Encoder& enc, const Call& call) {
  Encoder::Mark record = enc.Open(kContext, tag::kRecord, Indefinite());
  PutOctet(enc, tag::kRecordType, call.kind);
  sequence_ = (sequence_ + 1) % 4096;  // two octets read as 16 * b0 + b1
  PutTwoOctets(enc, tag::kSequenceNumber, static_cast<uint8_t>(sequence_ >> 4),
               static_cast<uint8_t>(sequence_ & 0x0F));
  PutHex(enc, rng_, tag::kCallReference, 4);
  PutString(enc, tag::kExchange, rng_.Pick(kExchanges));
  PutHex(enc, rng_, tag::kOriginUnit, 2);
  PutNumber(enc, rng_, tag::kCallingNumber, call.calling);
  PutOctet(enc, tag::kCallingCategory, call.category);
  if (call.kind != kServiceRequest) {
    PutNumber(enc, rng_, tag::kCalledNumber, call.called);
    PutOctet(enc, tag::kBearerService, call.bearer);
  }
  if (call.dialled.count > 0) PutReceivedDigits(enc, tag::kDialledDigits, call.dialled);
  PutDateTime(enc, tag::kStartTime, call.seizure);
  PutDateTime(enc, tag::kReleaseTime, call.release);
  if (call.kind != kServiceRequest) PutDuration(enc, tag::kCallDuration, call.conversation);
  if (call.incoming_trunk) WriteTrunk(enc, tag::kIncomingTrunk);
  if (call.outgoing_trunk) WriteTrunk(enc, tag::kOutgoingTrunk);
  if (call.charging) WriteCharging(enc, call);
  if (call.service_code != 0) WriteService(enc, call);
  PutOctet(enc, tag::kReleaseCause, call.release_cause);
  enc.Close(record);
}

void Traffic::WriteTrunk(Encoder& enc, unsigned group_tag) {
  const TrunkGroup& trunk = rng_.Pick(kTrunkGroups);
  Encoder::Mark group = enc.Open(kContext, group_tag, Indefinite());
  // Some exchanges pad names with zero octets to a fixed width.
  size_t padding = rng_.Chance(30) ? 16 - std::strlen(trunk.name) : 0;
  PutString(enc, tag::kTrunkGroup, trunk.name, padding);
  PutOctet(enc, tag::kTrunkGroupId, trunk.id);
  uint32_t circuit = rng_.Between(1, trunk.circuits);
  PutTwoOctets(enc, tag::kCircuit, static_cast<uint8_t>(circuit >> 8),
               static_cast<uint8_t>(circuit));
  PutLineCode(enc, rng_, tag::kLineCode);
  enc.Close(group);
}

void Traffic::WriteCharging(Encoder& enc, const Call& call) {
  // Hundredths of a second per meter pulse, by tariff class (Freephone is not metered).
  static constexpr uint32_t kPulsePeriod[16] = {1,    18000, 9000, 6000, 2000, 1200, 1, 1,
                                                3000, 1,     1,    1,    1500, 1,    1, 1};
  uint8_t tariff_class = call.kind == kInternal ? tariff::kLocal : call.tariff_class;
  bool free = tariff_class == tariff::kFreephone;
  uint32_t pulses = free ? 0 : 1 + call.conversation / kPulsePeriod[tariff_class & 0x0F];
  uint8_t charged = free ? party::kCalled : party::kCalling;
  if (!free && rng_.Chance(2)) charged = rng_.Chance(50) ? party::kThird : party::kFree;

  Encoder::Mark group = enc.Open(kContext, tag::kCharging, Indefinite());
  PutOctet(enc, tag::kTariffClass, tariff_class);
  if (pulses < 256 && rng_.Chance(70)) {
    PutOctet(enc, tag::kMeterPulses, static_cast<uint8_t>(pulses));
  } else {
    PutTwoOctets(enc, tag::kMeterPulses, static_cast<uint8_t>(pulses >> 8),
                 static_cast<uint8_t>(pulses));
  }
  PutOctet(enc, tag::kChargedParty, charged);
  PutDuration(enc, tag::kChargedTime, (call.conversation + 99) / 100 * 100);  // whole seconds
  enc.Close(group);
}

void Traffic::WriteService(Encoder& enc, const Call& call) {
  Encoder::Mark group = enc.Open(kContext, tag::kSupplementaryService, Indefinite());
  PutOctet(enc, tag::kServiceCode, call.service_code);
  for (uint8_t i = 0; i < call.more_code_count; ++i)
    PutOctet(enc, tag::kServiceCode, call.more_codes[i]);
  if (call.service_target) PutNumber(enc, rng_, tag::kRedirectedTo, call.redirected);
  PutOctet(enc, tag::kServiceStatus, call.service_status);
  enc.Close(group);
}

// ---------------------------------------------------------------------------------------------
// The file: top-level elements are flushed to the output in large writes.

class Output {
 public:
  explicit Output(FILE* file) : file_(file) {}
  bool Flush(std::vector<uint8_t>& bytes) {
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
      return false;
    written_ += bytes.size();
    bytes.clear();
    return true;
  }
  uint64_t Written() const { return written_; }

 private:
  FILE* file_;
  uint64_t written_ = 0;
};

struct Counts {
  uint64_t records = 0;
  uint64_t blocks = 0;
};

class Generator {
 public:
  Generator(const Options& opt, FILE* file)
      : opt_(opt),
        rng_(opt.seed),
        enc_(rng_, opt.long_form_percent),
        traffic_(rng_, opt.indefinite_percent, opt.repeats_percent),
        out_(file) {}

  bool Run() {
    if (opt_.header) traffic_.WriteFileHeader(enc_);
    while (!Done()) {
      bool block =
          opt_.layout == Layout::kBlocks || (opt_.layout == Layout::kMixed && rng_.Chance(50));
      if (block)
        WriteBlock(rng_.Between(2, 16));
      else
        WriteTopLevelRecords(opt_.layout == Layout::kTop ? 64 : rng_.Between(1, 6));
      if (enc_.Size() >= Encoder::kFlushSize && !out_.Flush(enc_.Bytes())) return false;
    }
    return out_.Flush(enc_.Bytes());
  }

  const Counts& counts() const { return counts_; }
  uint64_t Written() const { return out_.Written(); }

 private:
  bool Done() const {
    return (opt_.size != 0 && out_.Written() + enc_.Size() >= opt_.size) ||
           (opt_.records != 0 && counts_.records >= opt_.records);
  }

  void WriteTopLevelRecords(uint32_t count) {
    for (uint32_t i = 0; i < count && !Done(); ++i) {
      traffic_.WriteRecord(enc_);
      ++counts_.records;
    }
  }

  // A block is closed early when the file reaches its size within it.
  void WriteBlock(uint32_t count) {
    Encoder::Mark block = enc_.Open(kApplication, tag::kBlock, false);
    for (uint32_t i = 0; i < count && !Done(); ++i) {
      traffic_.WriteRecord(enc_);
      ++counts_.records;
    }
    enc_.Close(block);
    ++counts_.blocks;
  }

  const Options& opt_;
  Random rng_;
  Encoder enc_;
  Traffic traffic_;
  Output out_;
  Counts counts_;
};

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  int parsed = ParseOptions(argc, argv, opt);
  if (parsed != 0) return parsed > 0 ? 0 : 2;

  FILE* file = std::fopen(opt.output.c_str(), "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "orvalis-gen: can not create %s: %s\n", opt.output.c_str(),
                 std::strerror(errno));
    return 1;
  }
  auto started = std::chrono::steady_clock::now();
  Generator generator(opt, file);
  bool ok = generator.Run();
  if (std::fclose(file) != 0) ok = false;
  if (!ok) {
    std::fprintf(stderr, "orvalis-gen: can not write %s: %s\n", opt.output.c_str(),
                 std::strerror(errno));
    return 1;
  }
  if (!opt.quiet) {
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("orvalis-gen: %s: %llu bytes, %llu records, %llu blocks, seed %llu, %.2f s\n",
                opt.output.c_str(), static_cast<unsigned long long>(generator.Written()),
                static_cast<unsigned long long>(generator.counts().records),
                static_cast<unsigned long long>(generator.counts().blocks),
                static_cast<unsigned long long>(opt.seed), seconds);
  }
  return 0;
}
