// Sends the "PTBWR" (bearing and distance to a waypoint) and "PTWPL" (waypoint location)
// sentences over UDP to the navigation equipment named by the token "ROZOVED_CSI2_IPADDR".
#pragma once

#include <QtGlobal>

#include <memory>
#include <string>

class QHostAddress;
class QUdpSocket;

class CWaypointSentenceSender {
public:
    // Reads "host:port" from the token; without a usable destination nothing is ever sent.
    CWaypointSentenceSender();
    ~CWaypointSentenceSender();
    CWaypointSentenceSender(const CWaypointSentenceSender&) = delete;
    CWaypointSentenceSender& operator=(const CWaypointSentenceSender&) = delete;

    // nTime: seconds since 1970 (0: no time field); distance in nautical miles.
    void sendBearingToWaypoint(quint32 nTime, double dLatitude, double dLongitude, double dBearing,
                               double dDistanceNm, const std::string& strWaypointId);
    void sendWaypointLocation(double dLatitude, double dLongitude);

    bool isEnabled() const { return m_poSocket != nullptr; }

private:
    void sendSentence(const char* szBody, int nBodyLength);

    std::unique_ptr<QUdpSocket> m_poSocket;
    std::unique_ptr<QHostAddress> m_poAddress;
    quint16 m_nPort = 0;
};
