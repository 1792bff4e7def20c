#include "install/version_compare.h"

#include <gtest/gtest.h>

namespace hs::install {
namespace {

TEST(CompareVersions, Table) {
  struct Case {
    const char16_t* a;
    const char16_t* b;
    int sign;
  } cases[] = {
      {u"1.0", u"1.0", 0},          {u"2.10", u"2.9", 1},     {u"1.2", u"1.2.0", -1},
      {u"", u"0", -1},              {u"", u"", 0},            {u".5", u"0.5", 0},
      {u"1.0b", u"1.0a", 1},        {u"1.0", u"1.0a", -1},    {u"1.0A", u"1.0a", 0},
      {u"3-7", u"3.7", 0},   {u"3,1", u"3.1", 0},      {u"99999999999999999999999", u"1", 1},
      {u"007", u"7", 0},
  };
  int index = 0;
  for (const auto& c : cases) {
    const int r = compare_versions(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << "case " << index;
    const int back = compare_versions(c.b, c.a);
    EXPECT_EQ((back > 0) - (back < 0), -c.sign) << "case " << index << " reversed";
    ++index;
  }
}

}  // namespace
}  // namespace hs::install
