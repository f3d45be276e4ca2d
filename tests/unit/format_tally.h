// Each format's output read back as the records and marks it tells, in order: "record N",
// "damage O+S" (at offset O, S octets skipped), "doubt D" (read after the damage at D), and
// "header" for the CSV header row; so that the formats' outputs can be compared.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace orvalis::test {

using Tally = std::vector<std::string>;

// A line that tells a record or a mark: a form for sscanf of one or two numbers, what they are, and
// a text the line must hold besides (sscanf counts the numbers read, not the words after them).
enum class Told { kRecord, kDamage, kDamageUpTo, kDoubt, kDoubtSecond };
struct LineForm {
  const char* Form;
  Told What;
  const char* Holds = "";
};

inline bool ReadForm(const std::string& line, const LineForm& form, Tally& tally) {
  unsigned long long a = 0, b = 0;
  const int needs = form.What == Told::kRecord || form.What == Told::kDoubt ? 1 : 2;
  if (line.find(form.Holds) == std::string::npos || std::sscanf(line.c_str(), form.Form, &a, &b) < needs) return false;
  switch (form.What) {
    case Told::kRecord: tally.push_back("record " + std::to_string(a)); break;
    case Told::kDamage: tally.push_back("damage " + std::to_string(a) + "+" + std::to_string(b)); break;
    case Told::kDamageUpTo: tally.push_back("damage " + std::to_string(a) + "+" + std::to_string(b - a)); break;
    case Told::kDoubt: tally.push_back("doubt " + std::to_string(a)); break;
    case Told::kDoubtSecond: tally.push_back("doubt " + std::to_string(b)); break;
  }
  return true;
}

// The lines of `text` that one of `forms` reads, the first that does.
inline Tally ReadLines(const std::string& text, std::initializer_list<LineForm> forms) {
  Tally tally;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    for (const LineForm& form : forms) {
      if (ReadForm(line, form, tally)) break;
    }
  }
  return tally;
}

// The readable text and the debug dump, whose record lines begin with `recordName`.
inline Tally TextTally(const std::string& text, const std::string& recordName = "Record") {
  const std::string record = recordName + " %llu";
  return ReadLines(text, {{record.c_str(), Told::kRecord},
                          {"*** input damaged at offset %llu, %llu octets skipped", Told::kDamage},
                          {"*** read after the damage at offset %llu,", Told::kDoubt},
                          {"%llu: %llu", Told::kDamage, " octets skipped, input damaged;"},
                          {"%llu: the record at this offset was read after the damage at offset %llu",
                           Told::kDoubtSecond}});
}

inline Tally JsonLinesTally(const std::string& text) {
  return ReadLines(text, {{"{\"v\":1,\"record\":%llu,", Told::kRecord},
                          {"{\"v\":1,\"record\":null,\"offset\":%llu,\"damaged\":{\"skipped\":%llu}", Told::kDamage},
                          {"{\"v\":1,\"record\":null,\"offset\":%llu,\"damaged\":{\"inDoubt\":true,\"damagedAt\":%llu}",
                           Told::kDoubtSecond}});
}

// JSON Lines of schema 2: a record's line tells the record, then the doubt and the damage in its
// own "inDoubt" and "damaged" (the last members: no text of the line's fields can hold their keys
// so); a line with "record" and "fields" null tells a damage or a doubt alone.
inline Tally JsonLinesSchema2Tally(const std::string& text) {
  Tally tally;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    unsigned long long a = 0, b = 0;
    if (std::sscanf(line.c_str(), "{\"v\":2,\"record\":%llu,", &a) == 1) tally.push_back("record " + std::to_string(a));
    const std::size_t doubt = line.rfind(",\"inDoubt\":{\"damagedAt\":");
    const std::size_t damage = line.rfind(",\"damaged\":{\"offset\":");
    if (doubt != std::string::npos && std::sscanf(line.c_str() + doubt, ",\"inDoubt\":{\"damagedAt\":%llu}", &a) == 1) {
      tally.push_back("doubt " + std::to_string(a));
    }
    if (damage != std::string::npos &&
        std::sscanf(line.c_str() + damage, ",\"damaged\":{\"offset\":%llu,\"skipped\":%llu,", &a, &b) == 2) {
      tally.push_back("damage " + std::to_string(a) + "+" + std::to_string(b));
    }
  }
  return tally;
}

// CSV by RFC 4180: the first cell of a row is its record, the last its errors, whose marks are
// " | "-separated (one that is no mark is told "? MARK").
inline Tally CsvTally(const std::string& text) {
  Tally tally;
  std::vector<std::string> cells(1);
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') cells.back() += c;
      else if (i + 1 < text.size() && text[i + 1] == '"') cells.back() += text[++i];
      else quoted = false;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      cells.emplace_back();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
      tally.push_back(cells[0] == "record" ? "header" : "record " + cells[0]);
      const std::string& errors = cells.back();
      for (std::size_t from = 0; cells[0] != "record" && from < errors.size();) {
        std::size_t to = errors.find(" | ", from);
        if (to == std::string::npos) to = errors.size();
        const std::string mark = errors.substr(from, to - from);
        if (!ReadForm(mark, {"damaged at offset %llu: the record is cut short (%llu octets", Told::kDamage}, tally) &&
            !ReadForm(mark, {"damaged at offset %llu after the record (%llu octets", Told::kDamage}, tally) &&
            !ReadForm(mark, {"read after the damage at offset %llu,", Told::kDoubt}, tally)) {
          tally.push_back("? " + mark);
        }
        from = to + 3;
      }
      cells.assign(1, "");
    } else {
      cells.back() += c;
    }
  }
  return tally;
}

// The marks of a tally by the record whose text they follow (0: before the first record).
using Marks = std::map<uint32_t, std::vector<std::string>>;
inline Marks MarksOf(const Tally& tally) {
  Marks marks;
  uint32_t record = 0;
  for (const std::string& told : tally) {
    if (told.rfind("record ", 0) == 0) record = static_cast<uint32_t>(std::stoul(told.substr(7)));
    else if (told != "header") marks[record].push_back(told);
  }
  return marks;
}

}  // namespace orvalis::test
