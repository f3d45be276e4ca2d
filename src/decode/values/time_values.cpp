#include "decode/values/time_values.h"

#include <cstring>

#include "decode/values/value_readers.h"

namespace orvalis {
namespace {

// A date and time as a value gives it, before it is written.
struct TimeFields {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
  std::string_view Fraction;  // digits after the decimal sign, of the second
  char Zone = 0;              // 'Z', '+', '-', or 0 for a local time
  int ZoneHours = 0, ZoneMinutes = 0;
};

// The offsets from UTC that clocks keep: up to 14 hours either way.
constexpr int kLargestZoneHours = 14;

bool IsSound(const TimeFields& t) {
  static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return t.Year >= 1 && t.Month >= 1 && t.Month <= 12 && t.Day >= 1 && t.Day <= kDays[t.Month - 1] &&
         (t.Month != 2 || t.Day < 29 || IsLeapYear(static_cast<unsigned>(t.Year))) && t.Hour < 24 &&
         t.Minute < 60 && t.Second < 60 && t.ZoneHours <= kLargestZoneHours && t.ZoneMinutes < 60;
}

char* PutTwo(char* out, int value) {
  out[0] = static_cast<char>('0' + value / 10);
  out[1] = static_cast<char>('0' + value % 10);
  return out + 2;
}

TimeText FailedTime(ValueFailure failure) {
  TimeText text;
  text.Check = Fails(failure);
  return text;
}

// The text of sound fields, or the failure.
TimeText Written(const TimeFields& t, ValueFailure failure) {
  if (!IsSound(t)) return FailedTime(failure);
  TimeText text;
  char* out = text.Text;
  out = PutTwo(PutTwo(out, t.Year / 100), t.Year % 100);
  *out++ = '-';
  out = PutTwo(out, t.Month);
  *out++ = '-';
  out = PutTwo(out, t.Day);
  *out++ = 'T';
  out = PutTwo(out, t.Hour);
  *out++ = ':';
  out = PutTwo(out, t.Minute);
  *out++ = ':';
  out = PutTwo(out, t.Second);
  if (!t.Fraction.empty()) {
    *out++ = '.';
    std::memcpy(out, t.Fraction.data(), t.Fraction.size());
    out += t.Fraction.size();
  }
  if (t.Zone == 'Z') {
    *out++ = 'Z';
  } else if (t.Zone != 0) {
    *out++ = t.Zone;
    out = PutTwo(out, t.ZoneHours);
    *out++ = ':';
    out = PutTwo(out, t.ZoneMinutes);
  }
  text.Size = static_cast<std::size_t>(out - text.Text);
  return text;
}

// Reads text digits from a value.
struct DigitReader {
  const uint8_t* C;
  uint64_t Length;
  uint64_t At = 0;

  bool IsDigit() const { return At < Length && C[At] >= '0' && C[At] <= '9'; }
  bool Is(char octet) const { return At < Length && C[At] == octet; }
  // Two digits, as a number.
  bool Two(int& value) {
    if (!IsDigit() || At + 1 >= Length || C[At + 1] < '0' || C[At + 1] > '9') return false;
    value = (C[At] - '0') * 10 + (C[At + 1] - '0');
    At += 2;
    return true;
  }
  // "Z", "+hh", "+hhmm", "-hh", "-hhmm" (with `minutesRequired`, the last two forms only), or
  // nothing; true when the value ends after it.
  bool Zone(TimeFields& t, bool minutesRequired) {
    if (Is('Z')) {
      t.Zone = 'Z';
      ++At;
    } else if (Is('+') || Is('-')) {
      t.Zone = static_cast<char>(C[At++]);
      if (!Two(t.ZoneHours)) return false;
      if ((minutesRequired || At < Length) && !Two(t.ZoneMinutes)) return false;
    }
    return At == Length;
  }
};

// Writes the fraction of an hour or a minute (`unit` seconds) as minutes and seconds, exactly: the
// digits of the seconds' fraction go to `digits`.
bool SpreadFraction(TimeFields& t, std::string_view fraction, int unit, char (&digits)[16]) {
  constexpr std::size_t kMostDigits = 15;  // 10^15 * 3600 stays within 64 bits
  if (fraction.size() > kMostDigits) return false;
  uint64_t numerator = 0;
  uint64_t scale = 1;
  for (char digit : fraction) {
    numerator = numerator * 10 + static_cast<uint64_t>(digit - '0');
    scale *= 10;
  }
  const uint64_t seconds = numerator * static_cast<uint64_t>(unit);
  const uint64_t whole = seconds / scale;
  uint64_t rest = seconds % scale;
  t.Minute += static_cast<int>(whole / 60);
  t.Second = static_cast<int>(whole % 60);
  std::size_t size = fraction.size();
  for (std::size_t i = size; i-- > 0;) {
    digits[i] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  }
  while (size > 0 && digits[size - 1] == '0') --size;
  t.Fraction = std::string_view(digits, size);
  return true;
}

}  // namespace

TimeText ReadGeneralizedTime(const uint8_t* c, uint64_t length) {
  constexpr uint64_t kLongest = 64;
  const TimeText fails = FailedTime(ValueFailure::kNotGeneralizedTime);
  if (length > kLongest) return fails;
  DigitReader in{c, length};
  TimeFields t;
  int century = 0;
  int year = 0;
  if (!in.Two(century) || !in.Two(year) || !in.Two(t.Month) || !in.Two(t.Day) || !in.Two(t.Hour)) return fails;
  t.Year = century * 100 + year;
  int unit = 3600;  // the seconds of the last element given: the unit of its fraction
  if (in.IsDigit()) {
    if (!in.Two(t.Minute)) return fails;
    unit = 60;
    if (in.IsDigit()) {
      if (!in.Two(t.Second)) return fails;
      unit = 1;
    }
  }
  char digits[16];
  if (in.Is('.') || in.Is(',')) {
    const uint64_t from = ++in.At;
    while (in.IsDigit()) ++in.At;
    if (in.At == from) return fails;
    const std::string_view fraction(reinterpret_cast<const char*>(c + from), static_cast<std::size_t>(in.At - from));
    if (unit == 1) {
      t.Fraction = fraction;
    } else if (!SpreadFraction(t, fraction, unit, digits)) {
      return fails;
    }
  }
  if (!in.Zone(t, false)) return fails;
  return Written(t, ValueFailure::kNotGeneralizedTime);
}

TimeText ReadUtcTime(const uint8_t* c, uint64_t length) {
  const TimeText fails = FailedTime(ValueFailure::kNotUtcTime);
  DigitReader in{c, length};
  TimeFields t;
  if (!in.Two(t.Year) || !in.Two(t.Month) || !in.Two(t.Day) || !in.Two(t.Hour) || !in.Two(t.Minute)) return fails;
  t.Year += t.Year < 50 ? 2000 : 1900;
  if (in.IsDigit() && !in.Two(t.Second)) return fails;
  if (!in.Is('Z') && !in.Is('+') && !in.Is('-')) return fails;  // a UTCTime is never a local time
  if (!in.Zone(t, true)) return fails;
  return Written(t, ValueFailure::kNotUtcTime);
}

TimeText ReadTimeStamp(const uint8_t* c, uint64_t length) {
  if (length != 9) return FailedTime(ValueFailure::kTimeStampLength);
  TimeFields t;
  int field[8];
  for (int i = 0; i < 8; ++i) field[i] = BcdValue(c[i < 6 ? i : i + 1]);
  const TimeText fails = FailedTime(ValueFailure::kNotATimeStamp);
  for (int value : field) {
    if (value < 0) return fails;
  }
  if (c[6] != '+' && c[6] != '-') return fails;
  t.Year = 2000 + field[0];
  t.Month = field[1];
  t.Day = field[2];
  t.Hour = field[3];
  t.Minute = field[4];
  t.Second = field[5];
  t.Zone = static_cast<char>(c[6]);
  t.ZoneHours = field[6];
  t.ZoneMinutes = field[7];
  return Written(t, ValueFailure::kNotATimeStamp);
}

}  // namespace orvalis
