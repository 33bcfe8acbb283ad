#include "playback/ui/CRangeSlider.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "platform/WindowSystem.h"

namespace corvanta {

namespace {

const QColor kBackground(120, 120, 120);

// The pixels of `r`, right and bottom edges excluded.
QRect Pixels(const SliderRect& r) {
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

// A light line along the left and top, a dark one along the right and
// bottom: the handle looks like a raised button.
void DrawRaisedEdge(QPainter& p, const SliderRect& e, const QPalette& palette) {
    p.setPen(palette.color(QPalette::Light));
    p.drawLine(e.left, e.bottom, e.left, e.top);
    p.drawLine(e.left, e.top, e.right - 1, e.top);
    p.setPen(palette.color(QPalette::Dark));
    p.drawLine(e.right - 1, e.top + 1, e.right - 1, e.bottom);
    p.drawLine(e.right - 1, e.bottom, e.left + 1, e.bottom);
}

void DrawHandle(QPainter& p, const SliderRect& outline, const SliderRect& edge, const QPalette& palette) {
    p.setPen(Qt::black);
    p.setBrush(palette.color(QPalette::Button));
    p.drawRect(Pixels(outline).adjusted(0, 0, -1, -1));  // a pen rectangle covers one more pixel
    DrawRaisedEdge(p, edge, palette);
}

// A black triangle in a handle whose left edge is at `x`, pointing right
// (towards the range) for the left handle and left for the right one.
void DrawArrow(QPainter& p, int x, int w, int h, bool pointsRight) {
    const int back = x + (pointsRight ? w / 3 : 2 * w / 3);
    const int tip = x + (pointsRight ? 2 * w / 3 : w / 3);
    const QPoint corners[3] = {{back, h / 3}, {back, 2 * h / 3}, {tip, h / 2}};
    p.setPen(Qt::black);
    p.setBrush(Qt::black);
    p.drawPolygon(corners, 3);
}

}  // namespace

uint32_t RangeChangedMessage() {
    static const uint32_t message = platform::RegisterWindowMessage(kRangeChangedMessageName);
    return message;
}

CRangeSlider::CRangeSlider(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    // Each paint covers the whole area, so nothing is erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_model.SetNotifier([this](RangePart part) { Notify(part); });
}

void CRangeSlider::SetNotifyTarget(platform::Hwnd parentWindow, int32_t controlId) {
    m_parentWindow = parentWindow;
    m_controlId = controlId;
}

void CRangeSlider::SetMinMax(double min, double max) {
    m_model.SetMinMax(min, max);
    update();
}

void CRangeSlider::SetRange(double left, double right, double minimumGap) {
    m_model.SetRange(left, right, minimumGap);
    update();
}

void CRangeSlider::GetMinMax(double& min, double& max) const {
    min = m_model.Minimum();
    max = m_model.Maximum();
}

void CRangeSlider::GetRange(double& left, double& right) const {
    left = m_model.Left();
    right = m_model.Right();
}

void CRangeSlider::Notify(RangePart part) {
    const uint32_t message = RangeChangedMessage();
    if (m_parentWindow && message) {
        platform::SendMessage(m_parentWindow, message, platform::WParam(part), platform::LParam(m_controlId));
    }
    if (m_callback) m_callback(part);
}

// Composed off-screen and copied in one go, so dragging does not flicker.
void CRangeSlider::paintEvent(QPaintEvent*) {
    if (width() <= 0 || height() <= 0) return;
    const SliderGeometry g = m_model.Layout(width(), height());
    const int w = g.handleWidth, h = g.height;
    QImage buffer(size(), QImage::Format_RGB32);
    QPainter p(&buffer);
    p.fillRect(buffer.rect(), kBackground);
    DrawHandle(p, g.leftHandle, g.leftHit, palette());
    DrawArrow(p, g.leftHandle.left, w, h, true);
    DrawHandle(p, g.rightHandle, g.rightHit, palette());
    DrawArrow(p, g.rightHandle.left, w, h, false);
    p.fillRect(Pixels(g.range), Qt::white);
    if (hasFocus()) {
        p.setPen(QPen(Qt::black, 0, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(Pixels(g.range).adjusted(3, 3, -4, -4));
    }
    p.end();
    QPainter(this).drawImage(0, 0, buffer);
}

void CRangeSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    // Qt keeps sending moves here while the button is held, which is the
    // mouse capture a drag needs.
    const QPoint at = event->position().toPoint();
    m_model.BeginDrag(at.x(), at.y());
}

void CRangeSlider::mouseMoveEvent(QMouseEvent* event) {
    if (m_model.Tracked() == kRangeNone) return;
    m_model.DragTo(event->position().toPoint().x());
    update();
}

void CRangeSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_model.EndDrag();
}

void CRangeSlider::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    if ((key != Qt::Key_Left && key != Qt::Key_Right) ||
        !m_model.Key(key == Qt::Key_Right ? RangeSliderModel::Arrow::Right : RangeSliderModel::Arrow::Left,
                     mods.testFlag(Qt::ShiftModifier), mods.testFlag(Qt::ControlModifier))) {
        return QWidget::keyPressEvent(event);
    }
    update();
}

void CRangeSlider::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void CRangeSlider::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

}  // namespace corvanta
