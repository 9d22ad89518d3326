#pragma once

#include <QtGlobal>

// What the jobs reading archive entries may hold at once while they inflate:
// each reservation waits until the bytes it asks for fit beside those of the
// other jobs, so two jobs that meet large entries inflate them one after the
// other instead of doubling the peak. A reservation larger than the whole
// budget waits until it is alone.
class EntryMemory
{
public:
    static constexpr qint64 Budget = qint64(256) << 20;

    class Reservation
    {
    public:
        explicit Reservation(qint64 bytes);
        ~Reservation();
        Reservation(const Reservation &) = delete;
        Reservation &operator=(const Reservation &) = delete;

    private:
        qint64 m_bytes;
    };

    // The bytes reserved now (tests and benchmarks).
    static qint64 reserved();
};
