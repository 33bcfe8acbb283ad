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
// with a black border while no file is open. An open file shows the pane's
// background, and its notice when it has one, until its first frame came.
// Double clicks are left to the player, which toggles fitting when one
// lands inside this view.
class CVideoView : public QWidget {
public:
    explicit CVideoView(QWidget* parent = nullptr);

    // A new file: nothing is shown until its first frame, and its notice
    // goes. Re-creates the picture only when the size differs from the last
    // one, so files of one camera share one allocation.
    void SetFrameSize(uint32_t width, uint32_t height);
    // Copies a whole picture (width * height * 3 bytes) from `pixels` when
    // given, then repaints; null only repaints.
    void SetFrame(const uint8_t* pixels);

    // Set by the player while a file is open; nothing is drawn otherwise.
    bool IsOpen() const { return m_open; }
    void SetOpen(bool open) { m_open = open; }

    // A frame of the open file has been copied in since SetFrameSize.
    bool HasFrame() const { return m_hasFrame; }
    const CFrameImage& Picture() const { return m_picture; }

    // One line of text over the empty picture, e.g. why a file did not
    // open; empty for none. Kept until the next SetFrameSize.
    void SetNotice(const QString& text);
    const QString& Notice() const { return m_notice; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Makes the scaled picture the area's size; false for an empty area.
    bool ScaledFitsArea();
    // The view's top-left pixel in the window's own picture when the paint
    // may write there directly (raster, unscaled, the whole view exposed).
    uint32_t* WindowPixels(QPainter& painter, uint32_t* stride) const;
    void PaintEmpty(QPainter& painter);
    // Scales the incoming frame (copying it into the picture) or the picture.
    void Draw(uint32_t* target, uint32_t width, uint32_t height, uint32_t stride);

    bool m_open = false;
    // The picture buffer is reused between files and is never cleared, so
    // it holds nothing of the open file until a frame was copied in.
    bool m_hasFrame = false;
    QString m_notice;
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
