// A fixed-capacity ring of owned records that overwrites its oldest record when full.
#pragma once

#include <memory>
#include <vector>

template <typename T>
class CRtdRingBuffer
{
public:
    // A capacity of 0 counts as 1.
    explicit CRtdRingBuffer(unsigned nCapacity) : m_nCapacity(nCapacity ? nCapacity : 1), m_slots(m_nCapacity) {}
    virtual ~CRtdRingBuffer() = default;
    CRtdRingBuffer(const CRtdRingBuffer&) = delete;
    CRtdRingBuffer& operator=(const CRtdRingBuffer&) = delete;

    unsigned capacity() const { return m_nCapacity; }
    unsigned size() const { return m_nSize; }
    unsigned newest() const { return m_nNewest; }
    unsigned oldest() const { return m_nOldest; }
    // The record in a slot; null for an empty slot or an index beyond the capacity.
    const T* slot(unsigned nIndex) const { return nIndex < m_nCapacity ? m_slots[nIndex].get() : nullptr; }
    // The record at a logical position (0 the oldest); null beyond the size.
    const T* at(unsigned nPosition) const
    {
        return nPosition < m_nSize ? m_slots[(m_nOldest + nPosition) % m_nCapacity].get() : nullptr;
    }

protected:
    // Makes room for one more record and returns it, all fields cleared: a new record while the
    // ring is not full, else the oldest one, which becomes the newest.
    T& push()
    {
        if (m_nSize == m_nCapacity) {
            m_nOldest = (m_nOldest + 1) % m_nCapacity;
            m_nNewest = (m_nNewest + 1) % m_nCapacity;
            T& record = *m_slots[m_nNewest];
            record.clear();
            return record;
        }
        if (m_nSize != 0)
            m_nNewest = (m_nNewest + 1) % m_nCapacity;
        ++m_nSize;
        m_slots[m_nNewest] = std::make_unique<T>();
        return *m_slots[m_nNewest];
    }

    // Deletes every record.
    void clearRing()
    {
        for (unsigned n = 0; n < m_nSize; ++n)
            m_slots[n].reset();
        m_nSize = 0;
        m_nNewest = 0;
        m_nOldest = 0;
    }

private:
    const unsigned m_nCapacity;
    unsigned m_nSize = 0;
    unsigned m_nNewest = 0;
    unsigned m_nOldest = 0;
    std::vector<std::unique_ptr<T>> m_slots;
};
