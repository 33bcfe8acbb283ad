#pragma once
#include <QImage>
#include <QWidget>

#include <cstdint>

#include "playback/CFrameImage.h"
#include "playback/FrameScaler.h"
#include "stores/CNamedMutex.h"

class QPainter;

namespace corvanta {

// The player's video area. The player copies each frame in with SetFrame;
// painting stretches the picture over the whole area, or shows a white area
// with a black border while no file is open. Double clicks are left to the
// player, which toggles fitting when one lands inside this view.
class CVideoView : public QWidget {
public:
    explicit CVideoView(QWidget* parent = nullptr);

    // Re-creates the picture when the size differs from the last one, so
    // files of one camera share one allocation.
    void SetFrameSize(uint32_t width, uint32_t height);
    // Copies a whole picture (width * height * 3 bytes) from `pixels` when
    // given, then repaints; null only repaints.
    void SetFrame(const uint8_t* pixels);

    // Set by the player while a file is open; nothing is drawn otherwise.
    bool IsOpen() const { return m_open; }
    void SetOpen(bool open) { m_open = open; }

    const CFrameImage& Picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Makes the scaled picture the area's size; false for an empty area.
    bool ScaledFitsArea();
    // The view's top-left pixel in the window's own picture when the paint
    // may write there directly (raster, unscaled, the whole view exposed).
    uint32_t* WindowPixels(QPainter& painter, uint32_t* stride) const;
    // Scales the incoming frame (copying it into the picture) or the picture.
    void Draw(uint32_t* target, uint32_t width, uint32_t height, uint32_t stride);

    bool m_open = false;
    // Paint and frame copies take it, so a frame is never drawn half-copied.
    CNamedMutex m_mutex;
    CFrameImage m_picture;
    // The picture as painted: scaled to the area, made at the first paint
    // after a new frame or size.
    FrameScaler m_scaler;
    QImage m_scaled;
    bool m_scaledStale = true;
    // The frame SetFrame is handing to the paint it triggers.
    const uint8_t* m_incoming = nullptr;
    uint32_t m_frameWidth = 0;
    uint32_t m_frameHeight = 0;
};

}  // namespace corvanta
