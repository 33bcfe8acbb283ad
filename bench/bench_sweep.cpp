// The sweep an instance runs when it starts, with 1,000 objects left behind
// by killed processes, against removing the same 1,000 objects by name (what
// the sweep could at best cost if it did not have to look for them). Rounds
// alternate between the two; times are medians.
// Last line: sweep_ms_1000=<milliseconds>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/SharedRegion.h"

using corvanta::platform::SharedRegion;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kObjects = 1000;
constexpr int kRounds = 9;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double MsSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

// Objects as a killed process leaves them: there, sized, and locked by nobody.
std::vector<std::string> LeaveStaleObjects(int round) {
    std::vector<std::string> objects;
    for (int i = 0; i < kObjects; ++i) {
        std::string object = SharedRegion::ObjectName("bench sweep " + std::to_string(getpid()) + " " +
                                                      std::to_string(round) + " " + std::to_string(i));
        int fd = shm_open(object.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 || ftruncate(fd, 4096) != 0) {
            std::perror("shm_open");
            std::exit(1);
        }
        close(fd);
        objects.push_back(object);
    }
    return objects;
}

bool AllGone(const std::vector<std::string>& objects) {
    struct stat st{};
    return std::none_of(objects.begin(), objects.end(),
                        [&](const std::string& o) { return stat(("/dev/shm" + o).c_str(), &st) == 0; });
}

}  // namespace

int main() {
    std::vector<double> sweeps, unlinks;
    for (int round = 0; round < kRounds; ++round) {
        auto objects = LeaveStaleObjects(2 * round);
        auto t0 = Clock::now();
        SharedRegion::RemoveUnused();
        sweeps.push_back(MsSince(t0));
        if (!AllGone(objects)) {
            std::fprintf(stderr, "the sweep left stale objects behind\n");
            return 1;
        }

        objects = LeaveStaleObjects(2 * round + 1);
        t0 = Clock::now();
        for (const auto& o : objects) shm_unlink(o.c_str());
        unlinks.push_back(MsSince(t0));
    }
    double sweep = Median(sweeps), unlink = Median(unlinks);
    std::printf("%d stale objects: sweep %.2f ms, unlink by name %.2f ms, ratio %.2f (medians of %d)\n", kObjects,
                sweep, unlink, sweep / unlink, kRounds);
    std::printf("sweep_ms_1000=%.2f\n", sweep);
    return 0;
}
