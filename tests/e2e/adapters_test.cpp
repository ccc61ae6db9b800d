// A PC with two adapters: Find and Save must reach cameras behind either of them, whichever one
// holds the default route, and also when none does; two adapters on one subnet send one copy.

#include <set>

#include "tests/e2e/lab_window.h"

namespace {

NetnsLab::Link firstLink(bool defaultRoute)
{
    NetnsLab::Link link;
    link.defaultRoute = defaultRoute;
    return link;
}

NetnsLab::Link secondLink()
{
    NetnsLab::Link link;
    link.pcAddress = "198.51.100.1";
    link.camAddress = "198.51.100.2";
    link.defaultRoute = false;
    return link;
}

} // namespace

TEST_F(LabWindowTest, CamerasBehindTheAdapterWithoutTheDefaultRouteAreFoundAndWritten)
{
    // The default route leads to a namespace without cameras.
    buildLab({firstLink(true), secondLink()});
    const pid_t cameras = startCameras("[camera]\nhour = 8\n[camera]\n", 1);
    openWindow();

    find();
    EXPECT_EQ(rows(), (Rows{{"1", "Camera 1"}, {"2", "Camera 2"}}));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(countRequests(lab->logOf(cameras), "search pass", "198.51.100.1"), 3)
        << "each search leaves by the second adapter, from its own address";

    ASSERT_EQ(rows().size(), 2u);
    selectRow(0);
    type("txtCameraDescription2", "Side door");
    save();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text.toStdString(), "Settings write ok!\n");
    EXPECT_EQ(waitForRequests(cameras, "\"Side door\": applied, ack ok", "198.51.100.1", 1), 1);
}

TEST_F(LabWindowTest, WithoutAnyDefaultRouteFindListsTheCamerasOfBothAdapters)
{
    buildLab({firstLink(false), secondLink()});
    startCameras("[camera]\nmacAddress = 02-00-5E-00-00-0A\ncameraDescription = North\n", 0);
    startCameras("[camera]\nmacAddress = 02-00-5E-00-00-0B\ncameraDescription = South 1\n"
                 "[camera]\nmacAddress = 02-00-5E-00-00-0C\ncameraDescription = South 2\n",
                 1);
    openWindow();
    EXPECT_EQ(text("txtGateway"), "0.0.0.0");

    find();
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text.toStdString();
    const Rows found = rows();
    ASSERT_EQ(found.size(), 3u);
    std::set<std::string> descriptions;
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].first, std::to_string(i + 1));
        descriptions.insert(found[i].second);
    }
    // Which adapter's answers come first is the network's business.
    EXPECT_EQ(descriptions, (std::set<std::string>{"North", "South 1", "South 2"}));
}

// The two adapters hold different subnets, so the search goes out on both (each subnet gets its
// copy) and the camera answers each copy. Answers within the
// first pass are not compared with one another, so the camera is listed twice, both rows with
// its MAC; the copies of passes 2 and 3 are dropped as known. A Save from either row reaches it
// by both adapters and is acknowledged.
TEST_F(LabWindowTest, ACameraOnBothAdaptersIsListedTwiceAndSavesFromEitherRow)
{
    NetnsLab::Link second = secondLink();
    second.sharesCamOfLink = 0;
    buildLab({firstLink(true), second});
    ASSERT_EQ(lab->camName(0), lab->camName(1));
    const pid_t camera = startCameras("[camera]\ncameraDescription = Both ways\nhour = 9\n");
    openWindow();

    find();
    ASSERT_EQ(rows(), (Rows{{"1", "Both ways"}, {"2", "Both ways"}}));
    const std::string log = lab->logOf(camera);
    EXPECT_EQ(countRequests(log, "search pass", "203.0.113.1"), 3);
    EXPECT_EQ(countRequests(log, "search pass", "198.51.100.1"), 3);
    std::set<int> ports;
    for (const CameraLogLine& line : requestsIn(log))
        ports.insert(line.fromPort);
    EXPECT_EQ(ports.size(), 1u) << "every copy leaves from the window's one local port";

    selectRow(0);
    const QString firstMac = text("txtMacAddress2");
    selectRow(1);
    EXPECT_EQ(text("txtMacAddress2"), firstMac);
    EXPECT_EQ(firstMac, "02-00-5E-10-00-01");

    selectRow(0);
    type("txtCameraDescription2", "First");
    save();
    // The camera takes the packet from both adapters; the first acknowledgement decides.
    EXPECT_EQ(waitForRequests(camera, "\"First\": applied, ack ok", "203.0.113.1", 1), 1);
    EXPECT_EQ(waitForRequests(camera, "\"First\": applied, ack ok", "198.51.100.1", 1), 1);

    // The Find in between also reads the second acknowledgement out of the socket, so the next
    // Save is judged by its own.
    find();
    ASSERT_EQ(rows(), (Rows{{"1", "First"}, {"2", "First"}}));
    selectRow(1);
    type("txtCameraDescription2", "Second");
    save();
    find();
    EXPECT_EQ(rows(), (Rows{{"1", "Second"}, {"2", "Second"}}));

    ASSERT_EQ(boxes.shown.size(), 2u);
    for (const app::ShownBox& box : boxes.shown)
        EXPECT_EQ(box.text.toStdString(), "Settings write ok!\n");
}

// A docked laptop: cable and Wi-Fi in one network. Both adapters hold 203.0.113.0/24 and are
// ports of one bridge on the cameras' side, where every copy of a limited broadcast reaches every
// camera. One copy per subnet, by the first adapter: each camera is listed once, and a Save
// reaches its camera once.
TEST_F(LabWindowTest, TwoAdaptersOnOneSubnetListEachCameraOnceAndSaveOnce)
{
    NetnsLab::Link second;
    second.pcAddress = "203.0.113.3";
    second.defaultRoute = false;
    second.sharesCamOfLink = 0;
    second.bridged = true;
    buildLab({firstLink(true), second});
    ASSERT_EQ(lab->camName(0), lab->camName(1));
    const pid_t cameras = startCameras("[camera]\ncameraDescription = Desk\n"
                                       "[camera]\ncameraDescription = Shelf\n");
    openWindow();

    find();
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text.toStdString();
    const Rows found = rows();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ((std::set<std::string>{found[0].second, found[1].second}),
              (std::set<std::string>{"Desk", "Shelf"}));
    const std::string log = lab->logOf(cameras);
    EXPECT_EQ(countRequests(log, "search pass"), 3) << "one search per pass reaches the LAN";
    EXPECT_EQ(countRequests(log, "search pass", "203.0.113.1"), 3)
        << "sent by the first adapter, from its address";

    const int desk = found[0].second == "Desk" ? 0 : 1;
    selectRow(desk);
    type("txtCameraDescription2", "Desk by the window");
    save();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text.toStdString(), "Settings write ok!\n");
    // Waits its second for a second copy, which must not come.
    EXPECT_EQ(waitForRequests(cameras, "\"Desk by the window\": applied", "", 2), 1);
    EXPECT_EQ(countRequests(lab->logOf(cameras), "parameters for"), 1);

    find();
    EXPECT_EQ(rows().size(), 2u);
    EXPECT_EQ(countRequests(lab->logOf(cameras), "search pass", "203.0.113.1"), 6);
    EXPECT_EQ(countRequests(lab->logOf(cameras), "search pass"), 6);
}
