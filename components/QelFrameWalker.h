#pragma once
// The one walk over interleaved input that every signal component shares: (output, input, count,
// stride) means "consume count elements, one frame of the wanted channel every stride elements",
// taken in blocks of at most the component's block size.
#include <cstddef>
#include <cstdint>
#include <type_traits>

// Sample scale conversions of the library: 16-bit samples become Q31 by a left shift of 16,
// Q31 values become 16-bit samples by an arithmetic right shift of 16.
inline int32_t QelToQ31(int16_t s) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(s)) << 16); }
inline int32_t QelToQ31(int32_t s) { return s; }
inline int16_t QelToSample16(int32_t v) { return static_cast<int16_t>(v >> 16); }

// One block of the walk: frames consecutive frames of the wanted channel, the first at first,
// each stride elements after the previous one.
template <typename In>
struct TQelFrameBlock {
    const In* first;
    int32_t stride;
    uint32_t frames;
    uint64_t done;  // frames walked before this block

    const In& operator[](uint32_t k) const { return first[static_cast<std::ptrdiff_t>(k) * stride]; }

    // Copies the block's frames to dst in the library's 32-bit scale.
    void CopyQ31(int32_t* dst) const {
        const In* p = first;
        for (uint32_t k = 0; k < frames; ++k, p += stride) dst[k] = QelToQ31(*p);
    }
};

// Walks count elements from in, one frame every stride elements, in blocks of at most
// blockFrames frames (0 is taken as 1), calling perBlock(const TQelFrameBlock<In>&) for each.
// A frame is taken while elements remain, so count elements make ceil(count / stride) frames.
// A stride of zero or less is refused (nothing is called, false returned): it would never end
// or walk backwards through memory. A count of zero or less walks nothing.
template <typename In, typename PerBlock>
bool QelWalkFrames(const In* in, int32_t count, int32_t stride, uint32_t blockFrames, PerBlock&& perBlock) {
    static_assert(std::is_integral_v<In>, "frames are integer samples");
    if (stride <= 0) return false;
    if (blockFrames == 0) blockFrames = 1;
    if (count <= 0) return true;
    uint64_t remaining = (static_cast<uint64_t>(count) + static_cast<uint64_t>(stride) - 1) / static_cast<uint64_t>(stride);
    uint64_t done = 0;
    while (remaining > 0) {
        const uint32_t f = remaining < blockFrames ? static_cast<uint32_t>(remaining) : blockFrames;
        const TQelFrameBlock<In> block{in, stride, f, done};
        perBlock(block);
        remaining -= f;
        done += f;
        if (remaining > 0) in += static_cast<std::ptrdiff_t>(f) * stride;
    }
    return true;
}

// Stores a block of 32-bit results to the caller's output: as they are for 32-bit output, shifted
// to 16-bit samples for 16-bit output (shift16 false stores the values unchanged, as for 0/1
// decisions). For 32-bit output with shift16 the values are shifted right by 16 and kept 32-bit.
template <typename Out>
void QelStoreBlock(Out* out, const int32_t* results, uint32_t frames, bool shift16) {
    for (uint32_t k = 0; k < frames; ++k) {
        const int32_t v = shift16 ? (results[k] >> 16) : results[k];
        out[k] = static_cast<Out>(v);
    }
}

// Where a block's 32-bit results go: straight into a 32-bit output, otherwise into the component's
// own output block (ownBlock() creates it when first needed) before they are stored as 16 bits.
template <typename Out, typename OwnBlock>
int32_t* QelResultsArea(Out* out, OwnBlock&& ownBlock) {
    if constexpr (std::is_same_v<Out, int32_t>)
        return out;
    else
        return ownBlock();
}
