// The object behind a mailslot handle: a POSIX message queue, opened for
// reading by the slot's creator (which removes the name when it closes) or
// for writing by any other. The reading end keeps at most one message that
// a read with too small a buffer took off the queue, so nothing is lost.
// One thread at a time per handle.
#pragma once

#include <mqueue.h>

#include <string>
#include <vector>

#include "platform/ipc/Mailslot.h"
#include "platform/sync/CKernelObject.h"

namespace mvipc {

class CMailslotObject : public mvsync::CKernelObject {
public:
    // Null when the queue cannot be made (or, for a writer, does not exist).
    static std::shared_ptr<CMailslotObject> Create(const std::string& posixName, DWORD maxMessageSize,
                                                   DWORD readTimeout);
    static std::shared_ptr<CMailslotObject> OpenForWriting(const std::string& posixName);
    ~CMailslotObject() override;

    bool Write(const void* buffer, DWORD size);
    // false with *read 0 when no message came or the buffer is too small.
    bool Read(void* buffer, DWORD size, DWORD* read);
    bool Info(DWORD* maxMessageSize, DWORD* nextSize, DWORD* messageCount, DWORD* readTimeout);

private:
    CMailslotObject(mqd_t queue, std::string posixName, bool reader, DWORD maxMessageSize, DWORD readTimeout);
    // Moves the next message into the held buffer, waiting up to `ms`.
    bool Fetch(DWORD ms);

    mqd_t m_queue;
    std::string m_name;
    bool m_reader;
    DWORD m_maxMessageSize;
    DWORD m_readTimeout;
    std::vector<char> m_held;
    bool m_holding = false;
    DWORD m_heldSize = 0;
};

}  // namespace mvipc
