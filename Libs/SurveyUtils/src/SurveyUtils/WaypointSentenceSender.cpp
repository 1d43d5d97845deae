#include "SurveyUtils/WaypointSentenceSender.h"

#include "SurveyUtils/Navigation.h"

#include "Common/GetToken.h"

#include <QHostAddress>
#include <QStringList>
#include <QUdpSocket>
#include <QtDebug>

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

// The framed sentence, "$" to LF, fits a buffer of this many bytes with its terminating NUL.
constexpr int kSentenceBufferSize = 208;
// "$", "*", two checksum digits, CR and LF around the body.
constexpr int kFrameOverhead = 6;
constexpr int kMaxTokenLength = 249;

// ddmm.mmmm of the absolute values; the sign goes into the hemisphere letter.
struct PackedPosition {
    double dLatitude = 0.0;
    double dLongitude = 0.0;
    char cNorthSouth = 'N';
    char cEastWest = 'E';
};

PackedPosition packedPosition(double dLatitude, double dLongitude)
{
    PackedPosition oPacked;
    degreesToDdmm(std::fabs(dLatitude), std::fabs(dLongitude), &oPacked.dLatitude, &oPacked.dLongitude);
    oPacked.cNorthSouth = dLatitude >= 0.0 ? 'N' : 'S';
    oPacked.cEastWest = dLongitude >= 0.0 ? 'E' : 'W';
    return oPacked;
}

QString destinationText()
{
    TokenRecord oRecord;
    if (g_getToken.get_token_value("ROZOVED_CSI2_IPADDR", &oRecord) != 0 || oRecord.type != 3)
        return QString();
    if (oRecord.stringValue.size() > static_cast<size_t>(kMaxTokenLength)) {
        qWarning("CWaypointSentenceSender::CWaypointSentenceSender - WARNING ROZOVED_CSI2_IPADDR is longer than %d "
                 "characters; no sentences are sent",
                 kMaxTokenLength);
        return QString();
    }
    return QString::fromLocal8Bit(oRecord.stringValue.c_str());
}

} // namespace

CWaypointSentenceSender::CWaypointSentenceSender()
{
    const QString strDestination = destinationText();
    if (strDestination.isEmpty())
        return;
    const QStringList lstParts = strDestination.split(QLatin1Char(':'));
    QHostAddress oAddress;
    bool bPort = false;
    const quint16 nPort = lstParts.size() >= 2 ? lstParts.at(1).trimmed().toUShort(&bPort, 10) : 0;
    if (!oAddress.setAddress(lstParts.at(0).trimmed()) || !bPort || nPort == 0) {
        qWarning().noquote() << QStringLiteral("CWaypointSentenceSender::CWaypointSentenceSender - WARNING "
                                               "ROZOVED_CSI2_IPADDR \"%1\" is not an address and port "
                                               "(host:port); no sentences are sent")
                                    .arg(strDestination);
        return;
    }
    m_poSocket = std::make_unique<QUdpSocket>();
    m_poAddress = std::make_unique<QHostAddress>(oAddress);
    m_nPort = nPort;
}

CWaypointSentenceSender::~CWaypointSentenceSender() = default;

void CWaypointSentenceSender::sendBearingToWaypoint(quint32 nTime, double dLatitude, double dLongitude,
                                                    double dBearing, double dDistanceNm,
                                                    const std::string& strWaypointId)
{
    if (!m_poSocket)
        return;
    if (!std::isfinite(dLatitude) || !std::isfinite(dLongitude) || !std::isfinite(dBearing)
        || !std::isfinite(dDistanceNm)) {
        qWarning("CWaypointSentenceSender::sendBearingToWaypoint - WARNING position, bearing or distance is not a "
                 "number; not sent");
        return;
    }
    char szTime[32] = "";
    if (nTime != 0) {
        const std::time_t nSeconds = static_cast<std::time_t>(nTime);
        std::tm oLocal{};
        if (localtime_r(&nSeconds, &oLocal))
            std::snprintf(szTime, sizeof(szTime), "%02d%02d%02d.%03d", oLocal.tm_hour, oLocal.tm_min, oLocal.tm_sec, 0);
    }
    const PackedPosition oPacked = packedPosition(dLatitude, dLongitude);
    char szBody[kSentenceBufferSize];
    const int nLength = std::snprintf(szBody, sizeof(szBody), "PTBWR,%s,%011.6f,%c,%012.6f,%c,%.2f,T,0.0,M,%.4f,N,%s,M",
                                      szTime, oPacked.dLatitude, oPacked.cNorthSouth, oPacked.dLongitude,
                                      oPacked.cEastWest, dBearing, dDistanceNm, strWaypointId.c_str());
    sendSentence(szBody, nLength);
}

void CWaypointSentenceSender::sendWaypointLocation(double dLatitude, double dLongitude)
{
    if (!m_poSocket)
        return;
    if (!std::isfinite(dLatitude) || !std::isfinite(dLongitude)) {
        qWarning("CWaypointSentenceSender::sendWaypointLocation - WARNING position is not a number; not sent");
        return;
    }
    const PackedPosition oPacked = packedPosition(dLatitude, dLongitude);
    char szBody[kSentenceBufferSize];
    const int nLength = std::snprintf(szBody, sizeof(szBody), "PTWPL,%011.6f,%c,%012.6f,%c,WP1", oPacked.dLatitude,
                                      oPacked.cNorthSouth, oPacked.dLongitude, oPacked.cEastWest);
    sendSentence(szBody, nLength);
}

void CWaypointSentenceSender::sendSentence(const char* szBody, int nBodyLength)
{
    if (nBodyLength < 0 || nBodyLength + kFrameOverhead > kSentenceBufferSize - 1) {
        qWarning("CWaypointSentenceSender::sendSentence - WARNING sentence longer than %d characters; not sent",
                 kSentenceBufferSize - 1);
        return;
    }
    unsigned char nChecksum = 0;
    for (int i = 0; i < nBodyLength; ++i)
        nChecksum ^= static_cast<unsigned char>(szBody[i]);
    char szFrame[kSentenceBufferSize];
    const int nFrameLength = std::snprintf(szFrame, sizeof(szFrame), "$%s*%02X\r\n", szBody, nChecksum);
    m_poSocket->writeDatagram(szFrame, nFrameLength, *m_poAddress, m_nPort);
}
