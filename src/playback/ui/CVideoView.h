#pragma once
#include <QImage>
#include <QWidget>

#include <cstdint>

#include "playback/CFrameImage.h"
#include "stores/CNamedMutex.h"

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
    bool m_open = false;
    // Paint and frame copies take it, so a frame is never drawn half-copied.
    CNamedMutex m_mutex;
    CFrameImage m_picture;
    // The picture upright in 32-bit pixels, made at the first paint after
    // each frame: drawing 24-bit bottom-up rows scaled costs Qt a slow
    // conversion path, about three times the making of this copy plus a
    // scaled 32-bit draw.
    QImage m_upright;
    bool m_uprightStale = true;
    uint32_t m_frameWidth = 0;
    uint32_t m_frameHeight = 0;
};

}  // namespace corvanta
