#include "asn1/semantic_table.h"

#include <algorithm>

#include "common/line_splitter.h"

namespace orvalis {
namespace asn1 {
namespace {

using K = TypeKind;

// The bundled rows: the standard names of charging data records' and the mobile application
// part's modules, by the value type that reads them.
constexpr std::pair<std::string_view, std::string_view> kBundledRows[] = {
    {"IMSI", "IMSI"},
    {"IMEI", "IMEI"},
    {"TBCD-STRING", "TBCDString"},
    {"AddressString", "AddressString"},
    {"ISDN-AddressString", "AddressString"},
    {"FTN-AddressString", "AddressString"},
    {"MSISDN", "AddressString"},
    // A directory number, which reads an address string alike (its first octet's extension bit
    // set) and the octet 3a that follows where it is clear.
    {"BCDDirectoryNumber", "BCDDirectoryNumber"},
    {"CallingNumber", "BCDDirectoryNumber"},
    {"CalledNumber", "BCDDirectoryNumber"},
    {"TimeStamp", "TimeStamp"},
    {"IPAddress", "IPAddress"},
    {"IPBinV4Address", "IPAddress"},
    {"IPBinV6Address", "IPAddress"},
    {"PLMN-Id", "PLMNId"},
    {"MCC-MNC", "PLMNId"},
    {"CallDuration", "Seconds"},
};

const std::vector<TypeKind> kOctets = {K::kOctetString};
const std::vector<TypeKind> kNumbers = {K::kInteger, K::kEnumerated, K::kOctetString};

}  // namespace

const std::vector<BaseForm>& BaseForms() {
  static const std::vector<BaseForm> forms = {
      // The types of old, which read octets.
      {"DateTime", kOctets},
      {"String", {K::kOctetString, K::kCharacters, K::kUtf8String, K::kTimeText}},
      {"Number", kOctets},
      {"HexNumber", {}},
      {"DecNumber", kNumbers},
      {"ValFromIndexedArr", kNumbers},
      {"ValFromNonIndexedArr", kNumbers},
      {"Duration", {K::kOctetString, K::kInteger}},
      {"LineCode", kOctets},
      {"ReceivedDigits", kOctets},
      // The universal types.
      {"Integer", {K::kInteger}},
      {"Enumerated", {K::kEnumerated}},
      {"Boolean", {K::kBoolean}},
      {"Null", {K::kNull}},
      {"BitString", {K::kBitString}},
      {"ObjectIdentifier", {K::kObjectIdentifier}},
      {"Characters", {K::kCharacters, K::kTimeText, K::kOctetString}},
      {"UTF8String", {K::kUtf8String}},
      {"BMPString", {K::kBmpString}},
      {"UniversalString", {K::kUniversalString}},
      {"GeneralizedTime", {K::kGeneralizedTime}},
      {"UTCTime", {K::kUtcTime}},
      {"Opaque", {}},
      // Telephony.
      {"TBCDString", kOctets},
      {"IMSI", kOctets},
      {"IMEI", kOctets},
      {"AddressString", kOctets},
      {"BCDDirectoryNumber", kOctets},
      {"TimeStamp", kOctets, 9},
      {"IPAddress", kOctets, 0, 4, 16},
      {"PLMNId", kOctets, 3},
      {"Seconds", {K::kInteger}},
  };
  return forms;
}

const BaseForm* BaseFormOf(std::string_view valueType) {
  for (const BaseForm& form : BaseForms()) {
    if (form.ValueType == valueType) return &form;
  }
  return nullptr;
}

uint8_t UniversalTagOf(std::string_view valueType) {
  const BaseForm* form = BaseFormOf(valueType);
  if (form == nullptr || form->Kinds.empty()) return 0;
  switch (form->Kinds.front()) {
    case K::kOctetString: return 4;
    case K::kInteger: return 2;
    case K::kEnumerated: return 10;
    case K::kBoolean: return 1;
    case K::kNull: return 5;
    case K::kBitString: return 3;
    case K::kObjectIdentifier: return 6;
    default: return 0;  // a character string of which kind is not known
  }
}

bool BaseFits(const BaseForm& form, const Type& base, const Bounds& size) {
  const bool constructed = base.Kind == K::kSequence || base.Kind == K::kSet || base.Kind == K::kSequenceOf ||
                           base.Kind == K::kSetOf || base.Kind == K::kChoice || base.Kind == K::kOpen ||
                           base.Kind == K::kConstructedOther || base.Kind == K::kClassField;
  if (form.Kinds.empty()) return form.ValueType == "Opaque" || !constructed;
  if (std::find(form.Kinds.begin(), form.Kinds.end(), base.Kind) == form.Kinds.end()) return false;
  if (form.ExactSize != 0) return size.Exact(form.ExactSize);
  if (form.SmallestSize != 0 && size.HasLower && size.Lower < form.SmallestSize) return false;
  if (form.LargestSize != 0 && size.HasUpper && size.Upper > form.LargestSize) return false;
  return true;
}

SemanticTable::SemanticTable() {
  for (const auto& row : kBundledRows) rows_.emplace_back(std::string(row.first), std::string(row.second));
}

bool SemanticTable::Add(const std::string& name, std::string_view text, const ValueTypeNames& types,
                        std::string& problem) {
  unsigned long number = 0;
  bool good = true;
  ForEachLine(text, [&](std::string_view line) {
    ++number;
    if (!good || IsSkippedLine(line)) return;
    const std::size_t equals = line.find('=');
    TagType code{};
    const std::string_view valueType = equals == std::string_view::npos ? std::string_view() : line.substr(equals + 1);
    if (equals == std::string_view::npos || equals == 0) {
      problem = name + " line " + std::to_string(number) + " is no TypeName=ValueType line";
    } else if (!types.Find(valueType, code) || BaseFormOf(valueType) == nullptr) {
      problem = name + " line " + std::to_string(number) + " names \"" + std::string(valueType) +
                "\", which is no value type";
    } else {
      const std::string typeName(line.substr(0, equals));
      auto row = std::find_if(rows_.begin(), rows_.end(), [&](const auto& r) { return r.first == typeName; });
      if (row == rows_.end()) {
        rows_.emplace_back(typeName, std::string(valueType));
      } else {
        row->second = std::string(valueType);
      }
      return;
    }
    good = false;
  });
  return good;
}

const std::string* SemanticTable::Find(std::string_view typeName) const {
  for (const auto& row : rows_) {
    if (row.first == typeName) return &row.second;
  }
  return nullptr;
}

}  // namespace asn1
}  // namespace orvalis
