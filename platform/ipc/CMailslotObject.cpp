#include "platform/ipc/CMailslotObject.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "platform/ipc/Deadline.h"

namespace mvipc {

namespace {

// What an unprivileged process may ask of the system by default
// (/proc/sys/fs/mqueue): ten messages of up to 8192 bytes.
constexpr long kQueueDepth = 10;
constexpr DWORD kLargestMessage = 8192;

}  // namespace

CMailslotObject::CMailslotObject(mqd_t queue, std::string posixName, bool reader, DWORD maxMessageSize,
                                 DWORD readTimeout)
    : m_queue(queue), m_name(std::move(posixName)), m_reader(reader), m_maxMessageSize(maxMessageSize),
      m_readTimeout(readTimeout)
{
    if (m_reader)
        m_held.resize(m_maxMessageSize);
}

std::shared_ptr<CMailslotObject> CMailslotObject::Create(const std::string& posixName, DWORD maxMessageSize,
                                                         DWORD readTimeout)
{
    if (posixName.empty() || maxMessageSize > kLargestMessage)
        return nullptr;
    const DWORD size = maxMessageSize ? maxMessageSize : kLargestMessage;
    mq_attr attr{};
    attr.mq_maxmsg = kQueueDepth;
    attr.mq_msgsize = size;
    const mqd_t queue = mq_open(posixName.c_str(), O_RDONLY | O_CREAT | O_EXCL, 0600, &attr);
    if (queue == static_cast<mqd_t>(-1))
        return nullptr;
    return std::shared_ptr<CMailslotObject>(new CMailslotObject(queue, posixName, true, size, readTimeout));
}

std::shared_ptr<CMailslotObject> CMailslotObject::OpenForWriting(const std::string& posixName)
{
    if (posixName.empty())
        return nullptr;
    const mqd_t queue = mq_open(posixName.c_str(), O_WRONLY | O_NONBLOCK);
    if (queue == static_cast<mqd_t>(-1))
        return nullptr;
    mq_attr attr{};
    if (mq_getattr(queue, &attr) != 0) {
        mq_close(queue);
        return nullptr;
    }
    return std::shared_ptr<CMailslotObject>(
        new CMailslotObject(queue, posixName, false, static_cast<DWORD>(attr.mq_msgsize), 0));
}

CMailslotObject::~CMailslotObject()
{
    mq_close(m_queue);
    if (m_reader)
        mq_unlink(m_name.c_str());
}

bool CMailslotObject::Write(const void* buffer, DWORD size)
{
    if (m_reader || (!buffer && size) || size > m_maxMessageSize)
        return false;
    return mq_send(m_queue, static_cast<const char*>(buffer), size, 0) == 0;
}

bool CMailslotObject::Fetch(DWORD ms)
{
    if (m_holding)
        return true;
    ssize_t n;
    do {
        if (ms == MAILSLOT_WAIT_FOREVER) {
            n = mq_receive(m_queue, m_held.data(), m_held.size(), nullptr);
        } else {
            const timespec deadline = DeadlineAfter(CLOCK_REALTIME, ms);
            n = mq_timedreceive(m_queue, m_held.data(), m_held.size(), nullptr, &deadline);
        }
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return false;
    m_holding = true;
    m_heldSize = static_cast<DWORD>(n);
    return true;
}

bool CMailslotObject::Read(void* buffer, DWORD size, DWORD* read)
{
    if (read)
        *read = 0;
    if (!m_reader || !Fetch(m_readTimeout) || m_heldSize > size || (!buffer && m_heldSize))
        return false;
    if (m_heldSize)
        std::memcpy(buffer, m_held.data(), m_heldSize);
    if (read)
        *read = m_heldSize;
    m_holding = false;
    return true;
}

bool CMailslotObject::Info(DWORD* maxMessageSize, DWORD* nextSize, DWORD* messageCount, DWORD* readTimeout)
{
    if (!m_reader)
        return false;
    const bool any = Fetch(0);
    mq_attr attr{};
    if (mq_getattr(m_queue, &attr) != 0)
        return false;
    if (maxMessageSize)
        *maxMessageSize = m_maxMessageSize;
    if (nextSize)
        *nextSize = any ? m_heldSize : MAILSLOT_NO_MESSAGE;
    if (messageCount)
        *messageCount = static_cast<DWORD>(attr.mq_curmsgs) + (any ? 1 : 0);
    if (readTimeout)
        *readTimeout = m_readTimeout;
    return true;
}

}  // namespace mvipc
