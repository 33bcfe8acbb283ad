// The toolbar on a screen of device pixel ratio 2. A program of its own:
// the ratio is Qt's scale factor, read once when the application starts.

#include <gtest/gtest.h>

#include <QAction>
#include <QSet>
#include <QToolBar>
#include <QToolButton>

#include "maindlg/ui/CArchiveMainDlg.h"
#include "maindlg/ui/MainDialogWorld.h"
#include "maindlg/ui/ToolbarImages.h"

namespace corvanta {
namespace {

// The colours in `device`: the background and the ink when the picture was
// drawn for the screen; blended edges in between when one was scaled up.
int Colours(const QImage& image, QRect device) {
    QSet<QRgb> colours;
    for (int y = device.top(); y <= device.bottom(); ++y)
        for (int x = device.left(); x <= device.right(); ++x) colours.insert(image.pixel(x, y));
    return int(colours.size());
}

// Device pixels whose 2 x 2 block on the logical grid is not of one colour:
// none when a picture of the logical size was blown up, many when every
// device pixel was drawn.
int MixedBlocks(const QImage& image, QRect device) {
    int mixed = 0;
    for (int y = device.top() & ~1; y + 1 <= device.bottom(); y += 2)
        for (int x = device.left() & ~1; x + 1 <= device.right(); x += 2) {
            const QRgb c = image.pixel(x, y);
            mixed += image.pixel(x + 1, y) != c || image.pixel(x, y + 1) != c || image.pixel(x + 1, y + 1) != c;
        }
    return mixed;
}

TEST(ToolbarAtRatio2, DrawsEveryDevicePixelOfItsPictures) {
    qputenv("QT_SCALE_FACTOR", "2");
    test::QtTestApp();
    ASSERT_EQ(qApp->devicePixelRatio(), 2.0) << "the application was made before the scale factor was set";
    test::ServiceWorld home{false};
    CArchiveMainDlg dialog(nullptr, test::OwnSeconds());
    dialog.resize(480, 200);
    dialog.show();

    for (int command : {CArchiveMainDlg::kCmdRefresh, CArchiveMainDlg::kCmdLogin}) {
        const QPixmap picture = dialog.Command(command)->icon().pixmap(QSize(kToolbarImageSize, kToolbarImageSize), 2.0);
        EXPECT_EQ(picture.size(), QSize(2 * kToolbarImageSize, 2 * kToolbarImageSize)) << command;
        EXPECT_EQ(picture.devicePixelRatio(), 2.0) << command;
    }

    // The screenshot, device pixels, with the picture of each button in it.
    const QImage shot = dialog.Toolbar()->grab().toImage();
    EXPECT_EQ(shot.devicePixelRatio(), 2.0);
    shot.save(QStringLiteral(SCREENSHOT_DIR "/toolbar_ratio2.png"), "PNG");
    const int side = 2 * kToolbarImageSize;
    for (int command : {CArchiveMainDlg::kCmdRefresh, CArchiveMainDlg::kCmdLogin}) {
        const QWidget* button = dialog.Toolbar()->widgetForAction(dialog.Command(command));
        ASSERT_NE(button, nullptr);
        // The picture sits centred at the top of the button, its label under it.
        const QRect logical = button->geometry();
        const QRect area(2 * logical.center().x() - side / 2 - 4, 2 * logical.y(), side + 8, side + 12);
        ASSERT_TRUE(shot.rect().contains(area)) << command;
        EXPECT_EQ(Colours(shot, area), 2) << command;
        EXPECT_GT(MixedBlocks(shot, area), side / 2) << command;
    }
}

}  // namespace
}  // namespace corvanta
