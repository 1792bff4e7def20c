// Conditional deletion: the date parser and the conditions.
#include "uninstall/conditional_deletion.h"

#include "support/text.h"

#include <gtest/gtest.h>

namespace hs::uninstall {
namespace {

// FILETIME of a UTC date and time.
platform::FileTime file_time(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
  // Days from 1601-01-01 by counting; the tests use a handful of dates.
  long long days = 0;
  for (int year = 1601; year < y; ++year) days += (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) ? 366 : 365;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int month = 1; month < m; ++month) {
    days += kDays[month - 1] + (month == 2 && y % 4 == 0 && (y % 100 != 0 || y % 400 == 0) ? 1 : 0);
  }
  days += d - 1;
  const long long seconds = days * 86400 + hh * 3600 + mm * 60 + ss;
  return static_cast<platform::FileTime>(seconds) * 10000000ULL;
}

TEST(ConditionDate, AcceptsCommonFormsAndRejectsImpossibleDates) {
  struct Case {
    const char16_t* text;
    bool valid;
    bool has_time;
  } cases[] = {
      {u"2024-03-05", true, false},       {u"2024/3/5", true, false},       {u"2024.03.05", true, false},
      {u"05.03.2024", true, false},       {u"2024-02-29", true, false},     {u"2000-02-29", true, false},
      {u"2024-03-05 14:07", true, true},  {u"2024-03-05T14:07:09", true, true},
      {u" 2024-03-05  23:59:59 ", true, true},
      {u"2024-03-05 24:00", true, false},  // time out of range: the date alone counts
      {u"2024-03-05 12:60:00", true, false},
      {u"2023-02-29", false, false},      {u"1900-02-29", false, false},    {u"2024-04-31", false, false},
      {u"2024-13-01", false, false},      {u"2024-00-10", false, false},    {u"2024-01-00", false, false},
      {u"31.06.2024", false, false},      {u"", false, false},              {u"yesterday", false, false},
      {u"2024-03", false, false},         {u"2024-03/05", false, false},    {u"2024-03-05x", false, false},
      {u"2024-03-05 14", false, false},   {u"20240-03-05", false, false},   {u"0000-01-01", false, false},
  };
  for (const auto& c : cases) {
    const auto d = parse_condition_date(c.text);
    EXPECT_EQ(d.has_value(), c.valid) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
    if (d) EXPECT_EQ(d->has_time, c.has_time);
  }
  const auto d = parse_condition_date(u"05.03.2024 14:07:09");
  ASSERT_TRUE(d);
  EXPECT_EQ((std::array{d->year, d->month, d->day, d->hour, d->minute, d->second}),
            (std::array{2024, 3, 5, 14, 7, 9}));
}

TEST(Condition, SizesCompareWithTheArgument) {
  const FileFacts file{100, 0};
  struct Case {
    int condition;
    const char16_t* argument;
    bool met;
  } cases[] = {
      {4, u"100", true}, {4, u"99", false}, {5, u"100", true}, {5, u"101", false}, {5, u"0", true},
      {6, u"100", true}, {6, u"99", false}, {4, u"", false},   {5, u"", true},     {5, u"99999999999999999999999", false},
      {0, u"", true},    {7, u"", true},    {-1, u"x", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(test_condition(c.condition, c.argument, file) == ConditionResult::kMet, c.met)
        << c.condition << " " << std::string(c.argument, c.argument + std::char_traits<char16_t>::length(c.argument));
  }
}

TEST(Condition, DatesCompareWithOrWithoutTime) {
  const FileFacts file{0, file_time(2024, 3, 5, 14, 7, 9)};
  struct Case {
    int condition;
    const char16_t* argument;
    ConditionResult result;
  } cases[] = {
      {1, u"2024-03-05", ConditionResult::kMet},
      {1, u"2024-03-05 14:07:09", ConditionResult::kMet},
      {1, u"2024-03-05 14:07:10", ConditionResult::kNotMet},
      {1, u"2024-03-05 25:00:00", ConditionResult::kMet},  // time out of range: dates only
      {2, u"2024-03-05 14:07:10", ConditionResult::kNotMet},
      {2, u"2024-03-05", ConditionResult::kMet},
      {2, u"2024-03-06", ConditionResult::kNotMet},
      {3, u"2024-03-05 14:07:08", ConditionResult::kNotMet},
      {3, u"2024-03-04", ConditionResult::kNotMet},
      {3, u"2025-01-01", ConditionResult::kMet},
      {2, u"1999-12-31", ConditionResult::kMet},
      {1, u"2024-02-30", ConditionResult::kBadDate},
      {3, u"not a date", ConditionResult::kBadDate},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(test_condition(c.condition, c.argument, file), c.result)
        << c.condition << " " << std::string(c.argument, c.argument + std::char_traits<char16_t>::length(c.argument));
  }
}

// A pattern deletes only inside the folder it names: what could reach a
// drive root, the process's current folder or a parent is refused.
TEST(ConditionalPattern, StaysInsideTheFolderItNames) {
  const struct {
    const char16_t* pattern;
    const char16_t* install_folder;
    const char16_t* expected;  // nullptr: refused
  } cases[] = {
      {u"C:\\P\\logs\\*.log", u"", u"C:\\P\\logs\\*.log"},
      {u"logs\\*.log", u"C:\\P", u"C:\\P\\logs\\*.log"},
      {u"*", u"C:\\P", u"C:\\P\\*"},
      {u"C:\\P\\*", u"C:\\P", u"C:\\P\\*"},  // %InstallDir%\*
      {u"\\\\server\\share\\dir\\*.tmp", u"", u"\\\\server\\share\\dir\\*.tmp"},
      {u"logs\\*.log", u"", nullptr},       // relative, and no installation folder
      {u"*.log", u"", nullptr},
      {u"C:\\*.log", u"C:\\P", nullptr},    // a drive root
      {u"C:\\\\*.log", u"C:\\P", nullptr},
      {u"C:*.log", u"C:\\P", nullptr},      // the drive's current folder
      {u"C:logs\\*.log", u"C:\\P", nullptr},
      {u"\\*.x", u"C:\\P", nullptr},        // empty folder part
      {u"\\\\server\\share\\*", u"", nullptr},
      {u"C:\\P\\..\\*", u"C:\\P", nullptr},  // a ".." component
      {u"..\\*.log", u"C:\\P", nullptr},
      {u"C:\\P/../x.txt", u"", nullptr},
      {u"C:\\P\\..x\\*", u"", u"C:\\P\\..x\\*"},  // only a whole ".." climbs
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(support::utf16_to_utf8(c.pattern));
    const std::optional<std::u16string> got = confined_pattern(c.pattern, c.install_folder);
    if (c.expected) {
      ASSERT_TRUE(got.has_value());
      EXPECT_EQ(*got, c.expected);
    } else {
      EXPECT_FALSE(got.has_value()) << support::utf16_to_utf8(*got);
    }
  }
}

}  // namespace
}  // namespace hs::uninstall
