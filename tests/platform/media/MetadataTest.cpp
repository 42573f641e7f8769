#include "platform/media/Metadata.hpp"

#include "platform/media/MetadataKeys.hpp"

#include <gtest/gtest.h>

using namespace qv::platform;

TEST(Metadata, ReadersTellAbsentFromAnotherType) {
    MetadataDictionary d;
    d.set("count", 3);
    d.set("name", "x");
    EXPECT_EQ(d.find("missing"), nullptr);
    ASSERT_NE(d.find("name"), nullptr);
    EXPECT_FALSE(d.find("name")->number());
    EXPECT_EQ(d.find("count")->number(), 3.0);
    EXPECT_FALSE(d.find("count")->string());
}

TEST(Metadata, IntegerAcceptsOnlyWholeFittingDoubles) {
    EXPECT_EQ(MetadataValue(528.0).integer(), 528);
    EXPECT_FALSE(MetadataValue(528.5).integer());
    EXPECT_FALSE(MetadataValue(1e30).integer());
    EXPECT_FALSE(MetadataValue(true).integer());
    EXPECT_FALSE(MetadataValue(true).number());
}

TEST(Metadata, NumbersRefusesMixedLists) {
    EXPECT_EQ(MetadataValue(MetadataList{0.5, 1, 0.7}).numbers(),
              (std::vector<double>{0.5, 1, 0.7}));
    EXPECT_FALSE(MetadataValue(MetadataList{0.5, "x"}).numbers());
    EXPECT_FALSE(MetadataValue(0.5).numbers());
}

TEST(Metadata, KeepsInsertionOrderAndReplacesInPlace) {
    MetadataDictionary d;
    d.set("b", 1);
    d.set("a", 2);
    d.set("b", 3);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d.begin()->first, "b");
    EXPECT_EQ(d.begin()->second.integer(), 3);
    EXPECT_TRUE(d.erase("b"));
    EXPECT_FALSE(d.erase("b"));
}

TEST(Metadata, SubDictionaryIsMadeForWritingOnly) {
    MetadataDictionary d;
    const MetadataDictionary& constD = d;
    EXPECT_EQ(constD.dictionary(metadata::exifGroup), nullptr);
    d.set(metadata::tiffGroup, "not a dictionary");
    d.dictionary(metadata::tiffGroup).set(metadata::tiffSoftware, "app");
    ASSERT_NE(constD.dictionary(metadata::tiffGroup), nullptr);
    EXPECT_EQ(*constD.dictionary(metadata::tiffGroup)->find(metadata::tiffSoftware)->string(),
              "app");
    MetadataDictionary copy = d;
    EXPECT_EQ(copy, d);
}
