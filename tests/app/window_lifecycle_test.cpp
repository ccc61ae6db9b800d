#include <QAbstractButton>
#include <QLineEdit>
#include <QTimer>

#include "theme/themed_frame.h"
#include "window_fixture.h"

namespace {

// Counts the times the main window is shown.
class ShowWatcher : public QObject {
public:
    int shown = 0;
    ShowWatcher() { qApp->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        shown += event->type() == QEvent::Show && watched->objectName() == "Form1";
        return false;
    }
};

} // namespace

TEST_F(WindowTest, PromptRepeatsUntilAnAdapterIsOnLineAndTheLatestFactsShow)
{
    adapters.answers = {{},
                        {fakes::ethernetAdapter("eth0", "0.0.0.0")},
                        {fakes::ethernetAdapter("eth1", "203.0.113.9", 0x77)}};
    bool shownBeforeAnswer = false;
    boxes.onShow = [&](const app::ShownBox& box) { shownBeforeAnswer |= box.owner->isVisible(); };
    build();

    ASSERT_EQ(boxes.shown.size(), 2u);
    for (const app::ShownBox& box : boxes.shown) {
        EXPECT_EQ(box.text, "No network adapter is on-line.\nPlease check network adapter or "
                            "cable connection.\n\nDo you want to find network adapters again?");
        EXPECT_EQ(box.caption, app::applicationTitle());
        EXPECT_EQ(box.icon, QMessageBox::Question);
        EXPECT_EQ(box.buttons, QMessageBox::Ok | QMessageBox::Cancel);
        EXPECT_EQ(box.owner, form.get());
    }
    EXPECT_FALSE(shownBeforeAnswer);
    EXPECT_FALSE(form->creationCancelled());
    EXPECT_EQ(control<QLineEdit>("txtAdapterName")->text(), "eth1");
    EXPECT_EQ(control<QLineEdit>("txtIpAddress")->text(), "203.0.113.9");
    EXPECT_EQ(control<QLineEdit>("txtMacAddress")->text(), "00-1A-2B-3C-4D-77");
}

WindowOptions fakeEndpoint()
{
    WindowOptions options;
    options.endpoint = std::make_unique<fakes::FakeEndpoint>();
    return options;
}

TEST_F(WindowTest, RunEndsWithMinusOneOnCancelOneOnFailureAndZeroOtherwise)
{
    ShowWatcher watcher;
    adapters.answers = {{}};
    boxes.answers = {QMessageBox::Ok, QMessageBox::Cancel};
    EXPECT_EQ(runMainWindow(adapters, fakeEndpoint()), -1);
    EXPECT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(watcher.shown, 0);

    // An error while the window is built is shown, and the program says it failed.
    adapters.onList = [] { throw std::runtime_error("adapter list unreadable"); };
    EXPECT_EQ(runMainWindow(adapters, fakeEndpoint()), 1);
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown[2].text, "adapter list unreadable.");
    EXPECT_EQ(boxes.shown[2].icon, QMessageBox::Critical);
    EXPECT_EQ(watcher.shown, 0);

    adapters.onList = nullptr;
    adapters.answers = {{fakes::ethernetAdapter("eth0", "198.51.100.7")}};
    bool parametersHeld = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == "Form1" && window->isVisible()) {
                parametersHeld =
                    static_cast<TForm1*>(window)->state().hostAdapterInfo.networkParameters !=
                    nullptr;
                QTest::mouseClick(window->findChild<QPushButton*>("cmdExit"), Qt::LeftButton);
            }
    });
    EXPECT_EQ(runMainWindow(adapters, fakeEndpoint()), 0);
    EXPECT_EQ(watcher.shown, 1);
    EXPECT_TRUE(parametersHeld);
}

TEST_F(WindowTest, TitleBarCloseBehavesAsExit)
{
    build();
    ASSERT_NE(form->state().hostAdapterInfo.networkParameters, nullptr);
    QTest::mouseClick(control<theme::ThemedFrame>("suiForm1")->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->state().hostAdapterInfo.networkParameters, nullptr);
}
