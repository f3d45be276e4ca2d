// The value types of module-defined files, value by value: each row is an element's contents and
// what the readable text, JSON Lines and CSV make of it (a value that cannot be decoded: its
// reason and octets). The vectors are worked out by hand from X.690, 3GPP TS 29.002, TS 24.008
// and TS 32.298; the edges of each type and every failure have a row.
#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "decode/writers/csv_writer.h"
#include "walk_fixture.h"

namespace orvalis {
namespace {

test::Bytes FromHex(std::string_view hex) {
  test::Bytes octets;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    if (hex[i] == ' ') {
      --i;
      continue;
    }
    octets.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return octets;
}

struct Row {
  const char* Type;
  const char* Parameter;  // another parameter of the field (NamedNumbers=...), or ""
  const char* Contents;   // in hexadecimal
  std::string Text;       // what the readable text writes after the field's long name
  std::string Json;       // the field's member value
  std::string Csv;        // the row's cells after the record number, the errors cell last
};

// The same value in the three formats.
void Check(const Row& row) {
  SCOPED_TRACE(std::string(row.Type) + " " + row.Parameter + " " + row.Contents);
  auto root = test::BuildDictionary({"1.TagName=record", "1.LongTagName=R", "1.0.TagName=v", "1.0.LongTagName=V:",
                                     std::string("1.0.Type=") + row.Type});
  if (*row.Parameter != '\0') ApplyTagsLine(*root, std::string("1.0.") + row.Parameter);
  const test::Bytes input = test::Tlv({0xA1}, test::Tlv({0x80}, FromHex(row.Contents)));
  WalkSettings settings;
  EXPECT_EQ(test::RunWalk(*root, input, settings).Output, "R 1\nV:" + row.Text);
  settings.Format = "jsonl";
  EXPECT_EQ(test::RunWalk(*root, input, settings).Output,
            "{\"v\":1,\"record\":1,\"offset\":0,\"path\":\"1\",\"fields\":{\"v\":" + row.Json + "}}\n");
  settings.Format = "csv";
  const std::string csv = test::RunWalk(*root, input, settings).Output;
  const std::size_t rowAt = csv.find("\r\n") + 2;
  EXPECT_EQ(csv.substr(rowAt), "1," + row.Csv + "\r\n");
}

// A value that cannot be decoded, as each format tells it.
Row Fails(const char* type, const char* parameter, const char* contents, const std::string& reason,
          const std::string& emptyCells = "") {
  std::string hex;
  for (const char* c = contents; *c != '\0'; ++c) {
    if (*c != ' ') hex.push_back(*c);
  }
  return {type,
          parameter,
          contents,
          " error: " + reason + "; octets " + hex + "\n",
          "{\"error\":\"" + reason + "\",\"hex\":\"" + hex + "\"}",
          emptyCells + ",v: " + reason + "; octets " + hex};
}

TEST(ValueTypes, IntegerAtItsEdges) {
  const Row rows[] = {
      {"Integer", "", "00", "0\n", "0", "0,"},
      {"Integer", "", "7F", "127\n", "127", "127,"},
      {"Integer", "", "80", "-128\n", "-128", "-128,"},
      {"Integer", "", "FF", "-1\n", "-1", "-1,"},
      {"Integer", "", "0080", "128\n", "128", "128,"},
      {"Integer", "", "FF7F", "-129\n", "-129", "-129,"},
      {"Integer", "", "7FFFFFFFFFFFFFFF", "9223372036854775807\n", "9223372036854775807", "9223372036854775807,"},
      {"Integer", "", "8000000000000000", "-9223372036854775808\n", "-9223372036854775808",
       "-9223372036854775808,"},
      // nine octets: 00 before an unsigned value, FF before a negative one that needs 64 bits
      {"Integer", "", "00FFFFFFFFFFFFFFFF", "18446744073709551615\n", "18446744073709551615",
       "18446744073709551615,"},
      {"Integer", "", "008000000000000000", "9223372036854775808\n", "9223372036854775808", "9223372036854775808,"},
      {"Integer", "", "FF8000000000000000", "-9223372036854775808\n", "-9223372036854775808",
       "-9223372036854775808,"},
      Fails("Integer", "", "FF7FFFFFFFFFFFFFFF", "an integer beyond 64 bits"),
      Fails("Integer", "", "010000000000000000", "an integer beyond 64 bits"),
      Fails("Integer", "", "00000000000000000000", "an integer of more than 9 octets"),
      // no octets: no value, as for every type that takes no empty values
      {"Integer", "", "", "", "null", ","},
  };
  for (const Row& row : rows) Check(row);
}

TEST(ValueTypes, EnumeratedNamesItsNumbers) {
  const char* names = "NamedNumbers=-1,minusOne;0,normal;5,a, b;0,again;-9223372036854775808,lowest";
  const Row rows[] = {
      {"Enumerated", names, "FF", "minusOne (-1)\n", "{\"name\":\"minusOne\",\"number\":-1}", "minusOne,-1,"},
      {"Enumerated", names, "00", "normal (0)\n", "{\"name\":\"normal\",\"number\":0}", "normal,0,"},
      {"Enumerated", names, "05", "a, b (5)\n", "{\"name\":\"a, b\",\"number\":5}", "\"a, b\",5,"},
      {"Enumerated", names, "07", "7\n", "{\"name\":null,\"number\":7}", ",7,"},
      {"Enumerated", names, "8000000000000000", "lowest (-9223372036854775808)\n",
       "{\"name\":\"lowest\",\"number\":-9223372036854775808}", "lowest,-9223372036854775808,"},
      {"Enumerated", names, "00FFFFFFFFFFFFFFFF", "18446744073709551615\n",
       "{\"name\":null,\"number\":18446744073709551615}", ",18446744073709551615,"},
      {"Enumerated", "", "01", "1\n", "{\"name\":null,\"number\":1}", ",1,"},
      Fails("Enumerated", names, "00000000000000000000", "an integer of more than 9 octets", ","),
  };
  for (const Row& row : rows) Check(row);
}

TEST(ValueTypes, BooleanNullAndBitString) {
  const char* bits = "NamedNumbers=0,speech;2,fax;9,nine;-1,none";
  const Row rows[] = {
      {"Boolean", "", "00", "false\n", "false", "false,"},
      {"Boolean", "", "FF", "true\n", "true", "true,"},
      {"Boolean", "", "01", "true\n", "true", "true,"},
      Fails("Boolean", "", "0000", "a boolean of more than 1 octet"),
      {"Null", "", "", "present\n", "true", "true,"},
      Fails("Null", "", "00", "a null with contents"),
      {"BitString", bits, "00", "\n", "{\"bits\":\"\",\"names\":\"\"}", ",,"},
      {"BitString", bits, "04A0", "1010 (speech, fax)\n", "{\"bits\":\"1010\",\"names\":\"speech,fax\"}",
       "1010,\"speech,fax\","},
      {"BitString", bits, "07FF80", "111111111 (speech, fax)\n", "{\"bits\":\"111111111\",\"names\":\"speech,fax\"}",
       "111111111,\"speech,fax\","},
      {"BitString", bits, "06FFC0", "1111111111 (speech, fax, nine)\n",
       "{\"bits\":\"1111111111\",\"names\":\"speech,fax,nine\"}", "1111111111,\"speech,fax,nine\","},
      {"BitString", bits, "0680", "10 (speech)\n", "{\"bits\":\"10\",\"names\":\"speech\"}", "10,speech,"},
      {"BitString", bits, "0640", "01\n", "{\"bits\":\"01\",\"names\":\"\"}", "01,,"},
      {"BitString", "", "0780", "1\n", "{\"bits\":\"1\",\"names\":null}", "1,,"},
      Fails("BitString", bits, "0800", "a bit string whose count of unused bits is above 7 or above 0 without bits", ","),
      Fails("BitString", bits, "01", "a bit string whose count of unused bits is above 7 or above 0 without bits", ","),
  };
  for (const Row& row : rows) Check(row);
}

TEST(ValueTypes, ObjectIdentifierArcs) {
  const Row rows[] = {
      {"ObjectIdentifier", "", "2A864886F70D", "1.2.840.113549\n", "\"1.2.840.113549\"", "1.2.840.113549,"},
      {"ObjectIdentifier", "", "00", "0.0\n", "\"0.0\"", "0.0,"},
      {"ObjectIdentifier", "", "27", "0.39\n", "\"0.39\"", "0.39,"},
      {"ObjectIdentifier", "", "28", "1.0\n", "\"1.0\"", "1.0,"},
      {"ObjectIdentifier", "", "4F", "1.39\n", "\"1.39\"", "1.39,"},
      {"ObjectIdentifier", "", "50", "2.0\n", "\"2.0\"", "2.0,"},
      {"ObjectIdentifier", "", "8837", "2.999\n", "\"2.999\"", "2.999,"},
      // the first subidentifier of 64 bits: the second arc is 2^64 - 1 - 80
      {"ObjectIdentifier", "", "81FFFFFFFFFFFFFFFF7F", "2.18446744073709551535\n", "\"2.18446744073709551535\"",
       "2.18446744073709551535,"},
      {"ObjectIdentifier", "", "2A81FFFFFFFFFFFFFFFF7F", "1.2.18446744073709551615\n",
       "\"1.2.18446744073709551615\"", "1.2.18446744073709551615,"},
      {"ObjectIdentifier", "", "2A8001", "1.2.1\n", "\"1.2.1\"", "1.2.1,"},
      Fails("ObjectIdentifier", "", "2A82808080808080808000", "an object identifier arc beyond 64 bits"),
      Fails("ObjectIdentifier", "", "2A86", "an object identifier cut short inside an arc"),
  };
  for (const Row& row : rows) Check(row);
}

TEST(ValueTypes, CharacterStrings) {
  const Row rows[] = {
      {"Characters", "", "", "\n", "\"\"", ","},
      {"Characters", "", "612C2262", "a,\"b\n", "\"a,\\\"b\"", "\"a,\"\"b\","},
      {"Characters", "", "E9", "\xE9\n", "\"\xC3\xA9\"", "\xC3\xA9,"},
      Fails("Characters", "", "6100", "a NUL character (no database text holds one)"),
      {"UTF8String", "", "636166C3A9", "caf\xC3\xA9\n", "\"caf\xC3\xA9\"", "caf\xC3\xA9,"},
      {"UTF8String", "", "F09F9880", "\xF0\x9F\x98\x80\n", "\"\xF0\x9F\x98\x80\"", "\xF0\x9F\x98\x80,"},
      {"UTF8String", "", "", "\n", "\"\"", ","},
      {"UTF8String", "", "0A22", "\n\"\n", "\"\\n\\\"\"", "\"\n\"\"\","},
      Fails("UTF8String", "", "C3", "not valid UTF-8"),
      Fails("UTF8String", "", "C0AF", "not valid UTF-8"),
      Fails("UTF8String", "", "EDA080", "not valid UTF-8"),
      Fails("UTF8String", "", "00", "a NUL character (no database text holds one)"),
      {"BMPString", "", "006800E9", "h\xC3\xA9\n", "\"h\xC3\xA9\"", "h\xC3\xA9,"},
      {"BMPString", "", "D83DDE00", "\xF0\x9F\x98\x80\n", "\"\xF0\x9F\x98\x80\"", "\xF0\x9F\x98\x80,"},
      {"BMPString", "", "20AC002C", "\xE2\x82\xAC,\n", "\"\xE2\x82\xAC,\"", "\"\xE2\x82\xAC,\","},
      {"BMPString", "", "", "\n", "\"\"", ","},
      Fails("BMPString", "", "D83D", "a lone surrogate in a BMPString"),
      Fails("BMPString", "", "D83D0041", "a lone surrogate in a BMPString"),
      Fails("BMPString", "", "DE00", "a lone surrogate in a BMPString"),
      Fails("BMPString", "", "006800", "a BMPString of an odd number of octets"),
      Fails("BMPString", "", "0000", "a NUL character (no database text holds one)"),
      {"UniversalString", "", "0001F60000000041", "\xF0\x9F\x98\x80" "A\n", "\"\xF0\x9F\x98\x80" "A\"",
       "\xF0\x9F\x98\x80" "A,"},
      {"UniversalString", "", "0010FFFF", "\xF4\x8F\xBF\xBF\n", "\"\xF4\x8F\xBF\xBF\"", "\xF4\x8F\xBF\xBF,"},
      Fails("UniversalString", "", "00110000", "a UniversalString character beyond Unicode"),
      Fails("UniversalString", "", "0000D800", "a UniversalString character beyond Unicode"),
      Fails("UniversalString", "", "000041", "a UniversalString whose length is not a multiple of 4"),
  };
  for (const Row& row : rows) Check(row);
}

// GeneralizedTime and UTCTime give their text in ISO 8601, keeping the fraction, Z or offset.
TEST(ValueTypes, Times) {
  const auto time = [](const char* type, std::string_view text, std::string iso) {
    std::string hex;
    for (char c : text) hex += std::string(1, "0123456789ABCDEF"[static_cast<uint8_t>(c) >> 4]) +
                               "0123456789ABCDEF"[static_cast<uint8_t>(c) & 15];
    static std::deque<std::string> kept;  // the rows point into it
    kept.push_back(hex);
    return Row{type, "", kept.back().c_str(), iso + "\n", "\"" + iso + "\"", iso + ","};
  };
  const auto bad = [&](const char* type, std::string_view text, const char* reason) {
    Row row = time(type, text, "");
    return Fails(type, "", row.Contents, reason);
  };
  const char* notGeneralized = "not a valid GeneralizedTime";
  const char* notUtc = "not a valid UTCTime";
  const Row rows[] = {
      time("GeneralizedTime", "20240229235959Z", "2024-02-29T23:59:59Z"),
      time("GeneralizedTime", "20240229235959.123Z", "2024-02-29T23:59:59.123Z"),
      time("GeneralizedTime", "20240229235959,5", "2024-02-29T23:59:59.5"),
      time("GeneralizedTime", "202402292359+0130", "2024-02-29T23:59:00+01:30"),
      time("GeneralizedTime", "2024022923-05", "2024-02-29T23:00:00-05:00"),
      time("GeneralizedTime", "2024022910.5", "2024-02-29T10:30:00"),
      time("GeneralizedTime", "202402291030.25Z", "2024-02-29T10:30:15Z"),
      time("GeneralizedTime", "2024022910.123", "2024-02-29T10:07:22.8"),
      time("GeneralizedTime", "20000229000000-1400", "2000-02-29T00:00:00-14:00"),
      bad("GeneralizedTime", "21000229000000Z", notGeneralized),
      bad("GeneralizedTime", "20230229000000Z", notGeneralized),
      bad("GeneralizedTime", "20240229240000Z", notGeneralized),
      bad("GeneralizedTime", "20240229235960Z", notGeneralized),
      bad("GeneralizedTime", "20240229235959Z1", notGeneralized),
      bad("GeneralizedTime", "20240229235959+1500", notGeneralized),
      bad("GeneralizedTime", "20240229235959.", notGeneralized),
      bad("GeneralizedTime", "00000101000000Z", notGeneralized),
      bad("GeneralizedTime", "2024022910.1234567890123456", notGeneralized),
      time("UTCTime", "491231235959Z", "2049-12-31T23:59:59Z"),
      time("UTCTime", "500101000000Z", "1950-01-01T00:00:00Z"),
      time("UTCTime", "9912312359+0100", "1999-12-31T23:59:00+01:00"),
      bad("UTCTime", "491231235959", notUtc),
      bad("UTCTime", "4912312359-01", notUtc),
      bad("UTCTime", "491231235959.5Z", notUtc),
  };
  for (const Row& row : rows) Check(row);
}

TEST(ValueTypes, TelephonyDigits) {
  const Row rows[] = {
      {"TBCDString", "", "214365", "123456\n", "\"123456\"", "123456,"},
      {"TBCDString", "", "2143F5", "12345\n", "\"12345\"", "12345,"},
      {"TBCDString", "", "A1BCDE", "1*a#cb\n", "\"1*a#cb\"", "1*a#cb,"},
      {"TBCDString", "", "", "\n", "\"\"", ","},
      Fails("TBCDString", "", "21F345", "a filler F before the last digit"),
      Fails("TBCDString", "", "1F", "a filler F before the last digit"),
      {"IMSI", "", "62021132547698F0", "262011234567890\n", "\"262011234567890\"", "262011234567890,"},
      {"IMSI", "", "620211", "262011\n", "\"262011\"", "262011,"},
      Fails("IMSI", "", "6202", "an IMSI of other than 3 to 8 octets"),
      Fails("IMSI", "", "620211325476981000", "an IMSI of other than 3 to 8 octets"),
      Fails("IMSI", "", "6202A1", "a nibble A to E where digits are required"),
      {"IMEI", "", "53451000000000F0", "355401000000000\n", "\"355401000000000\"", "355401000000000,"},
      {"IMEI", "", "5345100000000012", "3554010000000021\n", "\"3554010000000021\"", "3554010000000021,"},
      Fails("IMEI", "", "53451000000000", "an IMEI of other than 8 octets"),
      Fails("IMEI", "", "534510000000E0F0", "a nibble A to E where digits are required"),
  };
  for (const Row& row : rows) Check(row);
}

TEST(ValueTypes, TelephonyAddresses) {
  const std::string e164 = "ISDN/Telephony Numbering Plan (Rec ITU-T E.164)";
  const std::string bcdE164 = "ISDN/telephony numbering plan (ITU-T Rec. E.164 / ITU-T Rec. E.163)";
  const auto address = [](std::string nature, int natureCode, std::string plan, int planCode, std::string digits) {
    return "{\"nature\":\"" + nature + "\",\"natureCode\":" + std::to_string(natureCode) + ",\"plan\":\"" + plan +
           "\",\"planCode\":" + std::to_string(planCode) + ",\"digits\":\"" + digits + "\"}";
  };
  const auto bcd = [](std::string nature, int natureCode, std::string plan, int planCode, std::string octet3a,
                      std::string digits) {
    return "{\"nature\":\"" + nature + "\",\"natureCode\":" + std::to_string(natureCode) + ",\"plan\":\"" + plan +
           "\",\"planCode\":" + std::to_string(planCode) + "," + octet3a + ",\"digits\":\"" + digits + "\"}";
  };
  const std::string no3a = "\"presentation\":null,\"presentationCode\":null,\"screening\":null,\"screeningCode\":null";
  const Row rows[] = {
      {"AddressString", "", "912143F5", "international number; " + e164 + "; 12345\n",
       address("international number", 1, e164, 1, "12345"), "international number,1," + e164 + ",1,12345,"},
      {"AddressString", "", "81", "unknown; " + e164 + "; \n", address("unknown", 0, e164, 1, ""),
       "unknown,0," + e164 + ",1,,"},
      {"AddressString", "", "A6BA", "national significant number; land mobile numbering plan (ITU-T Rec E.212); *#\n",
       address("national significant number", 2, "land mobile numbering plan (ITU-T Rec E.212)", 6, "*#"),
       "national significant number,2,land mobile numbering plan (ITU-T Rec E.212),6,*#,"},
      {"AddressString", "", "EF", "abbreviated number; reserved for extension; \n",
       address("abbreviated number", 6, "reserved for extension", 15, ""),
       "abbreviated number,6,reserved for extension,15,,"},
      // the extension bit is not looked at: no octet 3a in an AddressString
      {"AddressString", "", "1A21", "international number; reserved; 12\n", address("international number", 1, "reserved", 10, "12"),
       "international number,1,reserved,10,12,"},
      Fails("AddressString", "", "912F43", "a filler F before the last digit", ",,,,"),
      {"BCDDirectoryNumber", "", "912143", "international number; " + bcdE164 + "; 1234\n",
       bcd("international number", 1, bcdE164, 1, no3a, "1234"), "international number,1," + bcdE164 + ",1,,,,,1234,"},
      {"BCDDirectoryNumber", "", "01A321", "unknown; " + bcdE164 + "; presentation restricted; network provided; 12\n",
       bcd("unknown", 0, bcdE164, 1,
           "\"presentation\":\"presentation restricted\",\"presentationCode\":1,\"screening\":\"network "
           "provided\",\"screeningCode\":3",
           "12"),
       "unknown,0," + bcdE164 + ",1,presentation restricted,1,network provided,3,12,"},
      {"BCDDirectoryNumber", "", "4BC0",
       "dedicated access, short code; reserved for CTS (see 3GPP TS 44.056); number not available due to "
       "interworking; user-provided, not screened; \n",
       bcd("dedicated access, short code", 4, "reserved for CTS (see 3GPP TS 44.056)", 11,
           "\"presentation\":\"number not available due to interworking\",\"presentationCode\":2,\"screening\":"
           "\"user-provided, not screened\",\"screeningCode\":0",
           ""),
       "\"dedicated access, short code\",4,reserved for CTS (see 3GPP TS 44.056),11,number not available due to "
       "interworking,2,\"user-provided, not screened\",0,,"},
      Fails("BCDDirectoryNumber", "", "11", "a BCD number without its octet 3a", ",,,,,,,,"),
  };
  for (const Row& row : rows) Check(row);
}

TEST(ValueTypes, TimeStampAddressPlmnAndSeconds) {
  const Row rows[] = {
      {"TimeStamp", "", "2402292359592D0530", "2024-02-29T23:59:59-05:30\n", "\"2024-02-29T23:59:59-05:30\"",
       "2024-02-29T23:59:59-05:30,"},
      {"TimeStamp", "", "9912310000002B0000", "2099-12-31T00:00:00+00:00\n", "\"2099-12-31T00:00:00+00:00\"",
       "2099-12-31T00:00:00+00:00,"},
      Fails("TimeStamp", "", "2402292359592B1500", "not a valid TimeStamp"),
      Fails("TimeStamp", "", "2302290000002B0000", "not a valid TimeStamp"),
      Fails("TimeStamp", "", "24022923595A2B0000", "not a valid TimeStamp"),
      Fails("TimeStamp", "", "240229235959300000", "not a valid TimeStamp"),
      Fails("TimeStamp", "", "2402292359592B00", "a TimeStamp of other than 9 octets"),
      {"IPAddress", "", "C0A80001", "192.168.0.1\n", "\"192.168.0.1\"", "192.168.0.1,"},
      {"IPAddress", "", "00000000", "0.0.0.0\n", "\"0.0.0.0\"", "0.0.0.0,"},
      {"IPAddress", "", "20010DB8000000000000000000000001", "2001:db8::1\n", "\"2001:db8::1\"", "2001:db8::1,"},
      {"IPAddress", "", "00000000000000000000000000000000", "::\n", "\"::\"", "::,"},
      {"IPAddress", "", "00000000000000000000000000000001", "::1\n", "\"::1\"", "::1,"},
      {"IPAddress", "", "20010DB8000000010000000000000000", "2001:db8:0:1::\n", "\"2001:db8:0:1::\"",
       "2001:db8:0:1::,"},
      {"IPAddress", "", "20010000000000010000000000010001", "2001::1:0:0:1:1\n", "\"2001::1:0:0:1:1\"",
       "2001::1:0:0:1:1,"},
      {"IPAddress", "", "20010DB8000000010001000100010001", "2001:db8:0:1:1:1:1:1\n", "\"2001:db8:0:1:1:1:1:1\"",
       "2001:db8:0:1:1:1:1:1,"},
      {"IPAddress", "", "FE80ABCD000000000000000000000000", "fe80:abcd::\n", "\"fe80:abcd::\"", "fe80:abcd::,"},
      Fails("IPAddress", "", "C0A8000101", "an IP address of other than 4 or 16 octets"),
      {"PLMNId", "", "62F210", "262-01\n", "{\"mcc\":\"262\",\"mnc\":\"01\"}", "262,01,"},
      {"PLMNId", "", "130062", "310-260\n", "{\"mcc\":\"310\",\"mnc\":\"260\"}", "310,260,"},
      Fails("PLMNId", "", "6AF210", "a PLMN identity whose MCC or MNC is not digits", ","),
      Fails("PLMNId", "", "62F21A", "a PLMN identity whose MCC or MNC is not digits", ","),
      Fails("PLMNId", "", "62F2", "a PLMN identity of other than 3 octets", ","),
      {"Seconds", "", "00", "00:00:00\n", "{\"text\":\"00:00:00\",\"seconds\":0}", "00:00:00,0,"},
      {"Seconds", "", "0BC7", "00:50:15\n", "{\"text\":\"00:50:15\",\"seconds\":3015}", "00:50:15,3015,"},
      {"Seconds", "", "05F5E100", "27777:46:40\n", "{\"text\":\"27777:46:40\",\"seconds\":100000000}",
       "27777:46:40,100000000,"},
      {"Seconds", "", "00FFFFFFFFFFFFFFFF", "5124095576030431:00:15\n",
       "{\"text\":\"5124095576030431:00:15\",\"seconds\":18446744073709551615}",
       "5124095576030431:00:15,18446744073709551615,"},
      Fails("Seconds", "", "FF", "a negative duration", ","),
  };
  for (const Row& row : rows) Check(row);
}

// An empty value that its type takes reaches the record formats wherever it stands: in a later
// occurrence, nested in a group, outside records; an empty value of another type stays null.
TEST(ValueTypes, EmptyValuesInEveryPlace) {
  auto root = test::BuildDictionary({"1.TagName=record", "1.LongTagName=R", "1.0.TagName=flag", "1.0.Type=Null",
                                     "1.0.Occurs=2", "1.1.TagName=group", "1.1.0.TagName=inner",
                                     "1.1.0.Type=Characters", "1.1.1.TagName=count", "1.1.1.Type=Integer",
                                     "3.TagName=header", "3.LongTagName=H", "3.0.TagName=marked", "3.0.Type=Null"});
  const test::Bytes input =
      test::Cat({test::Tlv({0xA3}, test::Tlv({0x80}, {})),
                 test::Tlv({0xA1}, test::Cat({test::Tlv({0x80}, {}), test::Tlv({0x80}, {}),
                                              test::Tlv({0xA1}, test::Cat({test::Tlv({0x80}, {}), test::Tlv({0x81}, {})}))}))});
  WalkSettings settings;
  settings.Format = "jsonl";
  EXPECT_EQ(test::RunWalk(*root, input, settings).Output,
            "{\"v\":1,\"record\":null,\"offset\":0,\"path\":\"\",\"fields\":{\"header\":{\"marked\":true}}}\n"
            "{\"v\":1,\"record\":1,\"offset\":4,\"path\":\"1\",\"fields\":{\"flag\":true,\"flag#2\":true,"
            "\"group\":{\"inner\":\"\",\"count\":null}}}\n");
  settings.Format = "csv";
  EXPECT_EQ(test::RunWalk(*root, input, settings).Output,
            "record,flag,flag#2,group.inner,group.count,errors\r\n1,true,true,,,\r\n");
}

// Values of 64 KiB and more are written in chunks: in every format the text of the whole value,
// whatever the output's block size; a character of UTF-16 and an arc of an object identifier are
// never cut at a chunk's edge; the readable text's line, longer than a piece, is left out, and the
// filter finds the value's text across the edges (or drops the record). A long value that cannot
// be decoded keeps its line.
TEST(ValueTypes, LongValuesInChunks) {
  const std::size_t chunk = kLongValueChunk;
  const std::size_t units = kLongValue / 2 + 10;  // of two octets
  // UTF-16: "a"s, a surrogate pair over the first chunk's edge, then "é," and "b"s.
  test::Bytes utf16;
  std::string utf16Text;
  for (std::size_t unit = 0; unit < units; ++unit) {
    if (unit == chunk / 2 - 1) {
      utf16.insert(utf16.end(), {0xD8, 0x3D, 0xDE, 0x00});
      utf16Text += "\xF0\x9F\x98\x80";
      ++unit;
    } else if (unit == chunk / 2 + 1) {
      utf16.insert(utf16.end(), {0x00, 0xE9, 0x00, 0x2C});
      utf16Text += "\xC3\xA9,";
      ++unit;
    } else {
      utf16.insert(utf16.end(), {0x00, static_cast<uint8_t>(unit < chunk / 2 ? 'a' : 'b')});
      utf16Text.push_back(unit < chunk / 2 ? 'a' : 'b');
    }
  }
  // An object identifier of arcs 255, two octets each, the first chunk's edge inside one.
  test::Bytes oid = {0x2A};
  std::string oidText = "1.2";
  while (oid.size() < kLongValue + 3) {
    oid.insert(oid.end(), {0x81, 0x7F});
    oidText += ".255";
  }
  // Bits: 3 unused, then octets A5 (10100101), the first named.
  test::Bytes bits = {0x03};
  std::string bitsText;
  for (std::size_t i = 0; i < kLongValue; ++i) {
    bits.push_back(0xA5);
    bitsText += "10100101";
  }
  bitsText.resize(bitsText.size() - 3);
  // TBCD digits, an odd count.
  test::Bytes tbcd(kLongValue + 1, 0x21);
  tbcd.back() = 0xF3;
  std::string tbcdText;
  for (std::size_t i = 0; i + 1 < tbcd.size(); ++i) tbcdText += "12";
  tbcdText += "3";
  test::Bytes address = {0x91};
  address.insert(address.end(), tbcd.begin(), tbcd.end());
  const test::Bytes zeros(kLongValue, 0x00);
  const std::string zerosHex(2 * kLongValue, '0');

  struct Row {
    const char* Format;
    const char* Type;
    const char* Parameter;
    const test::Bytes* Contents;
    const char* Filter;  // or null
    std::string Expected;
  };
  const std::string line = "{\"v\":1,\"record\":1,\"offset\":0,\"path\":\"1\",\"fields\":{\"v\":";
  const std::string csvHeader = "record,v,errors\r\n1,";
  const std::string e164 = "international number; ISDN/Telephony Numbering Plan (Rec ITU-T E.164); ";
  const Row rows[] = {
      {"text", "BMPString", "", &utf16, nullptr, "R 1\nV:"},
      {"text", "BMPString", "", &utf16, "a\xF0\x9F\x98\x80\xC3\xA9,b", "R 1\nV:"},
      {"text", "BMPString", "", &utf16, "a\xC3\xA9", ""},
      {"jsonl", "BMPString", "", &utf16, nullptr, line + "\"" + utf16Text + "\"}}\n"},
      {"csv", "BMPString", "", &utf16, nullptr, csvHeader + "\"" + utf16Text + "\",\r\n"},
      {"jsonl", "ObjectIdentifier", "", &oid, nullptr, line + "\"" + oidText + "\"}}\n"},
      {"csv", "ObjectIdentifier", "", &oid, nullptr, csvHeader + oidText + ",\r\n"},
      {"text", "ObjectIdentifier", "", &oid, "255.255", "R 1\nV:"},
      {"text", "ObjectIdentifier", "", &oid, "255.256", ""},
      {"jsonl", "BitString", "NamedNumbers=0,first;1,second", &bits, nullptr,
       line + "{\"bits\":\"" + bitsText + "\",\"names\":\"first\"}}}\n"},
      {"csv", "BitString", "NamedNumbers=0,first;1,second", &bits, nullptr,
       "record,v.bits,v.names,errors\r\n1," + bitsText + ",first,\r\n"},
      {"text", "BitString", "NamedNumbers=0,first;1,second", &bits, "10110100 (first)", "R 1\nV:"},
      {"jsonl", "TBCDString", "", &tbcd, nullptr, line + "\"" + tbcdText + "\"}}\n"},
      {"csv", "TBCDString", "", &tbcd, nullptr, csvHeader + tbcdText + ",\r\n"},
      {"text", "AddressString", "", &address, nullptr, "R 1\nV:" + e164},
      {"jsonl", "AddressString", "", &address, nullptr,
       line + "{\"nature\":\"international number\",\"natureCode\":1,\"plan\":\"ISDN/Telephony Numbering Plan (Rec "
              "ITU-T E.164)\",\"planCode\":1,\"digits\":\"" + tbcdText + "\"}}}\n"},
      {"text", "AddressString", "", &address, "1212123", "R 1\nV:" + e164},
      {"text", "Integer", "", &zeros, nullptr, "R 1\nV: error: an integer of more than 9 octets; octets " + zerosHex + "\n"},
      {"text", "Integer", "", &zeros, "octets 000", "R 1\nV: error: an integer of more than 9 octets; octets " + zerosHex + "\n"},
      {"jsonl", "Integer", "", &zeros, nullptr,
       line + "{\"error\":\"an integer of more than 9 octets\",\"hex\":\"" + zerosHex + "\"}}}\n"},
      {"text", "Characters", "", &zeros, nullptr,
       "R 1\nV: error: a NUL character (no database text holds one); octets " + zerosHex + "\n"},
  };
  for (const Row& row : rows) {
    for (std::size_t blockSize : {std::size_t{1000}, kOutputBlockSize}) {
      SCOPED_TRACE(std::string(row.Type) + " " + row.Format + " " + (row.Filter ? row.Filter : "-") + " blocks of " +
                   std::to_string(blockSize));
      auto root = test::BuildDictionary({"1.TagName=record", "1.LongTagName=R", "1.0.TagName=v", "1.0.LongTagName=V:",
                                         std::string("1.0.Type=") + row.Type});
      if (*row.Parameter != '\0') ApplyTagsLine(*root, std::string("1.0.") + row.Parameter);
      WalkSettings settings;
      settings.Format = row.Format;
      if (row.Filter != nullptr) {
        bool found = false;
        SetFilter(*root, "v", row.Filter, found);
        settings.FilterCount = 1;
      }
      const std::string output =
          test::RunWalk(*root, test::Tlv({0xA1}, test::Tlv({0x80}, *row.Contents)), settings, blockSize).Output;
      EXPECT_TRUE(output == row.Expected) << "output of " << output.size() << " octets, not " << row.Expected.size();
    }
  }
}

}  // namespace
}  // namespace orvalis
