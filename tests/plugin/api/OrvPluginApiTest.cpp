#include "plugin/frame/OrvPlugin.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
void orvApiFillInfo(OrvReceiverInfo* info, int32_t receiver, int32_t maxVolume);
int32_t orvApiSendDetach(OrvHostCallback callback, OrvInstance instance, const char* name);
extern const int32_t orvApiCodes[];
extern const size_t orvApiCodeCount;
}

static_assert(sizeof(OrvReceiverInfo) == 0x118);
static_assert(offsetof(OrvReceiverInfo, receiverNumber) == 0xA0);
static_assert(offsetof(OrvReceiverInfo, maxVolume) == 0x114);
static_assert(sizeof(OrvInstance) == 4 && OrvInstance(-1) == ORV_START_FAILED);
static_assert(ORV_NOT_ATTACHED == int32_t(0x80000000u));
static_assert(sizeof(OrvHostWindow) == sizeof(void*));

namespace {

int32_t LittleEndianAt(const OrvReceiverInfo& info, size_t offset)
{
    const auto* b = reinterpret_cast<const unsigned char*>(&info) + offset;
    return int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
}

TEST(OrvPluginApi, RecordFieldsSitAtTheirByteOffsets)
{
    OrvReceiverInfo info;
    orvApiFillInfo(&info, 2, 255);
    EXPECT_EQ(LittleEndianAt(info, 0xA0), 2);
    EXPECT_EQ(LittleEndianAt(info, 0x114), 255);
    EXPECT_EQ(info.receiverNumber, 2);
    EXPECT_EQ(info.maxVolume, 255);
}

TEST(OrvPluginApi, CodesHaveTheirValuesInBothLanguages)
{
    const std::vector<int32_t> expected = {0x0100, 0x0800, 0x0801, 0x0900, 0x0B00, 0x0B01, 0x0C01,
                                           0x0D01, 0x0E00, 0x0E01, 0x1100, 0x1101, 0x4000, 0x4002};
    ASSERT_EQ(orvApiCodeCount, expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(orvApiCodes[i], expected[i]) << i;
    EXPECT_EQ(ORV_INTERFACE_VERSION, 0x100);
    EXPECT_EQ(ORV_PLUGIN_FLAGS, 0xFFFEA6FDu);
}

struct Seen {
    OrvInstance instance;
    int32_t code, parameter, length;
    std::string text;
};
Seen g_seen;

int32_t RecordingHost(OrvInstance instance, int32_t code, int32_t parameter, int32_t length, const char* pointer)
{
    g_seen = {instance, code, parameter, length, pointer ? std::string(pointer, size_t(length)) : std::string()};
    return 7;
}

TEST(OrvPluginApi, CallbackTakesTheLengthBeforeThePointer)
{
    EXPECT_EQ(orvApiSendDetach(&RecordingHost, 3, "MPT1327"), 7);
    EXPECT_EQ(g_seen.instance, 3);
    EXPECT_EQ(g_seen.code, ORV_DETACH);
    EXPECT_EQ(g_seen.parameter, 0);
    EXPECT_EQ(g_seen.length, 8);
    EXPECT_EQ(g_seen.text, std::string("MPT1327", 8));
}

}  // namespace
