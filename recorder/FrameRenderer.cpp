#include "recorder/FrameRenderer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace corvanta::recorder {
namespace {

// 5x7 dot font: seven rows per glyph, bit 4 is the leftmost dot.
struct Glyph {
    char ch;
    uint8_t rows[7];
};

constexpr Glyph kGlyphs[] = {
    {' ', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}}, {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}}, {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}}, {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}}, {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}}, {'A', {0x0E, 0x11, 0x11, 0x11, 0x1F, 0x11, 0x11}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}}, {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}}, {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}}, {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}}, {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}}, {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}}, {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}}, {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}}, {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}}, {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}}, {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}}, {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}},
    {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}}, {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}}, {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'/', {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00}}, {'_', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F}},
    {'(', {0x02, 0x04, 0x08, 0x08, 0x08, 0x04, 0x02}}, {')', {0x08, 0x04, 0x02, 0x02, 0x02, 0x04, 0x08}},
    {'#', {0x0A, 0x0A, 0x1F, 0x0A, 0x1F, 0x0A, 0x0A}}, {',', {0x00, 0x00, 0x00, 0x00, 0x0C, 0x04, 0x08}},
    {'?', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04}},
};

const Glyph& glyphFor(char c) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const Glyph& g : kGlyphs)
        if (g.ch == upper) return g;
    return kGlyphs[std::size(kGlyphs) - 1];
}

void fillRect(RgbImage& img, int x0, int y0, int x1, int y1, uint8_t r, uint8_t g, uint8_t b) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, static_cast<int>(img.width));
    y1 = std::min(y1, static_cast<int>(img.height));
    for (int y = y0; y < y1; ++y) {
        uint8_t* p = img.at(static_cast<uint32_t>(x0), static_cast<uint32_t>(y));
        for (int x = x0; x < x1; ++x, p += 3) {
            p[0] = r;
            p[1] = g;
            p[2] = b;
        }
    }
}

// A filled ellipse or box with a dark rim, so objects stand out on any scene.
void drawObject(RgbImage& img, const MovingObject& o, double t) {
    const double cx = o.xAt(t) * img.width;
    const double cy = o.yAt(t) * img.height;
    const double rx = o.width * img.width / 2;
    const double ry = o.height * img.height / 2;
    const double rim = std::max(2.0, img.height / 200.0);
    const int x0 = std::max(0, static_cast<int>(cx - rx));
    const int x1 = std::min(static_cast<int>(img.width), static_cast<int>(cx + rx) + 1);
    const int y0 = std::max(0, static_cast<int>(cy - ry));
    const int y1 = std::min(static_cast<int>(img.height), static_cast<int>(cy + ry) + 1);
    for (int y = y0; y < y1; ++y) {
        uint8_t* p = img.at(static_cast<uint32_t>(x0), static_cast<uint32_t>(y));
        for (int x = x0; x < x1; ++x, p += 3) {
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            bool inside, edge;
            if (o.round) {
                const double d = (dx * dx) / (rx * rx) + (dy * dy) / (ry * ry);
                inside = d <= 1.0;
                const double inner = std::max(0.0, 1.0 - rim / std::min(rx, ry));
                edge = d > inner * inner;
            } else {
                inside = std::abs(dx) <= rx && std::abs(dy) <= ry;
                edge = std::abs(dx) > rx - rim || std::abs(dy) > ry - rim;
            }
            if (!inside) continue;
            if (edge) {
                p[0] = static_cast<uint8_t>(o.red / 4);
                p[1] = static_cast<uint8_t>(o.green / 4);
                p[2] = static_cast<uint8_t>(o.blue / 4);
            } else {
                p[0] = o.red;
                p[1] = o.green;
                p[2] = o.blue;
            }
        }
    }
}

}  // namespace

int textWidth(std::string_view text, int scale) { return static_cast<int>(text.size()) * 6 * scale + scale; }

void drawText(RgbImage& image, int x, int y, std::string_view text, int scale) {
    fillRect(image, x, y, x + textWidth(text, scale), y + 9 * scale, 0, 0, 0);
    int penX = x + scale;
    for (char c : text) {
        const Glyph& g = glyphFor(c);
        for (int row = 0; row < 7; ++row) {
            for (int col = 0; col < 5; ++col) {
                if (g.rows[row] & (0x10 >> col)) {
                    const int px = penX + col * scale, py = y + scale + row * scale;
                    fillRect(image, px, py, px + scale, py + scale, 255, 255, 255);
                }
            }
        }
        penX += 6 * scale;
    }
}

FrameRenderer::FrameRenderer(const DemoArchive& archive)
    : archive_(archive), scenes_(archive.sources().size()) {}

std::shared_ptr<const RgbImage> FrameRenderer::scene(uint32_t source) const {
    std::lock_guard lock(mutex_);
    if (scenes_[source]) return scenes_[source];
    const DemoSource& src = archive_.sources()[source];
    auto img = std::make_shared<RgbImage>();
    img->resize(src.width, src.height);
    const uint32_t horizon = src.height * 2 / 5;
    // Sky fading to the horizon, ground darkening towards the camera, a few
    // buildings and a paving grid: enough structure for the eye and for JPEG.
    const uint32_t tint = (source * 53 + static_cast<uint32_t>(archive_.seed() % 41)) % 60;
    for (uint32_t y = 0; y < src.height; ++y) {
        for (uint32_t x = 0; x < src.width; ++x) {
            uint8_t* p = img->at(x, y);
            if (y < horizon) {
                const uint32_t k = y * 80 / horizon;
                p[0] = static_cast<uint8_t>(90 + k);
                p[1] = static_cast<uint8_t>(130 + k);
                p[2] = static_cast<uint8_t>(175 + k / 2);
            } else {
                const uint32_t k = (y - horizon) * 60 / (src.height - horizon);
                const bool line = (x % (src.width / 8) < 2) || ((y - horizon) % (src.height / 10) < 2);
                const uint8_t base = static_cast<uint8_t>(120 - k + tint / 3);
                p[0] = static_cast<uint8_t>(line ? base + 40 : base);
                p[1] = static_cast<uint8_t>(line ? base + 40 : base - 5);
                p[2] = static_cast<uint8_t>(line ? base + 40 : base - 15);
            }
        }
    }
    for (uint32_t b = 0; b < 6; ++b) {
        const int bx = static_cast<int>(src.width * b / 6 + src.width / 40);
        const int bw = static_cast<int>(src.width / 8);
        const int bh = static_cast<int>(horizon * (40 + (b * 37 + tint) % 55) / 100);
        const int top = static_cast<int>(horizon) - bh;
        fillRect(*img, bx, top, bx + bw, static_cast<int>(horizon), static_cast<uint8_t>(70 + tint),
                 static_cast<uint8_t>(60 + b * 8), 55);
        const int win = std::max(2, bw / 10);
        for (int wy = top + win; wy + win < static_cast<int>(horizon); wy += 2 * win)
            for (int wx = bx + win; wx + win < bx + bw; wx += 2 * win) fillRect(*img, wx, wy, wx + win, wy + win, 200, 190, 120);
    }
    scenes_[source] = img;
    return img;
}

void FrameRenderer::render(const Recording& rec, uint32_t frame, RgbImage& out) const {
    const std::shared_ptr<const RgbImage> base = scene(rec.source);
    out.width = base->width;
    out.height = base->height;
    out.pixels = base->pixels;

    const DemoSource& src = archive_.sourceOf(rec);
    const uint64_t ms = archive_.frameTimeMs(rec, frame);
    const double t = static_cast<double>(ms) / 1000.0;
    for (const MovingObject& o : archive_.motion(rec))
        if (o.visibleAt(t)) drawObject(out, o, t);

    const int scale = std::max<int>(2, static_cast<int>(src.height / 150));
    const int margin = scale * 2;
    const SystemTime st = toSystemTime(rec.start + static_cast<Seconds>(ms / 1000));
    char when[64];
    std::snprintf(when, sizeof when, "%04u-%02u-%02u %02u:%02u:%02u.%03u", st.year, st.month, st.day, st.hour,
                  st.minute, st.second, static_cast<unsigned>(ms % 1000));
    char number[32];
    std::snprintf(number, sizeof number, "#%06u", frame);
    drawText(out, margin, margin, src.id + " " + src.displayName, scale);
    drawText(out, margin, static_cast<int>(src.height) - margin - 9 * scale, when, scale);
    // The frame number goes top right: at 352 pixels the bottom line is full.
    drawText(out, static_cast<int>(src.width) - margin - textWidth(number, scale), margin, number, scale);
}

}  // namespace corvanta::recorder
