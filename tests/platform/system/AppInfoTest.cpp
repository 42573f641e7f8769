#include "platform/system/AppInfo.hpp"

#include <gtest/gtest.h>

TEST(AppInfo, NameAndVersionComeFromTheBuild) {
    EXPECT_EQ(qv::platform::appName(), "Quarn Vesil");
    EXPECT_EQ(qv::platform::appVersion(), "1.0.0");
}
