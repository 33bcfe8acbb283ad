// The round trip of an ICP GET of a filter's setting, between two threads and between two
// processes, against the plainest way to do a round trip in each setting: a
// condition-variable ping-pong between two threads and a Unix-socket
// ping-pong between two processes. Rounds alternate between an exchange and
// its baseline so both see the same machine load; each ratio is the median
// of the per-round ratios. Everything is measured twice: free-running, where
// the scheduler may put the two sides on different CPUs, and with every
// thread of both sides pinned to one CPU, where only the exchange itself
// counts. The line before the last names the CPU and gives both.
// Last line (free-running): icp_thread_ratio=<x> icp_process_ratio=<y>

#include <dirent.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/CFilterIcpClient.h"
#include "framework/CMessageQueueManager.h"
#include "support/TestFilters.h"
#include "support/Instance.h"
#include "support/PeerProcess.h"
#include "support/WaitFor.h"

using namespace corvanta;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRounds = 15;

double MicrosPerTrip(Clock::time_point a, Clock::time_point b, int trips) {
    return std::chrono::duration<double, std::micro>(b - a).count() / trips;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Two threads handing a turn back and forth.
class CondVarPingPong {
public:
    CondVarPingPong() : m_peer([this] { Serve(); }) {}
    ~CondVarPingPong() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_cv.notify_all();
        m_peer.join();
    }
    double Measure(int trips) {
        auto t0 = Clock::now();
        for (int i = 0; i < trips; ++i) {
            std::unique_lock lock(m_mutex);
            m_ball = 1;
            m_cv.notify_all();
            m_cv.wait(lock, [&] { return m_ball == 0; });
        }
        return MicrosPerTrip(t0, Clock::now(), trips);
    }

private:
    void Serve() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_cv.wait(lock, [&] { return m_ball == 1 || m_stop; });
            if (m_stop) return;
            m_ball = 0;
            m_cv.notify_all();
        }
    }
    std::mutex m_mutex;
    std::condition_variable m_cv;
    int m_ball = 0;
    bool m_stop = false;
    std::thread m_peer;
};

// A child process echoing four bytes over a socket pair. Forked before any
// thread of ours exists.
class SocketPingPong {
public:
    SocketPingPong() {
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) std::exit(1);
        m_pid = fork();
        if (m_pid == 0) {
            close(fds[0]);
            char b[4];
            while (read(fds[1], b, 4) == 4)
                if (write(fds[1], b, 4) != 4) break;
            _exit(0);
        }
        close(fds[1]);
        m_fd = fds[0];
    }
    ~SocketPingPong() {
        close(m_fd);
        waitpid(m_pid, nullptr, 0);
    }
    pid_t Pid() const { return m_pid; }
    double Measure(int trips) {
        char b[4] = {1, 2, 3, 4};
        auto t0 = Clock::now();
        for (int i = 0; i < trips; ++i) {
            if (write(m_fd, b, 4) != 4 || read(m_fd, b, 4) != 4) std::exit(1);
        }
        return MicrosPerTrip(t0, Clock::now(), trips);
    }

private:
    pid_t m_pid = -1;
    int m_fd = -1;
};

double MeasureGets(CFilterIcpClient& client, int trips) {
    std::string value;
    auto t0 = Clock::now();
    for (int i = 0; i < trips; ++i) {
        if (!client.GetString("Greeting", &value)) {
            std::fprintf(stderr, "GET failed\n");
            std::exit(1);
        }
    }
    return MicrosPerTrip(t0, Clock::now(), trips);
}

struct Figures {
    double ratio = 0, icpMicros = 0, baselineMicros = 0;
};

template <typename Baseline>
Figures RatioOf(CFilterIcpClient& client, Baseline& baseline, int trips, const char* label) {
    std::vector<double> ratios, icp, base;
    MeasureGets(client, trips / 4);  // warm up
    baseline.Measure(trips / 4);
    for (int r = 0; r < kRounds; ++r) {
        double a = MeasureGets(client, trips);
        double b = baseline.Measure(trips);
        icp.push_back(a);
        base.push_back(b);
        ratios.push_back(a / b);
    }
    Figures f{Median(ratios), Median(icp), Median(base)};
    std::printf("%s: icp %.1f us, baseline %.1f us per round trip (medians)\n", label, f.icpMicros, f.baselineMicros);
    return f;
}

bool Open(CFilterIcpClient& client, const char* name) {
    return test::WaitFor([&] { return client.Open(name) != 0; }, 5000);
}

std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("model name", 0) != 0) continue;
        auto colon = line.find(':');
        return colon == std::string::npos ? line : line.substr(line.find_first_not_of(" \t", colon + 1));
    }
    return "unknown CPU";
}

// Puts every thread of `pid` on `cpu`; threads made later inherit it.
void PinProcess(pid_t pid, int cpu) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') sched_setaffinity(pid_t(std::atoi(e->d_name)), sizeof set, &set);
    closedir(d);
}

struct Pass {
    Figures threads, processes;
};

Pass MeasurePass(SocketPingPong& sockets, int instance, const char* prefix) {
    Pass pass;
    std::string label = std::string(prefix) + "threads";
    {
        test::SettingsFilter target("Bench Thread Target");
        CondVarPingPong condvar;
        CFilterIcpClient client;
        if (!Open(client, "Bench Thread Target")) std::exit(1);
        pass.threads = RatioOf(client, condvar, 2000, label.c_str());
    }
    label = std::string(prefix) + "processes";
    {
        test::PeerProcess peer(FRAMEWORK_PEER, {std::to_string(instance), "filter", "Bench Process Target"});
        if (peer.ReadLine().rfind("ready", 0) != 0) std::exit(1);
        CFilterIcpClient client;
        if (!Open(client, "Bench Process Target")) std::exit(1);
        pass.processes = RatioOf(client, sockets, 2000, label.c_str());
    }
    return pass;
}

}  // namespace

int main() {
    SocketPingPong sockets;
    int instance = test::UseOwnInstance();
    CMessageQueueManager manager;
    manager.Start();

    Pass free = MeasurePass(sockets, instance, "");
    // The peers made from here on inherit the pinning of this process.
    int cpu = sched_getcpu();
    PinProcess(getpid(), cpu);
    PinProcess(sockets.Pid(), cpu);
    Pass pinned = MeasurePass(sockets, instance, "pinned ");

    std::printf(
        "%s: free-running thread %.2f (icp %.1f / %.1f us), process %.2f (icp %.1f / %.1f us); "
        "pinned to one CPU thread %.2f (icp %.1f / %.1f us), process %.2f (icp %.1f / %.1f us)\n",
        CpuModel().c_str(), free.threads.ratio, free.threads.icpMicros, free.threads.baselineMicros,
        free.processes.ratio, free.processes.icpMicros, free.processes.baselineMicros, pinned.threads.ratio,
        pinned.threads.icpMicros, pinned.threads.baselineMicros, pinned.processes.ratio, pinned.processes.icpMicros,
        pinned.processes.baselineMicros);
    std::printf("icp_thread_ratio=%.2f icp_process_ratio=%.2f\n", free.threads.ratio, free.processes.ratio);
    return 0;
}
