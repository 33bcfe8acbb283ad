#pragma once

#include <cstdint>
#include <vector>

namespace corvanta {

// Makes the picture the video view paints: a frame as the stream delivers
// it (blue-green-red, bottom row first) scaled with bilinear filtering into
// 0xffRRGGBB pixels, top row first. Converting, flipping and scaling in one
// pass reads the 5.8 MB of a 1600x1200 frame once and writes only the
// view's pixels, where a 32-bit copy then a scaled draw went over the frame
// three times (and Qt spreads large scaled draws over a thread pool, whose
// wake-ups cost more than the work they share on a small machine).
//
// Weights have six bits: (a * (64 - w) + b * w + 32) / 64 in every path,
// so the vector and the plain code give the same bytes. They depend only
// on the two sizes and are kept between frames.
class FrameScaler {
public:
    // `dst` holds dstHeight rows of dstStride bytes. Nothing is written for
    // an empty source or target.
    void Scale(const uint8_t* src, uint32_t width, uint32_t height, uint32_t* dst, uint32_t dstWidth,
               uint32_t dstHeight, uint32_t dstStride);
    // The same, also copying the frame whole into `copy` on the way, row by
    // row as the scaling reaches it: one pass over the frame where a copy
    // then a scale made two. Without a target it only copies.
    void CopyAndScale(const uint8_t* src, uint8_t* copy, uint32_t width, uint32_t height, uint32_t* dst,
                      uint32_t dstWidth, uint32_t dstHeight, uint32_t dstStride);

    // Off, only the plain code runs (to compare the paths).
    void UseVectors(bool use) { m_vectors = use; }

    static constexpr int kOne = 64;

    struct Tap {
        uint32_t offset;  // byte offset of the left or upper source pixel
        uint8_t weight;   // of its right or lower neighbour, 0..kOne
    };
    // Where each target pixel's centre falls among `from` source pixels of
    // `step` bytes, clamped at the edges.
    static std::vector<Tap> Taps(uint32_t from, uint32_t to, uint32_t step);

private:
    void Prepare(uint32_t width, uint32_t height, uint32_t dstWidth, uint32_t dstHeight);
    void PreparePairs();
    void BlendColumns(const uint8_t* line, uint32_t* out) const;
    void BlendRows(const uint8_t* upper, const uint8_t* lower, uint8_t weight);

    uint32_t m_width = 0, m_height = 0, m_dstWidth = 0, m_dstHeight = 0;
    std::vector<Tap> m_columns, m_rows;
    std::vector<uint8_t> m_row;  // one blended source row and 16 spare bytes
    // Two target pixels per 16-byte read of the row, for the vector path:
    // where the read starts, which bytes go where, and their weights.
    bool m_vectors = true;
    bool m_pairs = false;
    std::vector<uint32_t> m_pairBase;
    std::vector<uint8_t> m_pairShuffle, m_pairWeights;
};

}  // namespace corvanta
