// Times the real window against virtual cameras in a namespace lab, offscreen (as root):
//
//   telviq-bench --virtual-cameras PATH --utility PATH [--runs N]
//
// Prints a Markdown table: median and worst of N runs (10 unless told) for Find with 5 cameras
// (answering at once, and 2 ms apart), Find with 128 cameras answering in one burst, Save,
// start-up and peak memory. The cameras log their receive and send times on CLOCK_MONOTONIC,
// which is this program's steady clock too.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <limits.h>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "app/Unit1.h"
#include "app/message_boxes.h"
#include "hostnet/linux_adapter_source.h"
#include "tests/support/netns_lab.h"
#include "theme/theme.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double monotonicMs(Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(t.time_since_epoch()).count();
}

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Thrown rather than exiting, so that the lab's namespaces are removed on the way out.
[[noreturn]] void fail(const std::string& why)
{
    throw std::runtime_error(why);
}

// One row of the table.
struct Measure {
    std::string name;
    std::string unit;
    std::vector<double> values;
    bool higherIsBetter = false;
    std::string aimText;
    std::function<bool(double)> meetsAim; // judged on the worst run; none: no aim
};

Measure measure(std::string name, std::string unit, std::string aimText,
                std::function<bool(double)> meetsAim)
{
    Measure m;
    m.name = std::move(name);
    m.unit = std::move(unit);
    m.aimText = std::move(aimText);
    m.meetsAim = std::move(meetsAim);
    return m;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double worst(const Measure& m)
{
    return m.higherIsBetter ? *std::min_element(m.values.begin(), m.values.end())
                            : *std::max_element(m.values.begin(), m.values.end());
}

std::string format(double value, const std::string& unit)
{
    char text[64];
    if (unit == "s")
        std::snprintf(text, sizeof text, "%.3f s", value / 1000);
    else if (unit == "ms")
        std::snprintf(text, sizeof text, "%.2f ms", value);
    else if (unit == "MB")
        std::snprintf(text, sizeof text, "%.1f MB", value);
    else
        std::snprintf(text, sizeof text, "%.0f", value);
    return text;
}

void printTable(const std::vector<Measure>& measures)
{
    std::printf("| Measure | Runs | Median | Worst | Aim | Met |\n");
    std::printf("|---|---:|---:|---:|---|---|\n");
    for (const Measure& m : measures) {
        if (m.values.empty()) {
            std::printf("| %s | 0 | | | %s | not measured |\n", m.name.c_str(), m.aimText.c_str());
            continue;
        }
        const char* met = !m.meetsAim ? "" : m.meetsAim(worst(m)) ? "yes" : "**no**";
        std::printf("| %s | %zu | %s | %s | %s | %s |\n", m.name.c_str(), m.values.size(),
                    format(median(m.values), m.unit).c_str(), format(worst(m), m.unit).c_str(),
                    m.aimText.c_str(), met);
    }
}

// A camera log line "t=SECONDS.MICROS from ...: note" or "t=... to ...: N bytes".
struct Stamped {
    double ms;
    std::string rest;
};

std::vector<Stamped> stampedLines(const std::string& log)
{
    std::vector<Stamped> lines;
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        long long seconds = 0;
        long micros = 0;
        int used = 0;
        if (std::sscanf(line.c_str(), "t=%lld.%6ld %n", &seconds, &micros, &used) == 2 && used > 0)
            lines.push_back({static_cast<double>(seconds) * 1000 + micros / 1000.0,
                             line.substr(static_cast<std::size_t>(used))});
    }
    return lines;
}

// Watches for the window's message boxes: notes when one first paints, then presses its OK.
class BoxWatcher : public QObject {
public:
    std::optional<Clock::time_point> paintedAt;
    QString text;

    BoxWatcher() { qApp->installEventFilter(this); }
    ~BoxWatcher() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (box && event->type() == QEvent::Paint && !paintedAt) {
            paintedAt = Clock::now();
            text = box->text();
            QTimer::singleShot(0, box, [box] {
                if (QAbstractButton* ok = box->button(QMessageBox::Ok))
                    ok->click();
            });
        }
        return false;
    }
};

std::string selfPath()
{
    char path[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

struct Spawned {
    pid_t pid = -1;
    int outFd = -1; // read end of the child's standard output, or -1
};

// Starts argv with standard error discarded, standard output into a pipe when asked (else
// discarded). The child lives in the calling thread's network namespace.
Spawned spawnProgram(const std::vector<std::string>& argv, bool captureOutput)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    if (captureOutput && pipe2(pipeFds, O_CLOEXEC) != 0)
        fail(std::string("pipe: ") + std::strerror(errno));

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (captureOutput)
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Spawned child;
    const int failed = posix_spawn(&child.pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed)
        fail("cannot start " + argv[0] + ": " + std::strerror(failed));
    if (captureOutput) {
        close(pipeFds[1]);
        child.outFd = pipeFds[0];
    }
    return child;
}

// The child half of the start-up measure: what main() does, until the window first paints.
int startupProbe(int argc, char** argv)
{
    // A window that never shows (an adapter prompt, say) must not hang the benchmark.
    alarm(20);
    QApplication application(argc, argv);
    theme::applyTheme(application);

    struct FirstPaint : QObject {
        bool seen = false;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (!seen && event->type() == QEvent::Paint && watched->objectName() == "Form1") {
                seen = true;
                auto* window = static_cast<QWidget*>(watched);
                // After the whole window, children included, has painted.
                QTimer::singleShot(0, window, [window] {
                    std::printf("shown %.3f\n", monotonicMs(Clock::now()));
                    std::fflush(stdout);
                    window->close();
                });
            }
            return false;
        }
    } firstPaint;
    application.installEventFilter(&firstPaint);

    hostnet::LinuxAdapterSource adapters;
    return runMainWindow(adapters);
}

class Bench {
public:
    Bench(NetnsLab& lab, std::string camerasProgram, int runs)
        : lab_(lab), camerasProgram_(std::move(camerasProgram)), runs_(runs)
    {}

    // All answering at once, or one after another spacingMs apart.
    pid_t startCameras(int count, int spacingMs = 0)
    {
        lab_.stopAll();
        const pid_t pid = lab_.spawnInCam({camerasProgram_, "--count", std::to_string(count),
                                           "--spacing", std::to_string(spacingMs), "--timestamps"});
        if (pid < 0 || !lab_.waitForLog(pid, "ready", std::chrono::seconds(10)))
            fail("the virtual cameras did not start: " + lab_.logOf(pid));
        return pid;
    }

    // Click to the filled and painted list; returns the rows of every run.
    std::vector<double> find(TForm1& form, Measure& time)
    {
        auto* button = form.findChild<QPushButton*>("cmdFind");
        auto* list = form.findChild<QTreeWidget*>("listIpCamera");
        std::vector<double> rows;
        for (int run = 0; run < runs_; ++run) {
            settle();
            const Clock::time_point start = Clock::now();
            button->click();
            QApplication::processEvents();
            time.values.push_back(msBetween(start, Clock::now()));
            rows.push_back(list->topLevelItemCount());
        }
        return rows;
    }

    void save(TForm1& form, pid_t cameras, Measure& ackToBox, Measure& clickToWire)
    {
        auto* list = form.findChild<QTreeWidget*>("listIpCamera");
        auto* button = form.findChild<QPushButton*>("cmdSave");
        // The second camera: the first generated one's e-mail time, 00:00, is refused by Save.
        if (list->topLevelItemCount() < 2)
            fail("too few cameras listed to save to");
        list->setCurrentItem(list->topLevelItem(1));
        QApplication::processEvents();
        if (!button->isEnabled())
            fail("Save stays disabled with a camera selected");

        for (int run = 0; run < runs_; ++run) {
            settle();
            const std::size_t logBefore = lab_.logOf(cameras).size();
            BoxWatcher box;
            const Clock::time_point click = Clock::now();
            button->click();
            if (!box.paintedAt)
                fail("Save showed no box");
            if (box.text != "Settings write ok!\n")
                fail("Save reported: " + box.text.toStdString());

            // The camera writes its log line just after the send; give it a moment.
            std::optional<double> receivedAt, ackAt;
            for (int tries = 0; tries < 200 && !ackAt; ++tries) {
                receivedAt.reset();
                for (const Stamped& line : stampedLines(lab_.logOf(cameras).substr(logBefore))) {
                    if (!receivedAt && line.rest.find(": parameters for ") != std::string::npos)
                        receivedAt = line.ms;
                    else if (receivedAt && line.rest.rfind("to ", 0) == 0) {
                        ackAt = line.ms;
                        break;
                    }
                }
                if (!ackAt)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            if (!ackAt)
                fail("the camera's log shows no acknowledgement sent");
            ackToBox.values.push_back(monotonicMs(*box.paintedAt) - *ackAt);
            clickToWire.values.push_back(*receivedAt - monotonicMs(click));
        }
    }

    // A fresh process running main()'s steps, from the exec to the window's first paint.
    void startup(Measure& time)
    {
        const std::string self = selfPath();
        for (int run = 0; run < runs_; ++run) {
            const Clock::time_point start = Clock::now();
            Spawned child = spawnProgram({self, "--startup-probe"}, true);
            std::string out;
            char buffer[256];
            ssize_t n = 0;
            while ((n = read(child.outFd, buffer, sizeof buffer)) > 0)
                out.append(buffer, static_cast<std::size_t>(n));
            close(child.outFd);
            int status = 0;
            waitpid(child.pid, &status, 0);
            double shownMs = 0;
            if (std::sscanf(out.c_str(), "shown %lf", &shownMs) != 1)
                fail("the start-up probe reported nothing (status " + std::to_string(status) + ")");
            time.values.push_back(shownMs - monotonicMs(start));
        }
    }

    // The real program, offscreen, stopped after a second; its peak resident set.
    void memory(const std::string& utility, Measure& peak)
    {
        for (int run = 0; run < runs_; ++run) {
            Spawned child = spawnProgram({utility}, false);
            std::this_thread::sleep_for(std::chrono::seconds(1));
            kill(child.pid, SIGTERM);
            int status = 0;
            rusage usage{};
            if (wait4(child.pid, &status, 0, &usage) != child.pid)
                fail("lost the utility's process");
            // Ended by the signal, not on its own: on its own it would have failed to start.
            if (!WIFSIGNALED(status))
                fail("the utility ended before it was stopped (status " + std::to_string(status) +
                     ")");
            peak.values.push_back(static_cast<double>(usage.ru_maxrss) / 1024);
        }
    }

private:
    // A short pause with the window's events handled, so that runs do not overlap.
    static void settle()
    {
        const Clock::time_point until = Clock::now() + std::chrono::milliseconds(200);
        while (Clock::now() < until) {
            QApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    NetnsLab& lab_;
    std::string camerasProgram_;
    int runs_;
};

int run(int argc, char** argv)
{
    std::string camerasProgram, utility;
    int runs = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--virtual-cameras")
            camerasProgram = argv[i + 1];
        else if (option == "--utility")
            utility = argv[i + 1];
        else if (option == "--runs")
            runs = std::atoi(argv[i + 1]);
        else
            fail("unknown option " + option);
    }
    if (camerasProgram.empty() || utility.empty() || runs < 1 || argc % 2 == 0)
        fail("usage: telviq-bench --virtual-cameras PATH --utility PATH [--runs N]");

    std::string why;
    if (!NetnsLab::available(why))
        fail(why);
    NetnsLab lab;
    if (!lab.error().empty())
        fail(lab.error());
    Bench bench(lab, camerasProgram, runs);
    const pid_t fiveCameras = bench.startCameras(5);
    lab.enterPc();
    if (!lab.error().empty())
        fail(lab.error());

    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    theme::applyTheme(application);

    Measure find5 = measure("Find, 5 cameras: click to filled list", "s",
                            "at most 3.1 s (floor 3.0 s)", [](double ms) { return ms <= 3100; });
    Measure find5Spaced =
        measure("Find, 5 cameras answering 2 ms apart: click to filled list", "s",
                "at most 3.1 s (floor 3.0 s)", [](double ms) { return ms <= 3100; });
    Measure listed = measure("Find, 128 cameras in one burst: cameras listed", "",
                             "128 in every run", [](double rows) { return rows == 128; });
    listed.higherIsBetter = true;
    Measure find128 = measure("Find, 128 cameras in one burst: click to filled list", "s", "", {});
    Measure ackToBox = measure("Save: acknowledgement leaves the camera to result box shown", "ms",
                               "under 20 ms", [](double ms) { return ms < 20; });
    Measure clickToWire = measure("Save: click to parameter packet at the camera", "ms", "", {});
    Measure startupTime = measure("Start-up: exec to window shown", "ms", "under 300 ms",
                                  [](double ms) { return ms < 300; });
    Measure peak = measure("Start-up: peak resident memory of telviq-utility", "MB", "under 60 MB",
                           [](double mb) { return mb < 60; });

    {
        // Only the adapter prompt can come up while the window is built; with no adapter
        // on-line here it would repeat for ever, so it is cancelled.
        app::MessageBoxHook prompt;
        prompt.onShow = [&prompt](const app::ShownBox&) { prompt.answers = {QMessageBox::Cancel}; };
        app::setMessageBoxHook(&prompt);
        hostnet::LinuxAdapterSource adapters;
        TForm1 form(adapters);
        app::setMessageBoxHook(nullptr);
        if (form.creationCancelled())
            fail("no adapter on-line in the lab's pc namespace");
        form.show();
        QApplication::processEvents();

        for (double rows : bench.find(form, find5)) {
            if (rows != 5)
                fail("a Find with 5 cameras listed " + std::to_string(rows));
        }
        bench.save(form, fiveCameras, ackToBox, clickToWire);
        bench.startCameras(5, 2);
        for (double rows : bench.find(form, find5Spaced)) {
            if (rows != 5)
                fail("a Find with 5 spaced cameras listed " + std::to_string(rows));
        }
        bench.startCameras(128);
        listed.values = bench.find(form, find128);
    }
    bench.startup(startupTime);
    bench.memory(utility, peak);
    lab.leave();
    lab.stopAll();

    printTable({find5, find5Spaced, listed, find128, ackToBox, clickToWire, startupTime, peak});
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--startup-probe") == 0)
        return startupProbe(argc, argv);
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "telviq-bench: %s\n", error.what());
        return 1;
    }
}
