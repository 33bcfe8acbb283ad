#pragma once
// The proxy of "AVIPlayback Manager". Besides carrying every record to the
// recorder, it keeps one stream proxy per open file, through which players
// fetch that file's frames: opening a file (command 4) makes the proxy, and
// it lives until the file has been closed (command 5) as often as it was
// opened, or until the manager shuts down.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "remote/RemoteFilter.h"
#include "stores/CLockedPtrArray.h"

namespace corvanta {

class CRemotePlaybackManager : public CRemoteFilter {
public:
    // Closes every remaining stream proxy, then the manager itself.
    ~CRemotePlaybackManager() override;

    // Open and close keep the stream list (file names compared without
    // regard to letter case) and answer `kind` 7 when the recorder gives no
    // answer; everything else goes to the recorder unchanged.
    //
    // Open of a listed file adds 1 to its use count and forwards; the
    // result is the recorder's. Open of a new file forwards first; when the
    // recorder answers, a stream proxy is made and listed with use count 1.
    // Close subtracts 1 and closes the proxy at 0, then forwards.
    int OnIcp(IcpRecord* query, IcpRecord* answer) override;

    // Closes and destroys every stream proxy and empties the list. Part of
    // shutting the manager down; returns how many there were.
    size_t CloseAllStreams();

    size_t StreamCount();
    // The use count of a listed file; 0 when it is not listed.
    uint32_t StreamUseCount(std::string_view fileName);

    static CFilterDescriptor MakeDescriptor();

private:
    struct StreamEntry {
        std::string name;
        std::unique_ptr<CRemoteStreamFilter> proxy;
        uint32_t useCount = 0;
    };

    int OpenStream(IcpRecord* query, IcpRecord* answer, const std::string& name);
    int CloseStream(IcpRecord* query, IcpRecord* answer, const std::string& name);
    // Index of the entry for `name` or -1; the caller holds the list's lock.
    ptrdiff_t FindLocked(std::string_view name) const;
    // Tells the recorder to close a file that was opened there but got no
    // local proxy.
    void ForwardClose(const IcpRecord* open);

    CLockedPtrArray m_streams;  // StreamEntry*, owned
};

}  // namespace corvanta
