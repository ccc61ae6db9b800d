#include <algorithm>
#include <gtest/gtest.h>
#include <stdexcept>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "app/busy_state.h"
#include "app/message_boxes.h"
#include "app/responsive_endpoint.h"
#include "fake_endpoint.h"

TEST(StandardErrorBox, AppendsAFullStopOnlyAfterACharacterThatSortsAfterIt)
{
    const std::vector<std::pair<std::string, QString>> cases = {
        {"Socket Error # 10051\r\nNetwork is unreachable.",
         "Socket Error # 10051\r\nNetwork is unreachable."},
        {"Cannot allocate socket", "Cannot allocate socket."},
        {"Path /", "Path /."},
        {"Failed!", "Failed!"},
        {"Size -", "Size -"},
        {"caf\xC3\xA9", QString::fromUtf8("caf\xC3\xA9.")},
        {"", ""}};
    for (const auto& [message, shown] : cases)
        EXPECT_EQ(app::standardErrorText(message), shown) << message;

    app::MessageBoxHook hook;
    app::setMessageBoxHook(&hook);
    QWidget owner;
    app::showStandardError(&owner, std::runtime_error("UDP Receive Error = 0"));
    app::setMessageBoxHook(nullptr);
    ASSERT_EQ(hook.shown.size(), 1u);
    EXPECT_EQ(hook.shown[0].text, "UDP Receive Error = 0.");
    EXPECT_EQ(hook.shown[0].icon, QMessageBox::Critical);
    EXPECT_EQ(hook.shown[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(hook.shown[0].caption, "app_tests");
    EXPECT_EQ(hook.shown[0].owner, &owner);
}

TEST(ApplicationTitle, IsTheFileNameUpToItsFirstFullStopInCapitalisedLowerCase)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"/usr/bin/telviq-utility", "telviq-utility"},
        {"/opt/TELVIQ/TelviqUtility.exe", "Telviqutility"},
        {"/tmp/APP.tar.gz", "App"},
        {"/tmp/.hidden", ""}};
    for (const auto& [path, title] : cases)
        EXPECT_EQ(app::applicationTitleFromPath(path), title) << path.toStdString();
}

TEST(ResponsiveEndpoint, WaitsInShortSlicesAndHandlesEventsBetweenThem)
{
    fakes::FakeEndpoint inner;
    inner.respond = [](const fakes::SentDatagram&) {
        return std::vector<fakes::Arrival>{{300, {1, 2, 3}}};
    };
    app::ResponsiveEndpoint endpoint(inner, inner.ticks());
    endpoint.setPort(15500);
    endpoint.SendDatagram("x", 1);
    ASSERT_EQ(inner.sent.size(), 1u);
    EXPECT_EQ(inner.sent[0].port, 15500);

    int timerRuns = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++timerRuns; });
    timer.start(0);

    std::uint8_t buffer[8] = {};
    EXPECT_EQ(endpoint.ReceiveDatagram(buffer, sizeof buffer, 500), 3);
    EXPECT_EQ(buffer[2], 3);
    EXPECT_EQ(inner.now, 300u);
    EXPECT_GT(timerRuns, 0);
    EXPECT_TRUE(std::all_of(inner.receiveTimeouts.begin(), inner.receiveTimeouts.end(),
                            [](std::int32_t t) { return t > 0 && t <= 20; }));

    // Nothing more comes: 0 after the whole wait, not after one slice.
    const std::uint32_t start = inner.now;
    EXPECT_EQ(endpoint.ReceiveDatagram(buffer, sizeof buffer, 500), 0);
    EXPECT_EQ(inner.now - start, 500u);

    // A look without waiting goes straight through.
    inner.receiveTimeouts.clear();
    EXPECT_EQ(endpoint.ReceiveDatagram(buffer, sizeof buffer, 0), 0);
    EXPECT_EQ(inner.receiveTimeouts, std::vector<std::int32_t>{0});
}

// A box shown while the window is busy must still take its answer.
TEST(BusyState, RefusesInputToItsWindowOnly)
{
    QWidget window;
    auto* inside = new QPushButton(&window);
    QPushButton other;
    window.show();
    other.show();
    int insideClicks = 0, otherClicks = 0;
    QObject::connect(inside, &QPushButton::clicked, [&] { ++insideClicks; });
    QObject::connect(&other, &QPushButton::clicked, [&] { ++otherClicks; });
    {
        app::BusyState busy(&window);
        EXPECT_TRUE(app::BusyState::active());
        QTest::mouseClick(inside, Qt::LeftButton);
        QTest::mouseClick(&other, Qt::LeftButton);
        EXPECT_FALSE(window.close());
    }
    EXPECT_FALSE(app::BusyState::active());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(insideClicks, 0);
    EXPECT_EQ(otherClicks, 1);
    QTest::mouseClick(inside, Qt::LeftButton);
    EXPECT_EQ(insideClicks, 1);
}
