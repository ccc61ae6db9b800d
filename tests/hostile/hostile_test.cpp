#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "app/Unit1.h"
#include "app/message_boxes.h"
#include "hostnet/linux_adapter_source.h"
#include "tests/hostile/hostile_lab.h"

using namespace std::chrono_literals;

namespace {

constexpr const char* kVirtualCameras = TELVIQ_VIRTUAL_CAMERAS;
constexpr const char* kJunkSender = TELVIQ_JUNK_SENDER;

// Three passes of one second, each ending at most one 500 ms receive late, and Save's ten
// seconds plus its last 100 ms receive; the rest is slack for a busy two-core machine.
constexpr long long kFindBoundMs = 4600 + 1400;
constexpr long long kSaveBoundMs = 10100 + 1400;
constexpr const char* kJunkRate = "3000";
constexpr int kMostJunkAnswers = 40;

const char* const kWriteOk = "Settings write ok!\n";
const char* const kWriteFail = "Settings write fail!\n";
const char* const kPassword = "Adm1n-s3cret";

// Settings that Save accepts as they stand. The slow camera answers everything 600 ms late, so
// that junk can come first.
const char* const kCameraFile = R"([camera]
macAddress = 02-00-5E-00-00-01
cameraDescription = Hostile 1
hour = 8
minute = 30
[camera]
macAddress = 02-00-5E-00-00-02
cameraDescription = Hostile 2
hour = 8
minute = 30
[camera]
macAddress = 02-00-5E-00-00-03
cameraDescription = Slow Hostile 3
hour = 8
minute = 30
delay = 600
)";
const std::vector<std::string> kGenuine = {"Hostile 1", "Hostile 2", "Slow Hostile 3"};

long long msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

// The real window with its own UDP endpoint, built inside the pc namespace of a lab whose camera
// namespace runs the virtual cameras and whose junk namespace throws junk at the window.
class HostileNetwork : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!HostileLab::available(why))
            GTEST_SKIP() << why;
        app::setMessageBoxHook(&boxes);

        lab = std::make_unique<HostileLab>();
        ASSERT_TRUE(lab->error().empty()) << lab->error();
        char path[] = "/tmp/tvqh-cameras-XXXXXX";
        const int fd = mkstemp(path);
        ASSERT_GE(fd, 0);
        close(fd);
        cameraFile = path;
        std::ofstream(cameraFile) << kCameraFile;
        cameras = lab->spawnIn(lab->camName(), {kVirtualCameras, "--file", cameraFile, "--log"});
        ASSERT_TRUE(lab->waitForLog(cameras, "ready", 5s)) << lab->logOf(cameras);
    }

    void TearDown() override
    {
        if (HasFailure() && lab) {
            std::cerr << "virtual cameras said:\n" << lab->logOf(cameras);
            for (const pid_t junk : junkSenders)
                std::cerr << "junk sender " << junk << " said:\n" << lab->logOf(junk);
        }
        // The window's socket belongs to the pc namespace: it goes before the namespace does.
        form.reset();
        adapters.reset();
        lab.reset();
        app::setMessageBoxHook(nullptr);
        if (!cameraFile.empty())
            std::remove(cameraFile.c_str());
    }

    pid_t startJunk(std::vector<std::string> options)
    {
        options.insert(options.begin(), kJunkSender);
        const pid_t junk = lab->spawnIn(lab->junkName(), options);
        junkSenders.push_back(junk);
        if (junk < 0 || !lab->waitForLog(junk, "ready", 5s))
            throw std::runtime_error("the junk sender did not start: " + lab->logOf(junk));
        return junk;
    }

    // Stops the sender and returns how many datagrams it threw.
    unsigned long stopJunk(pid_t junk, const char* during)
    {
        EXPECT_TRUE(lab->stop(junk)) << "the junk sender did not end cleanly";
        static const std::regex sent("sent ([0-9]+) datagrams[^\n]*");
        const std::string log = lab->logOf(junk);
        std::smatch match;
        if (!std::regex_search(log, match, sent))
            throw std::runtime_error("the junk sender did not count: " + log);
        std::cout << "[ junk     ] during " << during << ": " << match[0].str() << std::endl;
        return std::stoul(match[1].str());
    }

    // Where the sender learned to send: the window's address and port.
    std::string junkTarget(pid_t junk)
    {
        static const std::regex target("target ([0-9.]+:[0-9]+)");
        std::smatch match;
        const std::string log = lab->logOf(junk);
        if (!std::regex_search(log, match, target))
            throw std::runtime_error("the junk sender never learned the window's port: " + log);
        return match[1].str();
    }

    void openWindow()
    {
        lab->enterPc();
        if (!lab->inPc())
            throw std::runtime_error("not inside the pc namespace: " + lab->error());
        adapters = std::make_unique<hostnet::LinuxAdapterSource>();
        // Cancel the adapter prompt, should the pc's adapter not count as on-line.
        boxes.answers = {QMessageBox::Cancel};
        form = std::make_unique<TForm1>(*adapters);
        if (form->creationCancelled())
            throw std::runtime_error("the window found no on-line adapter in the pc namespace");
        boxes.answers.clear();
        boxes.shown.clear();
        form->show();
    }

    template <typename T = QWidget> T* control(const char* name) const
    {
        if (T* widget = form->findChild<T*>(QString::fromLatin1(name)))
            return widget;
        throw std::runtime_error(std::string("no control ") + name);
    }

    // Find and Save send: only ever from inside the lab.
    long long press(const char* button)
    {
        if (!lab->inPc())
            throw std::runtime_error("refusing to press a button outside the pc namespace");
        const auto start = std::chrono::steady_clock::now();
        control<QPushButton>(button)->click();
        return msSince(start);
    }

    std::vector<std::string> rows() const
    {
        std::vector<std::string> descriptions;
        auto* list = control<QTreeWidget>("listIpCamera");
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            descriptions.push_back(list->topLevelItem(i)->text(1).toStdString());
        return descriptions;
    }

    void selectRow(int row)
    {
        auto* list = control<QTreeWidget>("listIpCamera");
        QTreeWidgetItem* item = list->topLevelItem(row);
        if (item == nullptr)
            throw std::runtime_error("no row " + std::to_string(row));
        list->setCurrentItem(item);
        if (!item->isSelected())
            throw std::runtime_error("row " + std::to_string(row) + " did not take the click");
    }

    void selectCamera(const std::string& description)
    {
        const std::vector<std::string> found = rows();
        const auto at = std::find(found.begin(), found.end(), description);
        if (at == found.end())
            throw std::runtime_error("no row for " + description);
        selectRow(static_cast<int>(at - found.begin()));
    }

    // Save with a password typed; returns the time it took, and the box it showed in `shown`.
    long long saveWithPassword(std::string& shown)
    {
        control<QLineEdit>("txtAdminPassword")->setText(QString::fromLatin1(kPassword));
        const std::size_t before = boxes.shown.size();
        const long long ms = press("cmdSave");
        if (boxes.shown.size() != before + 1)
            throw std::runtime_error("Save showed " + std::to_string(boxes.shown.size() - before) +
                                     " boxes");
        shown = boxes.shown.back().text.toStdString();
        return ms;
    }

    static int countOf(const std::vector<std::string>& rows, const std::string& description)
    {
        return static_cast<int>(std::count(rows.begin(), rows.end(), description));
    }

    void expectOnlyGenuineRows()
    {
        std::vector<std::string> found = rows();
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, kGenuine);
    }

    void expectNoPasswordInLogs()
    {
        EXPECT_EQ(lab->logOf(cameras).find(kPassword), std::string::npos);
        for (const pid_t junk : junkSenders)
            EXPECT_EQ(lab->logOf(junk).find(kPassword), std::string::npos);
    }

    app::MessageBoxHook boxes;
    std::unique_ptr<HostileLab> lab;
    std::unique_ptr<hostnet::LinuxAdapterSource> adapters;
    std::unique_ptr<TForm1> form;
    std::string cameraFile;
    pid_t cameras = -1;
    std::vector<pid_t> junkSenders;
};

} // namespace

// Every kind of junk at a few thousand datagrams a second while Find runs; then, while only
// datagrams that can be nobody's answer keep coming, Save; then both again in quiet.
TEST_F(HostileNetwork, FindAndSaveHoldUpUnderAFlood)
{
    const pid_t flood = startJunk({"--rate", kJunkRate, "--seed", std::to_string(getpid()),
                                   "--most-answers", std::to_string(kMostJunkAnswers)});
    openWindow();

    const long long findMs = press("cmdFind");
    EXPECT_LE(findMs, kFindBoundMs);
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text.toStdString();
    const std::vector<std::string> found = rows();
    for (const std::string& camera : kGenuine)
        EXPECT_EQ(countOf(found, camera), 1) << camera;
    EXPECT_LE(found.size(), kGenuine.size() + kMostJunkAnswers);
    std::cout << "[ junk     ] Find took " << findMs << " ms and listed " << found.size() << " rows"
              << std::endl;

    // Junk rows decode like any camera's.
    for (int row = 0; row < static_cast<int>(found.size()); ++row)
        selectRow(row);
    EXPECT_TRUE(boxes.shown.empty());

    // What the flood left queued on the socket must not answer the write.
    const std::string target = junkTarget(flood);
    EXPECT_EQ(target.rfind(std::string(HostileLab::kPcAddress) + ":", 0), 0u) << target;
    EXPECT_GT(stopJunk(flood, "Find"), 3000u);
    const pid_t harmless =
        startJunk({"--target", target, "--kinds", "empty,oversize", "--rate", kJunkRate});
    std::this_thread::sleep_for(200ms);

    selectCamera("Hostile 1");
    std::string shown;
    EXPECT_LE(saveWithPassword(shown), kSaveBoundMs);
    EXPECT_EQ(shown, kWriteOk);
    EXPECT_GT(stopJunk(harmless, "Save"), 300u);

    // In quiet, the next Find and Save work as usual.
    EXPECT_LE(press("cmdFind"), kFindBoundMs);
    expectOnlyGenuineRows();
    selectCamera("Slow Hostile 3");
    EXPECT_LE(saveWithPassword(shown), kSaveBoundMs);
    EXPECT_EQ(shown, kWriteOk);
    EXPECT_EQ(boxes.shown.size(), 2u);
    expectNoPasswordInLogs();
}

// Acknowledgements for other cameras, flooded and sent in answer to the packet itself, arrive
// before the slow camera's: the write is shown as failed, and nothing breaks.
TEST_F(HostileNetwork, ForeignAcknowledgementsFirstMakeTheWriteFail)
{
    const pid_t junk = startJunk({"--kinds", "acks,empty,oversize", "--rate", kJunkRate,
                                  "--answer-acks", "--seed", std::to_string(getpid())});
    openWindow();

    EXPECT_LE(press("cmdFind"), kFindBoundMs);
    expectOnlyGenuineRows();

    selectCamera("Slow Hostile 3");
    std::string shown;
    EXPECT_LE(saveWithPassword(shown), kSaveBoundMs);
    EXPECT_EQ(shown, kWriteFail);
    EXPECT_EQ(boxes.shown.back().caption.toStdString(), "TELVIQ");
    EXPECT_EQ(boxes.shown.back().icon, QMessageBox::Critical);
    std::this_thread::sleep_for(300ms); // more acknowledgements queue up meanwhile
    EXPECT_GT(stopJunk(junk, "Find and Save"), 3000u);

    // The queued acknowledgements are dropped before the next packet goes out.
    selectCamera("Hostile 2");
    EXPECT_LE(saveWithPassword(shown), kSaveBoundMs);
    EXPECT_EQ(shown, kWriteOk);
    EXPECT_LE(press("cmdFind"), kFindBoundMs);
    expectOnlyGenuineRows();
    selectCamera("Slow Hostile 3");
    EXPECT_LE(saveWithPassword(shown), kSaveBoundMs);
    EXPECT_EQ(shown, kWriteOk);
    EXPECT_EQ(boxes.shown.size(), 3u);
    expectNoPasswordInLogs();
}
