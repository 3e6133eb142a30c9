#include "errors/error_messages.h"

#include <gtest/gtest.h>

#include "fake_env.h"

namespace wirelens {
namespace {

TEST(HexForm, LowercaseWithoutLeadingZeros) {
  EXPECT_EQ(hexForm(0x40105401), "0x40105401");
  EXPECT_EQ(hexForm(0), "0x0");
  EXPECT_EQ(hexForm(255), "0xff");
}

}  // namespace
}  // namespace wirelens
