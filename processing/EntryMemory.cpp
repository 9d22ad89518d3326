#include "EntryMemory.h"

#include <condition_variable>
#include <mutex>

namespace {

std::mutex lock;
std::condition_variable released;
qint64 inUse = 0;

} // namespace

EntryMemory::Reservation::Reservation(qint64 bytes)
    : m_bytes(bytes)
{
    std::unique_lock guard(lock);
    released.wait(guard, [bytes] { return inUse == 0 || inUse + bytes <= Budget; });
    inUse += bytes;
}

EntryMemory::Reservation::~Reservation()
{
    {
        const std::lock_guard guard(lock);
        inUse -= m_bytes;
    }
    released.notify_all();
}

qint64 EntryMemory::reserved()
{
    const std::lock_guard guard(lock);
    return inUse;
}
