#pragma once

#include <sys/resource.h>

#include <csignal>

namespace tovradocs::Testing {

// While alive, every write of this process past `room` bytes of a file fails
// as on a full disk (RLIMIT_FSIZE, with SIGXFSZ ignored).
class FullDiskAfter
{
public:
    explicit FullDiskAfter(rlim_t room)
    {
        if (::getrlimit(RLIMIT_FSIZE, &m_before) != 0)
            return;
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit full {room, m_before.rlim_max};
        m_ok = ::setrlimit(RLIMIT_FSIZE, &full) == 0;
    }
    ~FullDiskAfter()
    {
        if (m_oldHandler == SIG_ERR)
            return;
        ::setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FullDiskAfter(const FullDiskAfter &) = delete;
    FullDiskAfter &operator=(const FullDiskAfter &) = delete;

    bool ok() const { return m_ok; }

private:
    rlimit m_before {};
    void (*m_oldHandler)(int) = SIG_ERR;
    bool m_ok = false;
};

} // namespace tovradocs::Testing
