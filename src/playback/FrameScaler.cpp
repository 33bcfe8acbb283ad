#include "playback/FrameScaler.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define CORVANTA_SCALER_SSSE3 1
#endif

namespace corvanta {

namespace {

constexpr size_t kSpare = 16;
constexpr uint32_t kCopyBand = 8;  // rows

inline uint32_t Blend(uint32_t a, uint32_t b, uint32_t w) {
    return (a * (FrameScaler::kOne - w) + b * w + FrameScaler::kOne / 2) / FrameScaler::kOne;
}

void BlendRowsPlain(const uint8_t* a, const uint8_t* b, uint8_t* out, size_t bytes, uint8_t w) {
    for (size_t i = 0; i < bytes; ++i) out[i] = uint8_t(Blend(a[i], b[i], w));
}

uint32_t BlendPixel(const uint8_t* p, uint8_t w) {
    return 0xFF000000u | Blend(p[0], p[3], w) | Blend(p[1], p[4], w) << 8 | Blend(p[2], p[5], w) << 16;
}

// Adding or storing 16 bytes at a time, in loops of a fixed count that
// GCC vectorises at -O2.
template <typename Sum>
void StoreRow(const uint8_t* __restrict row, Sum* __restrict sums, size_t bytes) {
    size_t i = 0;
    for (; i + 16 <= bytes; i += 16)
        for (size_t j = 0; j < 16; ++j) sums[i + j] = row[i + j];
    for (; i < bytes; ++i) sums[i] = row[i];
}

template <typename Sum>
void AddRow(const uint8_t* __restrict row, Sum* __restrict sums, size_t bytes) {
    size_t i = 0;
    for (; i + 16 <= bytes; i += 16)
        for (size_t j = 0; j < 16; ++j) sums[i + j] = Sum(sums[i + j] + row[i + j]);
    for (; i < bytes; ++i) sums[i] = Sum(sums[i] + row[i]);
}

// `out` = `from` + the sums `pixels` pixels further on, over `count` sums.
template <typename Sum>
void SumShifted(const Sum* __restrict from, const Sum* __restrict sums, uint32_t pixels, Sum* __restrict out,
                size_t count) {
    const Sum* shifted = sums + size_t(pixels) * 3;
    size_t i = 0;
    for (; i + 16 <= count; i += 16)
        for (size_t j = 0; j < 16; ++j) out[i + j] = Sum(from[i + j] + shifted[i + j]);
    for (; i < count; ++i) out[i] = Sum(from[i] + shifted[i]);
}

// The same added to `out`.
template <typename Sum>
void AddShifted(const Sum* __restrict sums, uint32_t pixels, Sum* __restrict out, size_t count) {
    const Sum* shifted = sums + size_t(pixels) * 3;
    size_t i = 0;
    for (; i + 16 <= count; i += 16)
        for (size_t j = 0; j < 16; ++j) out[i + j] = Sum(out[i + j] + shifted[i + j]);
    for (; i < count; ++i) out[i] = Sum(out[i] + shifted[i]);
}

// Each target pixel's three sums times its reciprocal, rounded.
template <typename Sum>
void AverageColumnsPlain(const Sum* sums, const uint32_t* offsets, const uint32_t* reciprocals, int shift,
                         uint32_t* out, size_t width) {
    const uint64_t half = uint64_t(1) << (shift - 1);
    for (size_t x = 0; x < width; ++x) {
        const Sum* p = sums + offsets[x];
        const uint64_t reciprocal = reciprocals[4 * x];
        auto mean = [&](Sum sum) { return uint32_t(std::min<uint64_t>(255, (sum * reciprocal + half) >> shift)); };
        out[x] = 0xFF000000u | mean(p[0]) | mean(p[1]) << 8 | mean(p[2]) << 16;
    }
}

#if CORVANTA_SCALER_SSSE3
enum class Vector { None, Ssse3, Avx2 };

Vector BestVector() {
    static const Vector best = __builtin_cpu_supports("avx2")    ? Vector::Avx2
                               : __builtin_cpu_supports("ssse3") ? Vector::Ssse3
                                                                 : Vector::None;
    return best;
}

bool HasSse41() {
    static const bool has = __builtin_cpu_supports("sse4.1");
    return has;
}

// Bytes of a and b interleaved, multiplied by (64 - w, w) and summed in
// pairs: one instruction per eight blended bytes.
__attribute__((target("ssse3"))) void BlendRowsSsse3(const uint8_t* a, const uint8_t* b, uint8_t* out, size_t bytes,
                                                     uint8_t w) {
    const __m128i weights = _mm_set1_epi16(short(w << 8 | (FrameScaler::kOne - w)));
    const __m128i half = _mm_set1_epi16(FrameScaler::kOne / 2);
    size_t i = 0;
    for (; i + 16 <= bytes; i += 16) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        const __m128i lo =
            _mm_srli_epi16(_mm_add_epi16(_mm_maddubs_epi16(_mm_unpacklo_epi8(va, vb), weights), half), 6);
        const __m128i hi =
            _mm_srli_epi16(_mm_add_epi16(_mm_maddubs_epi16(_mm_unpackhi_epi8(va, vb), weights), half), 6);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
    BlendRowsPlain(a + i, b + i, out + i, bytes - i, w);
}

// Per pair of target pixels: one read of 16 bytes, one shuffle that puts
// each pixel's bytes beside its neighbour's, one multiply-add.
__attribute__((target("ssse3"))) inline __m128i BlendPair(const uint8_t* bytes, const uint8_t* shuffle,
                                                          const uint8_t* weights) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const __m128i mask = _mm_loadu_si128(reinterpret_cast<const __m128i*>(shuffle));
    const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights));
    const __m128i sum = _mm_maddubs_epi16(_mm_shuffle_epi8(in, mask), w);
    return _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(FrameScaler::kOne / 2)), 6);
}

__attribute__((target("ssse3"))) void BlendPairsSsse3(const uint8_t* line, uint32_t* out, size_t width, size_t pairs,
                                                      const uint32_t* base, const uint8_t* shuffle,
                                                      const uint8_t* weights) {
    const __m128i alpha = _mm_set1_epi32(int32_t(0xFF000000u));
    size_t k = 0;
    for (; k + 2 <= pairs; k += 2) {
        const __m128i first = BlendPair(line + base[k], shuffle + 16 * k, weights + 16 * k);
        const __m128i second = BlendPair(line + base[k + 1], shuffle + 16 * k + 16, weights + 16 * k + 16);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * k), _mm_or_si128(_mm_packus_epi16(first, second), alpha));
    }
    if (k < pairs) {
        const __m128i last = BlendPair(line + base[k], shuffle + 16 * k, weights + 16 * k);
        const __m128i two = _mm_or_si128(_mm_packus_epi16(last, _mm_setzero_si128()), alpha);
        if (2 * k + 1 < width) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 2 * k), two);
        } else {
            out[2 * k] = uint32_t(_mm_cvtsi128_si32(two));  // an odd width's last pixel: the row ends here
        }
    }
}
// The same with 32 bytes, and two pairs, per step. Shuffles and packs work
// within each 16-byte half, so pairs k and k + 1 go into the two halves and
// the packed result is put back in order at the end.
__attribute__((target("avx2"))) void BlendRowsAvx2(const uint8_t* a, const uint8_t* b, uint8_t* out, size_t bytes,
                                                   uint8_t w) {
    const __m256i weights = _mm256_set1_epi16(short(w << 8 | (FrameScaler::kOne - w)));
    const __m256i half = _mm256_set1_epi16(FrameScaler::kOne / 2);
    size_t i = 0;
    for (; i + 32 <= bytes; i += 32) {
        const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
        const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
        const __m256i lo =
            _mm256_srli_epi16(_mm256_add_epi16(_mm256_maddubs_epi16(_mm256_unpacklo_epi8(va, vb), weights), half), 6);
        const __m256i hi =
            _mm256_srli_epi16(_mm256_add_epi16(_mm256_maddubs_epi16(_mm256_unpackhi_epi8(va, vb), weights), half), 6);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_packus_epi16(lo, hi));
    }
    BlendRowsSsse3(a + i, b + i, out + i, bytes - i, w);
}

__attribute__((target("avx2"))) inline __m256i BlendTwoPairs(const uint8_t* line, const uint32_t* base, size_t k,
                                                             const uint8_t* shuffle, const uint8_t* weights) {
    const __m256i in = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line + base[k]))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + base[k + 1])), 1);
    const __m256i mask = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(shuffle + 16 * k));
    const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights + 16 * k));
    const __m256i sum = _mm256_maddubs_epi16(_mm256_shuffle_epi8(in, mask), w);
    return _mm256_srli_epi16(_mm256_add_epi16(sum, _mm256_set1_epi16(FrameScaler::kOne / 2)), 6);
}

__attribute__((target("avx2"))) void BlendPairsAvx2(const uint8_t* line, uint32_t* out, size_t width, size_t pairs,
                                                    const uint32_t* base, const uint8_t* shuffle,
                                                    const uint8_t* weights) {
    const __m256i alpha = _mm256_set1_epi32(int32_t(0xFF000000u));
    size_t k = 0;
    for (; k + 4 <= pairs; k += 4) {
        // Halves hold pairs (k, k + 1) and (k + 2, k + 3); packed, the
        // quarters come out as k, k + 2, k + 1, k + 3.
        const __m256i packed = _mm256_packus_epi16(BlendTwoPairs(line, base, k, shuffle, weights),
                                                   BlendTwoPairs(line, base, k + 2, shuffle, weights));
        const __m256i ordered = _mm256_permute4x64_epi64(packed, 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * k), _mm256_or_si256(ordered, alpha));
    }
    BlendPairsSsse3(line, out + 2 * k, width - 2 * k, pairs - k, base + k, shuffle + 16 * k, weights + 16 * k);
}

// Two target pixels per step: each one's sums (and one more) widened to
// 32 bits, multiplied by its reciprocals (0 in the fourth lane) and packed.
__attribute__((target("sse4.1"))) __m128i AveragePixel(const uint16_t* sums, const uint32_t* reciprocals) {
    const __m128i in = _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(sums)));
    const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(reciprocals));
    return _mm_srli_epi32(_mm_add_epi32(_mm_mullo_epi32(in, m), _mm_set1_epi32(1 << 22)), 23);
}

__attribute__((target("sse4.1"))) void AverageColumnsSse41(const uint16_t* sums, const uint32_t* offsets,
                                                           const uint32_t* reciprocals, uint32_t* out, size_t width) {
    const __m128i alpha = _mm_set1_epi32(int32_t(0xFF000000u));
    size_t x = 0;
    for (; x + 2 <= width; x += 2) {
        const __m128i words = _mm_packus_epi32(AveragePixel(sums + offsets[x], reciprocals + 4 * x),
                                               AveragePixel(sums + offsets[x + 1], reciprocals + 4 * x + 4));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_or_si128(_mm_packus_epi16(words, words), alpha));
    }
    AverageColumnsPlain(sums, offsets + x, reciprocals + 4 * x, 23, out + x, width - x);
}
#endif

}  // namespace

std::vector<FrameScaler::Tap> FrameScaler::Taps(uint32_t from, uint32_t to, uint32_t step) {
    std::vector<Tap> taps(to);
    const int64_t scale = (int64_t(from) << 16) / to;  // source pixels per target pixel, 16.16
    for (uint32_t i = 0; i < to; ++i) {
        int64_t pos = ((2 * int64_t(i) + 1) * scale) / 2 - 32768;
        pos = std::clamp<int64_t>(pos, 0, (int64_t(from) - 1) << 16);
        const auto index = uint32_t(pos >> 16);
        auto weight = uint8_t(((pos & 0xFFFF) * kOne + 32768) >> 16);
        if (index + 1 >= from) weight = 0;
        taps[i] = {index * step, weight};
    }
    return taps;
}

// Span i starts at the first pixel whose centre is at or past i * from / to,
// that is at ceil(i * from / to - 1/2).
std::vector<FrameScaler::Span> FrameScaler::Spans(uint32_t from, uint32_t to) {
    std::vector<Span> spans(to);
    auto start = [from, to](uint64_t i) { return uint32_t((2 * i * from + to - 1) / (2 * uint64_t(to))); };
    for (uint32_t i = 0; i < to; ++i) {
        const uint32_t first = std::min(start(i), from - 1);
        const uint32_t end = std::max(start(i + 1), first + 1);
        spans[i] = {first, end - first};
    }
    return spans;
}

void FrameScaler::Prepare(uint32_t width, uint32_t height, uint32_t dstWidth, uint32_t dstHeight) {
    if (width == m_width && height == m_height && dstWidth == m_dstWidth && dstHeight == m_dstHeight) return;
    m_width = width;
    m_height = height;
    m_dstWidth = dstWidth;
    m_dstHeight = dstHeight;
    // Up to 1.5 two taps still reach every source pixel but one in three,
    // and keep edges sharper than a box of one or two pixels would.
    m_area = 2 * uint64_t(width) > 3 * uint64_t(dstWidth) || 2 * uint64_t(height) > 3 * uint64_t(dstHeight);
    if (m_area) return PrepareSpans();
    m_columns = Taps(width, dstWidth, 3);
    m_rows = Taps(height, dstHeight, 1);
    m_row.assign(size_t(width) * 3 + kSpare, 0);
    PreparePairs();
}

void FrameScaler::PrepareSpans() {
    m_columnSpans = Spans(m_width, m_dstWidth);
    m_rowSpans = Spans(m_height, m_dstHeight);
    m_narrowest = m_columnSpans[0].count;
    m_wider = false;
    for (const Span& span : m_columnSpans) m_narrowest = std::min(m_narrowest, span.count);
    for (const Span& span : m_columnSpans) m_wider = m_wider || span.count > m_narrowest;
    // Each target pixel's sums: in the row of sums itself for spans of one
    // pixel, else in the window of its width.
    const size_t row = size_t(m_width) * 3;
    m_sumsLength = row + size_t(m_narrowest + 1) * 3 + 4;
    m_windowOffsets.resize(m_dstWidth);
    for (uint32_t x = 0; x < m_dstWidth; ++x) {
        const Span& span = m_columnSpans[x];
        const size_t window = span.count == 1 ? 0 : span.count == m_narrowest ? 1 : 2;
        m_windowOffsets[x] = uint32_t(window * m_sumsLength + size_t(span.first) * 3);
    }
    std::vector<uint32_t> heights;
    m_rowReciprocals.resize(m_dstHeight);
    for (uint32_t y = 0; y < m_dstHeight; ++y) {
        const uint32_t count = m_rowSpans[y].count;
        auto found = std::find(heights.begin(), heights.end(), count);
        m_rowReciprocals[y] = uint32_t(found - heights.begin()) * m_dstWidth * 4;
        if (found == heights.end()) heights.push_back(count);
    }
    const uint64_t most = uint64_t(*std::max_element(heights.begin(), heights.end())) * (m_narrowest + 1);
    const bool wide = most > 0xFFFF / 255;
    // A sum of up to 255 n times 2^23 / n stays within the vector path's
    // 32-bit lanes; wide sums are averaged in 64 bits. Rounding the
    // reciprocal up keeps a uniform picture exact.
    m_shift = wide ? 31 : 23;
    m_reciprocals.assign(heights.size() * m_dstWidth * 4, 0);
    for (size_t k = 0; k < heights.size(); ++k)
        for (uint32_t x = 0; x < m_dstWidth; ++x) {
            const uint64_t pixels = uint64_t(heights[k]) * m_columnSpans[x].count;
            const auto reciprocal = uint32_t(((uint64_t(1) << m_shift) + pixels - 1) / pixels);
            std::fill_n(&m_reciprocals[(k * m_dstWidth + x) * 4], 3, reciprocal);
        }
    m_sums.assign(wide ? 0 : 3 * m_sumsLength, 0);
    m_wideSums.assign(wide ? 3 * m_sumsLength : 0, 0);
}

// The two pixels of a pair and their right neighbours must lie within 16
// bytes of the first, which holds while the frame shrinks by less than 3.
void FrameScaler::PreparePairs() {
    const size_t pairs = (m_dstWidth + 1) / 2;
    m_pairBase.assign(pairs, 0);
    m_pairShuffle.assign(pairs * 16, 0x80);
    m_pairWeights.assign(pairs * 16, 0);
    m_pairs = true;
    for (size_t k = 0; k < pairs; ++k) {
        const uint32_t base = m_columns[2 * k].offset;
        m_pairBase[k] = base;
        for (size_t j = 0; j < 2 && 2 * k + j < m_dstWidth; ++j) {
            const Tap& tap = m_columns[2 * k + j];
            const uint32_t rel = tap.offset - base;
            if (rel + 5 >= 16) m_pairs = false;
            for (uint32_t c = 0; c < 3 && m_pairs; ++c) {
                uint8_t* shuffle = &m_pairShuffle[16 * k + 8 * j + 2 * c];
                uint8_t* weight = &m_pairWeights[16 * k + 8 * j + 2 * c];
                shuffle[0] = uint8_t(rel + c);
                shuffle[1] = uint8_t(rel + c + 3);
                weight[0] = uint8_t(kOne - tap.weight);
                weight[1] = tap.weight;
            }
        }
    }
}

void FrameScaler::BlendRows(const uint8_t* upper, const uint8_t* lower, uint8_t weight) {
    const size_t bytes = size_t(m_width) * 3;
#if CORVANTA_SCALER_SSSE3
    switch (m_vectors ? BestVector() : Vector::None) {
        case Vector::Avx2:
            return BlendRowsAvx2(upper, lower, m_row.data(), bytes, weight);
        case Vector::Ssse3:
            return BlendRowsSsse3(upper, lower, m_row.data(), bytes, weight);
        case Vector::None:
            break;
    }
#endif
    BlendRowsPlain(upper, lower, m_row.data(), bytes, weight);
}

// A pixel whose neighbour lies past the row has weight 0, but the vector
// path still reads up to 13 bytes beyond the row's end.
void FrameScaler::BlendColumns(const uint8_t* line, uint32_t* out) const {
#if CORVANTA_SCALER_SSSE3
    switch (m_pairs && m_vectors ? BestVector() : Vector::None) {
        case Vector::Avx2:
            return BlendPairsAvx2(line, out, m_dstWidth, m_pairBase.size(), m_pairBase.data(), m_pairShuffle.data(),
                                  m_pairWeights.data());
        case Vector::Ssse3:
            return BlendPairsSsse3(line, out, m_dstWidth, m_pairBase.size(), m_pairBase.data(), m_pairShuffle.data(),
                                   m_pairWeights.data());
        case Vector::None:
            break;
    }
#endif
    for (uint32_t x = 0; x < m_dstWidth; ++x) {
        const Tap& tap = m_columns[x];
        out[x] = tap.weight == 0 ? BlendPixel(line + tap.offset, 0) : BlendPixel(line + tap.offset, tap.weight);
    }
}

void FrameScaler::Scale(const uint8_t* src, uint32_t width, uint32_t height, uint32_t* dst, uint32_t dstWidth,
                        uint32_t dstHeight, uint32_t dstStride) {
    CopyAndScale(src, nullptr, width, height, dst, dstWidth, dstHeight, dstStride);
}

void FrameScaler::CopyAndScale(const uint8_t* src, uint8_t* copy, uint32_t width, uint32_t height, uint32_t* dst,
                               uint32_t dstWidth, uint32_t dstHeight, uint32_t dstStride) {
    if (!src || width == 0 || height == 0) return;
    const size_t rowBytes = size_t(width) * 3;
    if (!dst || dstWidth == 0 || dstHeight == 0) {
        if (copy) std::memcpy(copy, src, rowBytes * height);
        return;
    }
    Prepare(width, height, dstWidth, dstHeight);
    // Rows are stored bottom first; `copied` counts rows from the top. Rows
    // are copied just before their first use, so the blend reads them from
    // the cache rather than the frame's 5.8 MB a second time. They go a
    // band at a time, each band one block in rising addresses: row by row
    // from the top the reads fall, which the prefetcher follows less well
    // (about 5 % of the copy and scaling together at 1600x1200).
    const uint8_t* frame = copy ? copy : src;
    uint32_t copied = copy ? 0 : height;
    auto copyTo = [&](uint32_t rows) {
        if (copied >= rows) return;
        const uint32_t end = std::min(height, std::max(rows, copied + kCopyBand));
        const size_t at = (size_t(height) - end) * rowBytes;
        std::memcpy(copy + at, src + at, size_t(end - copied) * rowBytes);
        copied = end;
    };
    for (uint32_t y = 0; y < dstHeight; ++y) {
        auto* out = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(dst) + size_t(y) * dstStride);
        if (m_area) {
            copyTo(m_rowSpans[y].first + m_rowSpans[y].count);
            if (m_sums.empty()) {
                AverageRow(frame, y, m_wideSums.data(), out);
            } else {
                AverageRow(frame, y, m_sums.data(), out);
            }
        } else {
            copyTo(std::min(height, m_rows[y].offset + 2));
            BilinearRow(frame, m_rows[y], out);
        }
    }
    copyTo(height);
}

void FrameScaler::BilinearRow(const uint8_t* frame, Tap row, uint32_t* out) {
    // The upper row of a pair lies at the higher address, and the top row
    // ends the buffer, so reads past a row's end are safe in every row but
    // that one.
    const size_t rowBytes = size_t(m_width) * 3;
    const uint8_t* upper = frame + (size_t(m_height) - 1 - row.offset) * rowBytes;
    const uint8_t* line = upper;
    if (row.weight != 0) {
        BlendRows(upper, upper - rowBytes, row.weight);
        line = m_row.data();
    } else if (row.offset == 0) {
        std::memcpy(m_row.data(), upper, rowBytes);
        line = m_row.data();
    }
    BlendColumns(line, out);
}

template <typename Sum>
void FrameScaler::AverageRow(const uint8_t* frame, uint32_t y, Sum* sums, uint32_t* out) const {
    const size_t rowBytes = size_t(m_width) * 3;
    const Span rows = m_rowSpans[y];
    for (uint32_t k = 0; k < rows.count; ++k) {
        const uint8_t* line = frame + (size_t(m_height) - 1 - rows.first - k) * rowBytes;
        if (k == 0) {
            StoreRow(line, sums, rowBytes);
        } else {
            AddRow(line, sums, rowBytes);
        }
    }
    SumWindows(sums);
    const uint32_t* reciprocals = m_reciprocals.data() + m_rowReciprocals[y];
#if CORVANTA_SCALER_SSSE3
    if constexpr (sizeof(Sum) == 2) {
        if (m_vectors && HasSse41())
            return AverageColumnsSse41(sums, m_windowOffsets.data(), reciprocals, out, m_dstWidth);
    }
#endif
    AverageColumnsPlain(sums, m_windowOffsets.data(), reciprocals, m_shift, out, m_dstWidth);
}

// The windows of m_narrowest and m_narrowest + 1 columns after the row of
// sums. Sums past the row are zeros, so the shifted reads stay in the buffer.
template <typename Sum>
void FrameScaler::SumWindows(Sum* sums) const {
    const size_t row = size_t(m_width) * 3;
    Sum* narrow = sums + m_sumsLength;
    if (m_narrowest > 1) {
        SumShifted(sums, sums, 1, narrow, row);
        for (uint32_t k = 2; k < m_narrowest; ++k) AddShifted(sums, k, narrow, row);
    } else {
        narrow = sums;
    }
    if (m_wider) SumShifted(narrow, sums, m_narrowest, sums + 2 * m_sumsLength, row);
}

}  // namespace corvanta
