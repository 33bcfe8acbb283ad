#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/FilterInfoBlock.h"
#include "framework/IcpRecord.h"
#include "platform/WindowTypes.h"
#include "stores/CYSMemory.h"

namespace corvanta {

// The caller side of an ICP exchange: an open channel to one filter, found
// by name in the instance's queue directory. Not for use by two threads at
// once; two threads use two clients.
class CFilterIcpClient {
public:
    CFilterIcpClient();
    virtual ~CFilterIcpClient();
    CFilterIcpClient(const CFilterIcpClient&) = delete;
    CFilterIcpClient& operator=(const CFilterIcpClient&) = delete;

    virtual int IsOpen();
    virtual int Close();
    virtual int SendCommandText(uint32_t code, uint32_t param1, const char* text, uint32_t param2 = 0,
                                uint32_t param3 = 0, uint32_t param4 = 0, bool useTimeout = false);
    virtual int SendCommand(uint32_t code, uint32_t param1, uint32_t param2, const void* data, uint32_t length,
                            uint32_t param3 = 0, uint32_t param4 = 0, bool useTimeout = false);
    // One exchange. Without the time-out option the result is the target's;
    // with it, 1 when the target answered within 100000 ms and 0 otherwise.
    virtual int Send(uint32_t kind, uint32_t code, uint32_t param1, uint32_t param2, const void* data,
                     uint32_t length, uint32_t param3 = 0, uint32_t param4 = 0, bool useTimeout = false);
    virtual int Open(const char* filterName);
    // One command whose answer, when the target accepted it, is handed to
    // `read` while its region is still locked instead of being copied out
    // whole, so that a large answer (a frame) is copied once, into where the
    // caller keeps it. `read` may use at most `dataCapacity` data bytes,
    // whatever dataLength says; Answer() then holds the header alone.
    using AnswerReader = std::function<void(const IcpRecord& answer, uint32_t dataCapacity)>;
    int SendCommandReading(uint32_t code, uint32_t param1, uint32_t param2, const AnswerReader& read);

    virtual int SetInt(const char* name, int32_t value);
    virtual int SetInt(const char* name, uint32_t value);
    virtual int SetInt(const char* name, float value);
    // A date as a floating-point day count.
    virtual int SetDate(const char* name, double value);
    virtual int SetString(const char* name, const char* text);
    virtual int SetBytes(const char* name, const void* data, uint32_t size);
    // `size` in: the most bytes wanted (0: any); out: the value's size.
    virtual int GetBytes(const char* name, void* buffer, uint32_t* size);
    virtual int GetDate(const char* name, double* value);
    virtual int GetInt(const char* name, int32_t* value);
    virtual int GetInt64(const char* name, uint32_t* low, uint32_t* high);
    virtual int GetInt(const char* name, uint32_t* value);
    virtual int GetInt(const char* name, float* value);
    virtual int GetString(const char* name, std::string* text);
    virtual int Set(const char* name, const void* data, uint32_t size);
    // The value in the answer buffer, or null. The caller holds the locks.
    virtual const void* Get(const char* name, uint32_t* size);

    // The last answer, header and data. Only the first AnswerCapacity() data
    // bytes were copied, whatever its dataLength says.
    const IcpRecord* Answer() const;
    // The data capacity of the open filter's answer region.
    uint32_t AnswerCapacity() const { return m_answerCapacity; }
    const FilterInfoBlock& Info() const { return m_info; }
    platform::Hwnd Target() const { return m_target; }

private:
    int Exchange(uint32_t kind, uint32_t code, uint32_t param1, uint32_t param2, const void* data, uint32_t length,
                 uint32_t param3, uint32_t param4, bool useTimeout, const AnswerReader* read);
    int LockBoth();
    void UnlockBoth();
    template <typename T>
    int GetFixed(const char* name, T* value);

    FilterInfoBlock m_info;
    platform::Hwnd m_target = 0;
    uint32_t m_icpMessage;
    CYSMemory m_query;
    CYSMemory m_answer;
    uint32_t m_queryCapacity = 0;
    uint32_t m_answerCapacity = 0;
    std::vector<uint8_t> m_answerBuffer;
};

// Maps an existing ICP region of a filter at its full size: first its header
// alone, to learn its capacity. 0 when it does not exist or is inconsistent.
int OpenIcpRegion(CYSMemory& region, const std::string& name, uint32_t* capacity);

// Sends one command to the named filter without keeping a client. The
// answer's data goes to `out` when it fits in `outSize`. The target's result.
int SendIcpCommand(const char* filterName, uint32_t code, uint32_t param1, uint32_t param2, const void* data,
                   uint32_t length, void* out = nullptr, uint32_t outSize = 0);
int SendIcpCommand(const char* filterName, uint32_t code, uint32_t param1, uint32_t param2, const char* text,
                   void* out = nullptr, uint32_t outSize = 0);

}  // namespace corvanta
