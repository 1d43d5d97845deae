// The vessel's recent marked position datagrams and the speed and course over ground estimated
// from the fixes of the last five seconds.
#pragma once

#include <memory>

class CRtdPositionBuffer;

class CShipPositionHistory
{
public:
    CShipPositionHistory();
    ~CShipPositionHistory();
    CShipPositionHistory(const CShipPositionHistory&) = delete;
    CShipPositionHistory& operator=(const CShipPositionHistory&) = delete;

    // Stores the datagram unless its time field repeats the last one stored in the process.
    void store(const char* pDatagram, long nLength);
    // Recomputes course and speed from the buffer.
    void updateSpeedAndCourse();
    // Course (degrees from north), speed (m/s) and the course vector's length (m).
    void getMotion(float& fCourse, float& fSpeed, float& fVectorLength) const;
    // How far ahead the course vector looks, seconds.
    void setVectorTimeSpan(int nSeconds) { m_nVectorTimeSpan = nSeconds; }

    CRtdPositionBuffer& buffer() { return *m_pBuffer; }

private:
    float m_fCourse = 0;
    float m_fSpeed = 0;
    int m_nVectorTimeSpan = 60;
    std::unique_ptr<CRtdPositionBuffer> m_pBuffer;
};
