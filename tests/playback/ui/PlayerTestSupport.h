#pragma once
// What the playback widget tests share: an instance whose GUI queue Qt runs,
// an owner window keeping the players' messages, and synthetic input.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/CFilterIcpClient.h"
#include "playback/PlayerRecords.h"
#include "platform/WindowSystem.h"
#include "platform/qt/QtQueueDriver.h"
#include "services/service_test_env.h"
#include "services/ui/CMessageWindowHandle.h"
#include "support/QtTestApp.h"
#include "support/WaitFor.h"

namespace corvanta::test {

// Runs Qt's events (and the GUI thread's queue) until `done`; false after `timeoutMs`.
inline bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs) {
    return WaitFor([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return done();
    }, timeoutMs);
}

// A fresh home, an instance with its manager, the GUI thread's queue in Qt's loop.
class PlayerWorld : public ServiceWorld {
    QApplication& m_app = QtTestApp();
    platform::QtQueueDriver m_driver;
};

// The owner window a player reports to.
class Owner {
public:
    Owner() {
        const uint32_t nextAvi = platform::RegisterWindowMessage(kStepNextAviMessage);
        const uint32_t nextFrame = platform::RegisterWindowMessage(kStepNextFrameMessage);
        m_window.Create("player test owner", [=, this](uint32_t msg, platform::WParam w, platform::LParam l,
                                                       platform::LResult&) {
            if (msg == nextAvi) ends.push_back(uint32_t(w));
            if (msg == nextFrame) frames.push_back(uint32_t(l));
            return msg == nextAvi || msg == nextFrame;
        });
    }
    platform::Hwnd Handle() const { return m_window.Handle(); }

    std::vector<uint32_t> ends;    // FileKey of each "Step Next AVI"
    std::vector<uint32_t> frames;  // frame of each "Step Next Frame"

private:
    ui::CMessageWindowHandle m_window;
};

inline PlayerOpenBlock OpenBlock(const char* fileName, uint32_t width, uint32_t height, uint32_t frames,
                                 uint32_t first = 0) {
    FileDescription d{};
    d.info.width = width;
    d.info.height = height;
    d.info.scale = 1;
    d.info.rate = 25;
    d.frameCount = frames;
    return MakePlayerOpenBlock(d, first, fileName);
}

inline int SendToPlayer(const char* player, uint32_t code, uint32_t param1 = 0, uint32_t param2 = 0,
                        const PlayerOpenBlock* block = nullptr) {
    CFilterIcpClient client;
    if (!client.Open(player)) return -1;
    client.SendCommand(code, param1, param2, block, block ? sizeof *block : 0);
    return 1;
}

inline QRgb At(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

// A left-button event at (x, 8); moves carry the button while `held`.
inline void Mouse(QWidget& widget, QEvent::Type type, int x, bool held = false) {
    const QPointF at(x, 8);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const bool down = type == QEvent::MouseButtonPress || (type == QEvent::MouseMove && held);
    QMouseEvent event(type, at, widget.mapToGlobal(at), button, down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

// Answers the save dialog with `path` once it shows and `ready` says so;
// counts the dialogs answered and keeps the folder and name each offered.
struct SaveDialogAnswer {
    explicit SaveDialogAnswer(QString answer, std::function<bool()> isReady = [] { return true; })
        : path(std::move(answer)), ready(std::move(isReady)) {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || !ready()) return;
            ++shown;
            // Typed into the name field: selectFile() leaves the field alone
            // once it has focus, and the dialog would save the default name.
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            folders.push_back(dialog->directory().absolutePath());
            names.push_back(name->text());
            name->setText(path);
            static_cast<QDialog*>(dialog)->accept();
        });
        timer.start();
    }
    QString path;
    std::function<bool()> ready;
    int shown = 0;
    QStringList folders;
    QStringList names;
    QTimer timer;
};

// Where the style draws `part` of a slider as it stands.
inline QRect SliderPart(QSlider& slider, QStyle::SubControl part) {
    QStyleOptionSlider option;
    option.initFrom(&slider);
    option.orientation = slider.orientation();
    option.minimum = slider.minimum();
    option.maximum = slider.maximum();
    option.sliderPosition = option.sliderValue = slider.value();
    option.tickPosition = slider.tickPosition();
    option.tickInterval = slider.tickInterval();
    option.subControls = QStyle::SC_All;
    return slider.style()->subControlRect(QStyle::CC_Slider, &option, part, &slider);
}

inline void DoubleClick(QWidget* widget, QPoint at, Qt::MouseButton button) {
    QMouseEvent event(QEvent::MouseButtonDblClick, QPointF(at), widget->mapToGlobal(QPointF(at)), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

}  // namespace corvanta::test
