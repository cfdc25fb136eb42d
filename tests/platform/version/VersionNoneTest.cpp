#include "platform/version/VersionInfo.h"

#include <gtest/gtest.h>

TEST(VersionTable, ModuleWithoutTableHasNone)
{
    EXPECT_EQ(platform::VersionTable::Module(), nullptr);
}
