// Tests of zelutil: time stamps, ZLException, string helpers, formatText, sequential ids.
#include "zelhost/services/zelutil.h"

#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

namespace {

TEST(TimestampTest, TakesTheWallClockInSeconds) {
  zelutil::Timestamp a;
  EXPECT_NEAR(a.getTime(), static_cast<double>(std::time(nullptr)), 2.0);
  // The fraction of a second is kept, not rounded away.
  zelutil::Timestamp b;
  while (b.getTime() == a.getTime()) b.setToNow();
  EXPECT_LT(b - a, 0.01);
  EXPECT_GT(b - a, 0.0);
}

TEST(ZLExceptionTest, FormatsPrependsAndCopies) {
  zelutil::ZLException e("area:reason", "%s has %d items", "list", 3);
  e.prependMessage("In %s: ", "setup");
  EXPECT_EQ(std::string(e.getID()) + "|" + e.getMessage(),
            "area:reason|In setup: list has 3 items");
  zelutil::ZLException copy(e);
  copy.setID("other:id");
  copy.setMessage("%05.1f", 2.25);
  EXPECT_STREQ(copy.getMessage(), "002.2");
  EXPECT_STREQ(e.getID(), "area:reason");  // the original is untouched
  e = copy;
  EXPECT_STREQ(e.getMessage(), "002.2");
  const std::string big(10000, 'x');  // far beyond any fixed buffer
  EXPECT_EQ(std::string(zelutil::ZLException("a:b", "[%s]", big.c_str()).getMessage()),
            "[" + big + "]");
  zelutil::ZLException nulls(nullptr, nullptr);
  EXPECT_EQ(std::string(nulls.getID()) + nulls.getMessage(), "");
}

TEST(StringHelpersTest, CaselessComparisonUpperCaseAndTruncation) {
  const std::tuple<const char*, const char*, int> cases[] = {
      {"Timeout", "TIMEOUT", 0}, {"", "", 0},      {"abc", "abd", -1}, {"ABD", "abc", 1},
      {"ab", "ABC", -1},         {"abc", "AB", 1}, {"a_b", "A_B", 0},  {"[", "a", -1},
  };
  for (const auto& [a, b, sign] : cases) {
    SCOPED_TRACE(std::string(a) + " vs " + b);
    const int r = zelutil::caselessCompare(a, b);
    EXPECT_EQ((r > 0) - (r < 0), sign);
    EXPECT_EQ(zelutil::caselessCompare(std::string(a), std::string(b)), r);
    EXPECT_EQ(zelutil::caselessIsLessThan(a, b), sign < 0);
  }
  EXPECT_EQ(zelutil::caselessCompare("", static_cast<const char*>(nullptr)), 0);
  EXPECT_GT(zelutil::caselessCompare("x", static_cast<const char*>(nullptr)), 0);
  EXPECT_EQ(zelutil::toUpper("TimerFcn_2 \xC3\xA4"), "TIMERFCN_2 \xC3\xA4");
  EXPECT_EQ(
      zelutil::truncate("value.", 5) + zelutil::truncate("abc", 10) + zelutil::truncate("abc", 0),
      "valueabc");
  std::string s = std::string("n") + -5 + "_";
  s += 3L;
  s += LONG_MIN;
  EXPECT_EQ(s, "n-5_3" + std::to_string(LONG_MIN));
  std::string code;  // an int keeps the standard meaning: a character code
  code += 'a' + 1;
  EXPECT_EQ(code, "b");
}

// Wrapping of long "See also" lists is shown by prophelp; these are the edges.
TEST(FormatTextTest, AppendsIndentedLines) {
  struct Case {
    const char* text;
    const char* indent;
    bool wrap, terminate;
    const char* expected;
  };
  const Case cases[] = {
      {"one line", "    ", false, false, "    one line"},
      {"first\nsecond", "  ", false, true, "  first\n  second\n"},
      {"", "", false, false, ""},
      {"a\n\nb", "> ", false, false, "> a\n> \n> b"},
      {"   ", "  * ", true, true, "  * \n"},
      {"x  y", "", true, false, "x y"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string out = "kept:";
    zelutil::fcns::formatText(out, c.text, c.indent, c.wrap, c.terminate);
    EXPECT_EQ(out, std::string("kept:") + c.expected);
  }
}

TEST(SequentialIdTest, UniqueAndIncreasingAcrossThreads) {
  const long first = zelutil::fcns::getSequentialID();
  EXPECT_EQ(zelutil::fcns::getSequentialID(), first + 1);
  std::vector<std::vector<long>> seen(4);
  std::vector<std::thread> threads;
  for (auto& ids : seen) {
    threads.emplace_back([&ids] {
      for (int i = 0; i < 1000; ++i) ids.push_back(zelutil::fcns::getSequentialID());
    });
  }
  for (std::thread& t : threads) t.join();
  std::set<long> all;
  for (const auto& ids : seen) all.insert(ids.begin(), ids.end());
  EXPECT_EQ(all.size(), 4000u);
  EXPECT_GT(*all.begin(), first + 1);
}

}  // namespace
