// The other process of the framework tests. It joins an instance by number
// and plays one role: "target NAME" serves ICP as IcpTestTarget until killed;
// "get NAME SETTING" prints what a GET of SETTING answers; "lock REGION"
// makes a region and holds it and a mutex named after it until killed.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/CFilterIcpClient.h"
#include "framework/InstanceNames.h"
#include "stores/CSMemory.h"
#include "support/IcpTestTarget.h"

using namespace corvanta;

int main(int argc, char** argv) {
    if (argc < 4) return 1;
    InstanceNames::SetInstanceNumber(std::atoi(argv[1]));
    std::string role = argv[2];
    if (role == "target") {
        test::IcpTestTarget target(argv[3], true);
        std::printf("ready %u\n", target.Queue().Window());
        std::fflush(stdout);
        pause();
        return 0;
    }
    if (role == "get" && argc == 5) {
        CFilterIcpClient client;
        if (!client.Open(argv[3])) {
            std::printf("open failed\n");
            return 0;
        }
        std::string value;
        int ok = client.GetString(argv[4], &value);
        std::printf("get %d %s\n", ok, value.c_str());
        return 0;
    }
    if (role == "lock") {
        CSMemory region;
        CNamedMutex held;
        if (!region.Create(64, argv[3]) || !held.Create((std::string(argv[3]) + " held").c_str()) || !held.Lock())
            return 2;
        static_cast<char*>(region.Data())[0] = 'p';
        std::printf("ready\n");
        std::fflush(stdout);
        pause();
        return 0;
    }
    return 1;
}
