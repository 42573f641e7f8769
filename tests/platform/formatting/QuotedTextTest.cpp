#include "platform/formatting/QuotedText.hpp"

#include <gtest/gtest.h>
#include <string>

namespace qv::platform {
namespace {

TEST(QuotedText, ControlCharactersAreEscapedAndLongTextsCut) {
    EXPECT_EQ(quotedText("photos=limited"), "'photos=limited'");
    EXPECT_EQ(quotedText(""), "''");
    EXPECT_EQ(quotedText(std::string("a\nb\tc\x01\x7f", 7)), "'a\\nb\\tc\\x01\\x7f'");
    EXPECT_EQ(quotedText("caf\xc3\xa9"), "'caf\xc3\xa9'");
    EXPECT_EQ(quotedText(std::string(100, 'x'), 80), "'" + std::string(80, 'x') + "...'");
    EXPECT_EQ(quotedText(std::string(80, 'x'), 80), "'" + std::string(80, 'x') + "'");
}

} // namespace
} // namespace qv::platform
