// Program start to window shown, and the resident memory of the running program:
// the real binary on a private Xvfb display, timed from spawn to the map of its window.
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// A private X server for the length of the benchmark run.
class PrivateDisplay {
public:
    PrivateDisplay() {
        int report[2];
        if (pipe(report) != 0) return;
        const std::string fd = std::to_string(report[1]);
        const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                              nullptr};
        if (posix_spawnp(&server_, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return;
        close(report[1]);
        char number[16] = {};
        const ssize_t got = read(report[0], number, sizeof number - 1);
        close(report[0]);
        if (got <= 0) return;
        name_ = ":" + std::string(number, std::strcspn(number, "\n"));
        display_ = XOpenDisplay(name_.c_str());
        if (display_ != nullptr) XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
    }
    ~PrivateDisplay() {
        if (display_ != nullptr) XCloseDisplay(display_);
        if (server_ > 0) {
            kill(server_, SIGTERM);
            waitpid(server_, nullptr, 0);
        }
    }
    Display* display() const { return display_; }
    const std::string& name() const { return name_; }

    // Waits, up to ten seconds, for a top-level window with this title to be mapped.
    bool waitForMap(const char* title) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (XPending(display_) == 0) {
                pollfd connection{ConnectionNumber(display_), POLLIN, 0};
                poll(&connection, 1, 10);
                continue;
            }
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type != MapNotify) continue;
            char* name = nullptr;
            const bool match = XFetchName(display_, event.xmap.window, &name) && std::strcmp(name, title) == 0;
            if (name != nullptr) XFree(name);
            if (match) return true;
        }
        return false;
    }

private:
    pid_t server_ = 0;
    std::string name_;
    Display* display_ = nullptr;
};

long ResidentKilobytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

void BM_StartToWindowShown(benchmark::State& state) {
    static PrivateDisplay x;
    if (x.display() == nullptr) {
        state.SkipWithError("no Xvfb");
        return;
    }
    const std::string display = "DISPLAY=" + x.name();
    char* env[] = {const_cast<char*>(display.c_str()), const_cast<char*>("QT_QPA_PLATFORM=xcb"),
                   const_cast<char*>("SDL_AUDIODRIVER=dummy"), nullptr};
    char* argv[] = {const_cast<char*>(TONARE_KURVIL), nullptr};
    long residentKb = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        if (posix_spawn(&pid, TONARE_KURVIL, nullptr, nullptr, argv, env) != 0) {
            state.SkipWithError("cannot start the program");
            return;
        }
        const bool mapped = x.waitForMap("TONARE Wave Generator");
        const auto shown = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(shown - start).count());

        std::this_thread::sleep_for(std::chrono::milliseconds(300));   // settled and painted
        residentKb = std::max(residentKb, ResidentKilobytes(pid));
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        if (!mapped) {
            state.SkipWithError("the window never appeared");
            return;
        }
    }
    state.counters["rss_MB"] = static_cast<double>(residentKb) / 1024.0;
}
BENCHMARK(BM_StartToWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
