#pragma once
#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>

namespace corvanta {

struct Thumbnail;

// The small picture of a second of the day timeline with its time under it,
// shown beside the pointer. A child of the top-level window, so that it may
// reach past the timeline's bars and shows on a grab of the window.
class CThumbnailPopup : public QWidget {
public:
    static constexpr int kPictureWidth = 160;
    static constexpr int kGap = 12;  // between the pointer and the popup

    explicit CThumbnailPopup(QWidget* parent);

    // Shows the thumbnail and `time` beside `pointer` (in the parent's
    // coordinates), inside the parent where it fits.
    void ShowAt(const std::shared_ptr<const Thumbnail>& thumbnail, const QString& time, QPoint pointer);
    // The second shown, -1 when hidden.
    int32_t ShownSecond() const { return isVisible() && m_thumbnail ? m_second : -1; }
    // The second whose picture was last painted, -1 before any.
    int32_t PaintedSecond() const { return m_paintedSecond; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize PictureSize() const;

    std::shared_ptr<const Thumbnail> m_thumbnail;
    QImage m_image;  // a view of the thumbnail's pixels, which it keeps alive
    int32_t m_second = -1;
    int32_t m_paintedSecond = -1;
    QString m_time;
};

}  // namespace corvanta
