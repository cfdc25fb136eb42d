#include "QelFrameWalker.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Walk {
    bool accepted = false;
    std::vector<uint32_t> blocks;  // frames per block
    std::vector<int32_t> values;   // every frame taken, in order
};

template <typename In>
Walk walk(const std::vector<In>& in, int32_t count, int32_t stride, uint32_t blockFrames) {
    Walk w;
    w.accepted = QelWalkFrames(in.data(), count, stride, blockFrames, [&](const TQelFrameBlock<In>& b) {
        EXPECT_EQ(b.done, w.values.size());
        w.blocks.push_back(b.frames);
        std::vector<int32_t> q(b.frames);
        b.CopyQ31(q.data());
        w.values.insert(w.values.end(), q.begin(), q.end());
    });
    return w;
}

TEST(FrameWalker, BlocksAndFramesByCountAndStride) {
    struct Case { int32_t count, stride; uint32_t block; std::vector<uint32_t> blocks; };
    const Case cases[] = {
        {4096, 2, 2048, {2048}},          // exactly one block of a stereo buffer
        {4095, 2, 2048, {2048}},          // last frame is element 4094
        {8192, 2, 2048, {2048, 2048}},
        {10, 1, 4, {4, 4, 2}},
        {7, 3, 100, {3}},                 // ceil(7 / 3)
        {1, 5, 1, {1}},
        {5, 1, 0, {1, 1, 1, 1, 1}},       // a block size of 0 is taken as 1
    };
    for (const Case& c : cases) {
        std::vector<int32_t> in(static_cast<size_t>(c.count));
        for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<int32_t>(i);
        const Walk w = walk(in, c.count, c.stride, c.block);
        EXPECT_TRUE(w.accepted);
        EXPECT_EQ(w.blocks, c.blocks) << c.count << "/" << c.stride;
        for (size_t k = 0; k < w.values.size(); ++k) ASSERT_EQ(w.values[k], static_cast<int32_t>(k) * c.stride);
    }
}

TEST(FrameWalker, RefusesStrideZeroOrNegativeAndIgnoresEmptyCount) {
    const std::vector<int32_t> in(8, 1);
    for (int32_t stride : {0, -1, -2}) {
        const Walk w = walk(in, 8, stride, 4);
        EXPECT_FALSE(w.accepted) << stride;
        EXPECT_TRUE(w.blocks.empty());
    }
    for (int32_t count : {0, -5}) {
        const Walk w = walk(in, count, 1, 4);
        EXPECT_TRUE(w.accepted);
        EXPECT_TRUE(w.blocks.empty());
    }
}

TEST(FrameWalker, SixteenBitSamplesBecomeQ31) {
    const std::vector<int16_t> in = {1, -1, 32767, -32768, 0};
    const Walk w = walk(in, 5, 1, 8);
    EXPECT_EQ(w.values, (std::vector<int32_t>{65536, -65536, 32767 * 65536, INT32_MIN, 0}));
}

TEST(FrameWalker, StoreShiftsOnlyWhenAsked) {
    const int32_t r[] = {65536 * 3, -65536 * 2, -1, 1};
    int16_t o16[4];
    QelStoreBlock(o16, r, 4, true);
    EXPECT_EQ(std::vector<int16_t>(o16, o16 + 4), (std::vector<int16_t>{3, -2, -1, 0}));
    int32_t o32[4];
    QelStoreBlock(o32, r, 4, false);
    EXPECT_EQ(std::vector<int32_t>(o32, o32 + 4), std::vector<int32_t>(r, r + 4));
}

}  // namespace
