// Tests of zelutil: time stamps, ZLException, string helpers, formatText, sequential ids.
#include "zelhost/services/zelutil.h"

#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

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
  EXPECT_STREQ(e.getID(), "area:reason");
  EXPECT_STREQ(e.getMessage(), "list has 3 items");
  e.prependMessage("In %s: ", "setup");
  EXPECT_STREQ(e.getMessage(), "In setup: list has 3 items");

  zelutil::ZLException copy(e);
  copy.setID("other:id");
  copy.setMessage("%05.1f", 2.25);
  EXPECT_STREQ(copy.getMessage(), "002.2");
  EXPECT_STREQ(e.getID(), "area:reason");  // the original is untouched
  e = copy;
  EXPECT_STREQ(e.getMessage(), "002.2");

  // Messages of any length: far beyond any fixed buffer.
  const std::string big(10000, 'x');
  zelutil::ZLException longOne("a:b", "[%s]", big.c_str());
  EXPECT_EQ(std::string(longOne.getMessage()), "[" + big + "]");

  zelutil::ZLException nulls(nullptr, nullptr);
  EXPECT_STREQ(nulls.getID(), "");
  EXPECT_STREQ(nulls.getMessage(), "");
}

TEST(StringHelpersTest, CaselessComparisonUpperCaseAndTruncation) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  };
  const Case cases[] = {
      {"Timeout", "TIMEOUT", 0}, {"", "", 0},      {"abc", "abd", -1}, {"ABD", "abc", 1},
      {"ab", "ABC", -1},         {"abc", "AB", 1}, {"a_b", "A_B", 0},  {"[", "a", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    const int r = zelutil::caselessCompare(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign);
    EXPECT_EQ(zelutil::caselessCompare(std::string(c.a), std::string(c.b)), r);
    EXPECT_EQ(zelutil::caselessIsLessThan(c.a, c.b), c.sign < 0);
  }
  EXPECT_EQ(zelutil::caselessCompare("", static_cast<const char*>(nullptr)), 0);
  EXPECT_GT(zelutil::caselessCompare("x", static_cast<const char*>(nullptr)), 0);

  EXPECT_EQ(zelutil::toUpper("TimerFcn_2 \xC3\xA4"), "TIMERFCN_2 \xC3\xA4");
  EXPECT_EQ(zelutil::truncate("value.", 5), "value");
  EXPECT_EQ(zelutil::truncate("abc", 10), "abc");
  EXPECT_EQ(zelutil::truncate("abc", 0), "");

  EXPECT_EQ(std::string("class_") + 12, "class_12");
  EXPECT_EQ(std::string("n") + -5, "n-5");
  std::string s = "type";
  s += 3L;
  s += LONG_MIN;
  EXPECT_EQ(s, "type3" + std::to_string(LONG_MIN));
  // An int keeps the standard meaning: a character code is appended.
  std::string code;
  code += 'a' + 1;
  EXPECT_EQ(code, "b");
}

TEST(FormatTextTest, KeepsLinesWithoutWrap) {
  struct Case {
    const char* text;
    const char* indent;
    bool terminate;
    const char* expected;
  };
  const Case cases[] = {
      {"one line", "    ", true, "    one line\n"},
      {"one line", "    ", false, "    one line"},
      {"first\nsecond", "  ", true, "  first\n  second\n"},
      {"", "    ", true, "    \n"},
      {"", "", false, ""},
      {"a\n\nb", "> ", false, "> a\n> \n> b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string out = "kept:";
    zelutil::fcns::formatText(out, c.text, c.indent, false, c.terminate);
    EXPECT_EQ(out, std::string("kept:") + c.expected);
  }
  // Long lines are not broken without wrap.
  std::string out;
  const std::string longLine(200, 'y');
  zelutil::fcns::formatText(out, longLine, "", false, false);
  EXPECT_EQ(out, longLine);
}

TEST(FormatTextTest, WrapsAtEightyWithHangingIndent) {
  std::string words;
  for (int i = 0; i < 40; ++i) words += "prop" + std::to_string(i) + ", ";
  std::string out;
  const std::string indent = "    See also ";
  zelutil::fcns::formatText(out, words, indent, true, true);
  ASSERT_EQ(out.back(), '\n');
  const std::vector<std::string> lines = linesOf(out);
  ASSERT_GT(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind(indent + "prop0, prop1,", 0), 0u);
  std::string rejoined;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    EXPECT_LE(lines[i].size(), 80u);
    if (i > 0) {
      EXPECT_EQ(lines[i].substr(0, indent.size()), std::string(indent.size(), ' '));
      EXPECT_NE(lines[i][indent.size()], ' ');
    }
    // Each line is full: the next word would not have fitted.
    if (i + 1 < lines.size()) {
      const std::string next = lines[i + 1].substr(indent.size());
      EXPECT_GT(lines[i].size() + 1 + next.substr(0, next.find(' ')).size(), 80u);
    }
    rejoined += (i > 0 ? " " : "") + lines[i].substr(indent.size());
  }
  // No word is lost or split; runs of blanks become one.
  EXPECT_EQ(rejoined + " ", words);

  std::string lonely;
  const std::string giant(100, 'w');
  zelutil::fcns::formatText(lonely, "short " + giant + " tail", "  ", true, false);
  EXPECT_EQ(lonely, "  short\n  " + giant + "\n  tail");

  std::string blank;
  zelutil::fcns::formatText(blank, "   ", "  * ", true, true);
  EXPECT_EQ(blank, "  * \n");
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
