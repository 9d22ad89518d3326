#pragma once

#include <QtGlobal>

#include <cstddef>
#include <memory>

// The memory the zone rasters' brightness keys live in. It grows to the
// largest need and is never cleared: the reader writes every key a zone
// looks at, so the next image reuses it as it is.
class KeyBuffer
{
public:
    // At least `count` keys; what was there before may be gone.
    quint16 *reserve(size_t count);
    quint16 *data() const { return m_keys.get(); }

private:
    struct Free
    {
        void operator()(quint16 *keys) const;
    };
    static quint16 *allocate(size_t count);

    std::unique_ptr<quint16[], Free> m_keys;
    size_t m_capacity = 0;
};
