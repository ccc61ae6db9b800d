#include "tests/e2e/lab_window.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <thread>
#include <unistd.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "theme/radio_group.h"

using namespace std::chrono_literals;

long long msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

std::vector<CameraLogLine> requestsIn(const std::string& log)
{
    static const std::regex line(R"(from ([0-9.]+):([0-9]+): (.*))");
    std::vector<CameraLogLine> found;
    std::istringstream in(log);
    std::string text;
    std::smatch match;
    while (std::getline(in, text)) {
        if (std::regex_match(text, match, line))
            found.push_back({match[1].str(), std::stoi(match[2].str()), match[3].str()});
    }
    return found;
}

int countRequests(const std::string& log, const std::string& what, const std::string& address)
{
    int n = 0;
    for (const CameraLogLine& line : requestsIn(log))
        n += line.note.find(what) != std::string::npos &&
             (address.empty() || line.fromAddress == address);
    return n;
}

void LabWindowTest::SetUp()
{
    std::string why;
    if (!NetnsLab::available(why))
        GTEST_SKIP() << why;
    app::setMessageBoxHook(&boxes);
}

void LabWindowTest::TearDown()
{
    if (HasFailure() && lab) {
        for (const pid_t camera : cameras_)
            std::cerr << "virtual cameras " << camera << " said:\n" << lab->logOf(camera);
    }
    // The window's socket belongs to the pc namespace: it goes before the namespace does.
    form.reset();
    adapters.reset();
    lab.reset(); // back to the original namespace, cameras stopped, namespaces deleted
    app::setMessageBoxHook(nullptr);
    for (const std::string& file : files_)
        std::remove(file.c_str());
}

void LabWindowTest::buildLab(std::vector<NetnsLab::Link> links)
{
    lab = std::make_unique<NetnsLab>(std::move(links));
    if (!lab->error().empty())
        throw std::runtime_error("the lab did not stand: " + lab->error());
}

pid_t LabWindowTest::startCameras(const std::string& cameraFile, std::size_t link)
{
    char path[] = "/tmp/tvq-e2e-cameras-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        throw std::runtime_error("cannot make a camera file");
    close(fd);
    files_.push_back(path);
    std::ofstream(path) << cameraFile;

    const pid_t pid = lab->spawnInCam({kVirtualCameras, "--file", path, "--log"}, link);
    if (pid <= 0)
        throw std::runtime_error("cannot start the virtual cameras");
    cameras_.push_back(pid);
    if (!lab->waitForLog(pid, "ready", 5s))
        throw std::runtime_error("the virtual cameras did not start: " + lab->logOf(pid));
    return pid;
}

void LabWindowTest::openWindow()
{
    lab->enterPc();
    if (!lab->error().empty())
        throw std::runtime_error(lab->error());
    adapters = std::make_unique<hostnet::LinuxAdapterSource>();
    // Should the namespace show no on-line adapter, the prompt is cancelled instead of being
    // answered with a retry for ever.
    boxes.answers = {QMessageBox::Cancel};
    form = std::make_unique<TForm1>(*adapters);
    if (form->creationCancelled())
        throw std::runtime_error("the window saw no on-line adapter in the pc namespace");
    boxes.answers.clear();
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        throw std::runtime_error("the window was not shown");
}

QString LabWindowTest::text(const char* edit) const
{
    return control<QLineEdit>(edit)->text();
}

void LabWindowTest::click(const char* button)
{
    QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
}

long long LabWindowTest::find()
{
    const auto start = std::chrono::steady_clock::now();
    click("cmdFind");
    return msSince(start);
}

LabWindowTest::Rows LabWindowTest::rows() const
{
    Rows found;
    const auto* list = control<QTreeWidget>("listIpCamera");
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        found.emplace_back(item->text(0).toStdString(), item->text(1).toStdString());
    }
    return found;
}

void LabWindowTest::selectRow(int row)
{
    auto* list = control<QTreeWidget>("listIpCamera");
    QTreeWidgetItem* item = list->topLevelItem(row);
    if (item == nullptr)
        throw std::runtime_error("no row " + std::to_string(row));
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

void LabWindowTest::showPage(const char* page)
{
    auto* pages = control<QTabWidget>("IpCameraInfoPage");
    const int index = pages->indexOf(control(page));
    QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {},
                      pages->tabBar()->tabRect(index).center());
}

void LabWindowTest::type(const char* edit, const QString& value)
{
    auto* line = control<QLineEdit>(edit);
    line->clear();
    QTest::keyClicks(line, value);
}

long long LabWindowTest::save()
{
    const auto start = std::chrono::steady_clock::now();
    long long boxAfter = -1;
    boxes.onShow = [&](const app::ShownBox&) {
        if (boxAfter < 0)
            boxAfter = msSince(start);
    };
    click("cmdSave");
    boxes.onShow = nullptr;
    return boxAfter;
}

QString LabWindowTest::chosenItem(const char* group) const
{
    const auto* radio = control<theme::RadioGroup>(group);
    const int index = radio->itemIndex();
    return index < 0 ? QString() : radio->items().at(index);
}

int LabWindowTest::waitForRequests(pid_t cameras, const std::string& what,
                                   const std::string& address, int times) const
{
    const auto start = std::chrono::steady_clock::now();
    while (true) {
        const int n = countRequests(lab->logOf(cameras), what, address);
        if (n >= times || msSince(start) > 1000)
            return n;
        std::this_thread::sleep_for(10ms);
    }
}
