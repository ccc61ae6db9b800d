// Find, the settings view and Save of the real window, over a veth link to virtual cameras.

#include <cstdio>
#include <cstring>
#include <iostream>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QWidget>

#include "tests/e2e/lab_window.h"

namespace {

// The hardware address of an interface of the calling thread's namespace, as the PC group
// shows it; empty when there is no such interface.
std::string macOf(const std::string& interface)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, interface.c_str(), IFNAMSIZ - 1);
    const bool ok = fd >= 0 && ioctl(fd, SIOCGIFHWADDR, &request) == 0;
    if (fd >= 0)
        close(fd);
    if (!ok)
        return {};
    const auto* b = reinterpret_cast<const unsigned char*>(request.ifr_hwaddr.sa_data);
    char text[18];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", b[0], b[1], b[2], b[3], b[4],
                  b[5]);
    return text;
}

std::string shortHostName()
{
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    const std::string full = name;
    return full.substr(0, full.find('.'));
}

} // namespace

TEST_F(LabWindowTest, FindListsTheCamerasAndThePcGroupShowsTheNamespacesAdapter)
{
    buildLab();
    startCameras("[camera]\n[camera]\ncameraDescription = Back yard\n[camera]\n");
    openWindow();

    EXPECT_EQ(text("txtAdapterName"), "veth-pc0");
    EXPECT_EQ(text("txtIpAddress"), "203.0.113.1");
    EXPECT_EQ(text("txtSubnetMask"), "255.255.255.0");
    EXPECT_EQ(text("txtGateway"), "203.0.113.2");
    const std::string mac = macOf("veth-pc0");
    ASSERT_EQ(mac.size(), 17u);
    EXPECT_EQ(text("txtMacAddress").toStdString(), mac);
    // The host name, then a dot and the domain, if any.
    EXPECT_TRUE(text("txtHostName").startsWith(QString::fromStdString(shortHostName() + ".")))
        << text("txtHostName").toStdString();

    const long long took = find();
    EXPECT_EQ(rows(), (Rows{{"1", "Camera 1"}, {"2", "Back yard"}, {"3", "Camera 3"}}));
    EXPECT_TRUE(boxes.shown.empty());
    // Three passes of one second, each ending with a receive of up to half a second.
    EXPECT_GE(took, 3000);
    EXPECT_LE(took, 4700);
}

TEST_F(LabWindowTest, SelectingACameraShowsItsAddressInUseAndNetworkType)
{
    buildLab();
    startCameras("[camera]\nusedIPAddress = 198.51.100.77\nipAddress = 203.0.113.50\n"
                 "networkType = 1\n"
                 "[camera]\nusedIPAddress = 203.0.113.61\nnetworkType = 2\n");
    openWindow();
    find();
    ASSERT_EQ(rows().size(), 2u);

    selectRow(0);
    EXPECT_TRUE(control("IpCameraInfoPage")->isVisible());
    EXPECT_EQ(text("txtUsedIPAddress"), "198.51.100.77");
    EXPECT_TRUE(control("txtUsedIPAddress")->isVisible()) << "the Main page is on top at first";
    showPage("pageNetwork");
    EXPECT_TRUE(control("optNetworkType")->isVisible());
    EXPECT_EQ(chosenItem("optNetworkType"), "PPPoE");
    EXPECT_EQ(text("txtIpAddress2"), "203.0.113.50");

    selectRow(1);
    EXPECT_TRUE(control("optNetworkType")->isVisible()) << "the page on top stays";
    EXPECT_EQ(chosenItem("optNetworkType"), "DHCP");
    EXPECT_EQ(text("txtUsedIPAddress"), "203.0.113.61");
}

TEST_F(LabWindowTest, SaveIsAcknowledgedAndAppliedAndAnIgnoredSaveFailsAfterTenSeconds)
{
    buildLab();
    pid_t camera = startCameras("[camera]\ncameraDescription = Gate\nhour = 7\nminute = 30\n");
    openWindow();
    find();
    ASSERT_EQ(rows(), (Rows{{"1", "Gate"}}));
    selectRow(0);
    type("txtCameraDescription2", "Lobby");
    showPage("pagePassword");
    type("txtAdminPassword", "admin");
    type("txtNewAdminPassword", "Pw-4711x");

    const long long okAfter = save();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text.toStdString(), "Settings write ok!\n");
    EXPECT_EQ(boxes.shown[0].caption.toStdString(), "TELVIQ");
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Information);
    EXPECT_EQ(boxes.shown[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(boxes.shown[0].owner, form.get());
    EXPECT_LT(okAfter, 1000) << "the acknowledgement ends the wait";

    // The camera took the new admin password (only its name is logged, never its value).
    EXPECT_EQ(waitForRequests(camera, "\"Lobby\": applied, ack ok; passwords set: admin", {}, 1),
              1);
    EXPECT_EQ(lab->logOf(camera).find("Pw-4711x"), std::string::npos);

    // A new Find shows what the camera now holds.
    find();
    ASSERT_EQ(rows(), (Rows{{"1", "Lobby"}}));
    selectRow(0);
    EXPECT_EQ(text("txtNewAdminPassword"), "") << "cameras report no passwords";

    // The same camera now takes writes without acknowledging them.
    lab->stopAll();
    camera = startCameras("[camera]\ncameraDescription = Lobby\nhour = 7\nminute = 30\n"
                          "ack = none\n");
    type("txtCameraDescription2", "Quiet");
    boxes.shown.clear();
    const long long failAfter = save();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text.toStdString(), "Settings write fail!\n");
    EXPECT_EQ(boxes.shown[0].caption.toStdString(), "TELVIQ");
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes.shown[0].buttons, QMessageBox::Ok);
    std::cout << "unacknowledged Save reported after " << failAfter << " ms\n";
    EXPECT_GE(failAfter, 9900);
    EXPECT_LE(failAfter, 11000);
    EXPECT_EQ(countRequests(lab->logOf(camera), "\"Quiet\": applied, ack none"), 1)
        << "the packet reached the camera once";
}
