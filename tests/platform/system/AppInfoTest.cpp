#include "platform/system/AppInfo.hpp"

#include <gtest/gtest.h>

TEST(AppInfo, NameVersionAndSiteComeFromTheBuild) {
    EXPECT_EQ(qv::platform::appName(), "Quarn Vesil");
    EXPECT_EQ(qv::platform::appVersion(), "1.0.0");
    EXPECT_EQ(qv::platform::siteAddress(), "https://quarn-vesil.example");
}
