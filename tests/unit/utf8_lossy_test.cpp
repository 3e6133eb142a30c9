#include "records/utf8_lossy.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "le_bytes.h"

namespace wirelens {
namespace {

using testing::bytesOf;

#define R "\xEF\xBF\xBD"  // U+FFFD as UTF-8

struct Case {
  std::string_view input;
  std::string_view expected;
};

// Ill-formed input yields one replacement per maximal subpart: the lead byte and the
// continuation bytes that could still have completed it; the first misfit starts afresh.
TEST(DecodeUtf8Lossy, ReplacesEachMaximalSubpartOnce) {
  const Case cases[] = {
      {"", ""},
      {"cubic", "cubic"},
      {std::string_view("a\0b", 3), std::string_view("a\0b", 3)},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},  // two-byte sequences kept
      {"\xE2\x82\xAC", "\xE2\x82\xAC"},            // three bytes
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},    // four bytes
      {"\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},    // U+10FFFF, the last one
      {"\xFF", R},
      {"ab\xFF"
       "cd",
       "ab" R "cd"},
      {"\x80\xBF", R R},              // lone continuation bytes
      {"\xC0\xAF", R R},              // overlong, C0 never leads
      {"\xE0\x80\xAF", R R R},        // overlong three-byte
      {"\xF0\x8F\xBF\xBF", R R R R},  // overlong four-byte
      {"\xED\xA0\x80", R R R},        // surrogate U+D800
      {"\xED\xBF\xBF", R R R},        // surrogate U+DFFF
      {"\xF4\x90\x80\x80", R R R R},  // beyond U+10FFFF
      {"\xF5\x80", R R},
      {"\xE2\x82", R},  // truncated at the end
      {"\xF0\x9F\x98", R},
      {"\xE2\x82"
       "x",
       R "x"},                                 // truncated before ASCII
      {"\xE2\xE2\x82\xAC", R "\xE2\x82\xAC"},  // misfit starts a new sequence
      {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64", "a" R R R "b" R "c" R R "d"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(decodeUtf8Lossy(bytesOf(c.input)), c.expected) << ::testing::PrintToString(c.input);
  }
}

}  // namespace
}  // namespace wirelens
