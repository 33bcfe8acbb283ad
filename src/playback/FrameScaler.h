#pragma once

#include <cstddef>
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
//
// Shrunk by more than 1.5 in either axis, two taps skip source pixels and
// fine detail (fences, text, number plates) aliases into stripes. Then each
// target pixel is instead the mean of the source pixels whose centres its
// footprint covers (a box filter). Per target row, its source rows are
// summed into a row of sums; column spans hold n or n + 1 pixels, so two
// rows of sums over n and n + 1 neighbours ("windows", whole-row vector
// additions) leave each target pixel one read, a multiply by 2^k / pixels
// and a shift.
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

    struct Span {
        uint32_t first;  // source pixel
        uint32_t count;  // at least 1
    };

private:
    // The source pixels whose centres lie in each target pixel's footprint.
    static std::vector<Span> Spans(uint32_t from, uint32_t to);
    void Prepare(uint32_t width, uint32_t height, uint32_t dstWidth, uint32_t dstHeight);
    void PreparePairs();
    void PrepareSpans();
    void BilinearRow(const uint8_t* frame, Tap row, uint32_t* out);
    void BlendColumns(const uint8_t* line, uint32_t* out) const;
    void BlendRows(const uint8_t* upper, const uint8_t* lower, uint8_t weight);
    template <typename Sum>
    void AverageRow(const uint8_t* frame, uint32_t y, Sum* sums, uint32_t* out) const;
    template <typename Sum>
    void SumWindows(Sum* sums) const;

    uint32_t m_width = 0, m_height = 0, m_dstWidth = 0, m_dstHeight = 0;
    bool m_area = false;
    std::vector<Tap> m_columns, m_rows;
    std::vector<uint8_t> m_row;  // one blended source row and 16 spare bytes
    // Two target pixels per 16-byte read of the row, for the vector path:
    // where the read starts, which bytes go where, and their weights.
    bool m_vectors = true;
    bool m_pairs = false;
    std::vector<uint32_t> m_pairBase;
    std::vector<uint8_t> m_pairShuffle, m_pairWeights;
    // The box filter. Its buffer holds the row of sums, then the windows of
    // m_narrowest and m_narrowest + 1 columns, each m_sumsLength long with
    // zeros to spare; 16 bits hold the sums of up to 257 pixels.
    std::vector<Span> m_columnSpans, m_rowSpans;
    uint32_t m_narrowest = 1;
    bool m_wider = false;  // some spans have m_narrowest + 1 columns
    size_t m_sumsLength = 0;
    std::vector<uint16_t> m_sums;
    std::vector<uint32_t> m_wideSums;
    std::vector<uint32_t> m_windowOffsets;  // per target pixel, where its sums start
    // 2^m_shift / pixels, four lanes per target pixel (none for the fourth
    // byte): a row of them for each height of a row span (two at most for
    // one pair of sizes), and where each target row's row starts.
    int m_shift = 23;
    std::vector<uint32_t> m_reciprocals;
    std::vector<uint32_t> m_rowReciprocals;
};

}  // namespace corvanta
