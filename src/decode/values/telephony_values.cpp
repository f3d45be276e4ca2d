#include "decode/values/telephony_values.h"

#include <charconv>
#include <iterator>

namespace orvalis {
namespace {

constexpr uint8_t kFiller = 0x0F;

template <std::size_t N>
std::string_view NameOf(const std::string_view (&names)[N], uint8_t code) {
  return code < N ? names[code] : std::string_view();
}

constexpr std::string_view kAddressNatures[] = {
    "unknown",          "international number", "national significant number", "network specific number",
    "subscriber number", "reserved",            "abbreviated number",          "reserved for extension",
};
constexpr std::string_view kAddressPlans[] = {
    "unknown",
    "ISDN/Telephony Numbering Plan (Rec ITU-T E.164)",
    "spare",
    "data numbering plan (ITU-T Rec X.121)",
    "telex numbering plan (ITU-T Rec F.69)",
    "spare",
    "land mobile numbering plan (ITU-T Rec E.212)",
    "spare",
    "national numbering plan",
    "private numbering plan",
    "reserved",
    "reserved",
    "reserved",
    "reserved",
    "reserved",
    "reserved for extension",
};
constexpr std::string_view kBcdTypesOfNumber[] = {
    "unknown",  "international number", "national number", "network specific number", "dedicated access, short code",
    "reserved", "reserved",             "reserved for extension",
};
constexpr std::string_view kBcdPlans[] = {
    "unknown",
    "ISDN/telephony numbering plan (ITU-T Rec. E.164 / ITU-T Rec. E.163)",
    "reserved",
    "data numbering plan (ITU-T Rec. X.121)",
    "telex numbering plan (ITU-T Rec. F.69)",
    "reserved",
    "reserved",
    "reserved",
    "national numbering plan",
    "private numbering plan",
    "reserved",
    "reserved for CTS (see 3GPP TS 44.056)",
    "reserved",
    "reserved",
    "reserved",
    "reserved for extension",
};
constexpr std::string_view kPresentations[] = {
    "presentation allowed", "presentation restricted", "number not available due to interworking", "reserved"};
constexpr std::string_view kScreenings[] = {
    "user-provided, not screened", "user-provided, verified and passed", "user-provided, verified and failed",
    "network provided"};

bool IsDigitNibble(unsigned nibble) { return nibble <= 9; }

}  // namespace

TbcdDigits ReadTbcd(const uint8_t* c, uint64_t length, bool digitsOnly) {
  TbcdDigits digits;
  digits.Octets = c;
  digits.Count = length;
  for (uint64_t i = 0; i < length; ++i) {
    const unsigned low = c[i] & 0x0F;
    const unsigned high = c[i] >> 4;
    const bool last = i + 1 == length;
    if (low == kFiller || (high == kFiller && !last)) {
      digits.Check = Fails(ValueFailure::kFillerBeforeLastDigit);
      return digits;
    }
    if (digitsOnly && (!IsDigitNibble(low) || (!IsDigitNibble(high) && high != kFiller))) {
      digits.Check = Fails(ValueFailure::kNotADigit);
      return digits;
    }
  }
  digits.Odd = length > 0 && (c[length - 1] >> 4) == kFiller;
  return digits;
}

TelephonyAddress ReadAddressString(const uint8_t* c, uint64_t length) {
  TelephonyAddress address;
  address.Nature = static_cast<uint8_t>(c[0] >> 4 & 0x07);
  address.Plan = static_cast<uint8_t>(c[0] & 0x0F);
  address.Digits = ReadTbcd(c + 1, length - 1, false);
  address.Check = address.Digits.Check;
  return address;
}

TelephonyAddress ReadBcdDirectoryNumber(const uint8_t* c, uint64_t length) {
  TelephonyAddress address;
  address.Nature = static_cast<uint8_t>(c[0] >> 4 & 0x07);
  address.Plan = static_cast<uint8_t>(c[0] & 0x0F);
  uint64_t head = 1;
  if ((c[0] & 0x80) == 0) {  // octet 3a follows
    if (length < 2) {
      address.Check = Fails(ValueFailure::kOctet3aMissing);
      return address;
    }
    address.HasOctet3a = true;
    address.Presentation = static_cast<uint8_t>(c[1] >> 5 & 0x03);
    address.Screening = static_cast<uint8_t>(c[1] & 0x03);
    head = 2;
  }
  address.Digits = ReadTbcd(c + head, length - head, false);
  address.Check = address.Digits.Check;
  return address;
}

std::string_view AddressNatureName(uint8_t nature) { return NameOf(kAddressNatures, nature); }
std::string_view AddressPlanName(uint8_t plan) { return NameOf(kAddressPlans, plan); }
std::string_view BcdTypeOfNumberName(uint8_t type) { return NameOf(kBcdTypesOfNumber, type); }
std::string_view BcdPlanName(uint8_t plan) { return NameOf(kBcdPlans, plan); }
std::string_view PresentationName(uint8_t presentation) { return NameOf(kPresentations, presentation); }
std::string_view ScreeningName(uint8_t screening) { return NameOf(kScreenings, screening); }

ValueCheck CheckIpAddress(uint64_t length) {
  if (length != 4 && length != 16) return Fails(ValueFailure::kIpAddressLength);
  return {};
}

char* PutIpAddress(char* out, const uint8_t* c, uint64_t length) {
  if (length == 4) {
    for (int i = 0; i < 4; ++i) {
      if (i > 0) *out++ = '.';
      out = std::to_chars(out, out + 3, static_cast<unsigned>(c[i])).ptr;
    }
    return out;
  }
  unsigned groups[8];
  for (int i = 0; i < 8; ++i) groups[i] = unsigned{c[2 * i]} << 8 | c[2 * i + 1];
  // The longest run of zero groups (the first of equal ones), when it has two or more.
  int runAt = -1;
  int runSize = 1;
  for (int i = 0; i < 8;) {
    int end = i;
    while (end < 8 && groups[end] == 0) ++end;
    if (end - i > runSize) {
      runAt = i;
      runSize = end - i;
    }
    i = end > i ? end : i + 1;
  }
  for (int i = 0; i < 8; ++i) {
    if (i == runAt) {
      *out++ = ':';
      if (i == 0) *out++ = ':';
      i += runSize - 1;
      continue;
    }
    out = std::to_chars(out, out + 4, groups[i], 16).ptr;
    if (i < 7) *out++ = ':';
  }
  return out;
}

PlmnId ReadPlmnId(const uint8_t* c, uint64_t length) {
  PlmnId plmn;
  if (length != 3) {
    plmn.Check = Fails(ValueFailure::kPlmnIdLength);
    return plmn;
  }
  const auto low = [](uint8_t octet) { return static_cast<unsigned>(octet & 0x0F); };
  const auto high = [](uint8_t octet) { return static_cast<unsigned>(octet >> 4); };
  const unsigned nibbles[6] = {low(c[0]), high(c[0]), low(c[1]), low(c[2]), high(c[2]), high(c[1])};
  // MCC digits 1 to 3, MNC digits 1 to 3 (the last may be the filler F).
  const bool twoDigitMnc = nibbles[5] == kFiller;
  for (int i = 0; i < (twoDigitMnc ? 5 : 6); ++i) {
    if (!IsDigitNibble(nibbles[i])) {
      plmn.Check = Fails(ValueFailure::kPlmnIdNotDigits);
      return plmn;
    }
  }
  for (int i = 0; i < 3; ++i) {
    plmn.Mcc[i] = static_cast<char>('0' + nibbles[i]);
    plmn.Mnc[i] = static_cast<char>('0' + (i == 2 && twoDigitMnc ? 0 : nibbles[3 + i]));
  }
  plmn.MncDigits = twoDigitMnc ? 2 : 3;
  return plmn;
}

}  // namespace orvalis
