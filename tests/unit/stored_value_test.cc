// The platform's Boolean reading of every stored type, shared by both stores.
#include "platform/stored_value.h"

#include <gtest/gtest.h>

namespace velmoryn {
namespace {

TEST(StoredValue, ReadsAsTrueByThePlatformsRuleAndATextNeverAsANumber) {
  using S = std::string;
  const SettingsValue readTrue[] = {true,          std::int64_t{-5}, -0.5,       S("y"),
                                    S("Tomorrow"), S(" \t\n+007"),   S("-0009x")};
  const SettingsValue readFalse[] = {false, std::int64_t{0}, 0.0,      S("NO"),  S("0"),
                                     S(""), S("false"),      S("+-1"), S("0.5"), OtherValue{}};
  for (const auto& v : readTrue) EXPECT_TRUE(readsAsTrue(v)) << ::testing::PrintToString(v);
  for (const auto& v : readFalse) EXPECT_FALSE(readsAsTrue(v)) << ::testing::PrintToString(v);
}

}  // namespace
}  // namespace velmoryn
