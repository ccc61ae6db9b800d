// While Find and Save wait for the cameras the window keeps painting, but refuses the user's
// clicks: no handler starts inside another and Exit does not close it.

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/busy_state.h"
#include "tests/e2e/lab_window.h"

namespace {

// Counts the paint events of one window's widgets while a handler is busy.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* window) : window_(window) { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }

    int whileBusy = 0;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == window_ && app::BusyState::active())
            ++whileBusy;
        return false;
    }

private:
    QWidget* window_;
};

// What the window looked like from inside a running handler.
struct Probe {
    bool ran = false;
    bool busy = false;
    bool waitCursor = false;
    bool stillVisible = false;
    int paintsBefore = 0;
};

} // namespace

class BusyWindowTest : public LabWindowTest {
protected:
    // At `atMs` into the handler that the next click starts: ask for a repaint, then click Exit,
    // Find and Save as the user would. At `atMs + 200` see whether the repaint came and whether
    // the window can be grabbed.
    void probeDuringNextHandler(int atMs)
    {
        probe = {};
        grabbedWidth = 0;
        paintsAfter = 0;
        QTimer::singleShot(atMs, form.get(), [this] {
            probe.ran = true;
            probe.busy = app::BusyState::active();
            probe.waitCursor = QApplication::overrideCursor() != nullptr &&
                               QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            probe.paintsBefore = paints->whileBusy;
            form->update();
            for (const char* button : {"cmdExit", "cmdFind", "cmdSave"})
                QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
            probe.stillVisible = form->isVisible();
        });
        QTimer::singleShot(atMs + 200, form.get(), [this] {
            if (!app::BusyState::active())
                return;
            paintsAfter = paints->whileBusy;
            grabbedWidth = form->grab().width();
        });
    }

    std::unique_ptr<PaintCounter> paints;
    Probe probe;
    int paintsAfter = 0;
    int grabbedWidth = 0;
};

TEST_F(BusyWindowTest, FindAndSaveKeepTheWindowPaintingAndRefuseClicks)
{
    buildLab();
    // Every answer comes 600 ms late: inside each search pass, and long enough into a Save.
    const pid_t camera = startCameras("[camera]\nhour = 10\ndelay = 600\n");
    openWindow();
    paints = std::make_unique<PaintCounter>(form.get());

    probeDuringNextHandler(1200);
    const long long took = find();
    ASSERT_TRUE(probe.ran);
    EXPECT_TRUE(probe.busy);
    EXPECT_TRUE(probe.waitCursor);
    EXPECT_TRUE(probe.stillVisible);
    EXPECT_GT(paintsAfter, probe.paintsBefore) << "the window repaints while Find waits";
    EXPECT_EQ(grabbedWidth, form->width());
    // A second Find would have sent three more searches and taken three more seconds.
    EXPECT_EQ(rows(), (Rows{{"1", "Camera 1"}}));
    EXPECT_LT(took, 4700);
    EXPECT_EQ(countRequests(lab->logOf(camera), "search pass"), 3);
    EXPECT_TRUE(form->isVisible());
    EXPECT_NE(form->state().hostAdapterInfo.networkParameters, nullptr) << "FormClose did not run";
    EXPECT_TRUE(boxes.shown.empty());

    selectRow(0);
    type("txtCameraDescription2", "Slow one");
    probeDuringNextHandler(200);
    save();
    ASSERT_TRUE(probe.ran);
    EXPECT_TRUE(probe.busy);
    EXPECT_TRUE(probe.waitCursor);
    EXPECT_TRUE(probe.stillVisible);
    EXPECT_GT(paintsAfter, probe.paintsBefore) << "the window repaints while Save waits";
    EXPECT_EQ(grabbedWidth, form->width());
    // One write, one outcome: neither the refused Save nor the refused Find ran.
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text.toStdString(), "Settings write ok!\n");
    EXPECT_EQ(countRequests(lab->logOf(camera), "parameters for"), 1);
    EXPECT_EQ(rows().size(), 1u);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the cursor is put back";
}
