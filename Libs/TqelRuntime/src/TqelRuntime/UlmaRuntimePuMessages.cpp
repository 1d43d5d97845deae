// Processing-unit messages: each "$TVQEL,470" sentence becomes a row of the message table (changed
// on the table's own thread), the last message of each source is kept, and the main window hears
// of them through relays 470 and 471.
#include "TqelRuntime/UlmaRuntime.h"

#include "TqelRuntime/PuMsgModel.h"
#include "TqelRuntime/TvqelDatagram.h"
#include "TqelRuntime/UlmaRuntimeLive.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <QDateTime>
#include <QTimer>

#include <cstdlib>
#include <string>

namespace {

const log4cplus::Logger& runtimeLogger()
{
    static const log4cplus::Logger oLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CUlmaRuntime"));
    return oLogger;
}

// A source's message is not cached again for this long.
constexpr int SourceHoldMs = 5000;

QString fieldText(CTvqelDatagram& oSentence, int nIndex)
{
    std::string strField;
    oSentence.getString(nIndex, strField);
    return QString::fromLatin1(strField.c_str(), static_cast<int>(strField.size()));
}

} // namespace

void live_detail::PuThreadStopper::operator()(QThread* poThread) const
{
    poThread->quit();
    poThread->wait();
    delete poThread;
}

CLiveLinkState::CLiveLinkState() : fnNowMs([] { return QDateTime::currentMSecsSinceEpoch(); }) {}

CLiveLinkState::~CLiveLinkState() = default;

void CLiveLinkDeleter::operator()(CLiveLinkState* poState) const
{
    delete poState;
}

void CUlmaRuntime::setClock(std::function<qint64()> fnNowMs)
{
    m_poLive->fnNowMs = std::move(fnNowMs);
}

CPuMsgModel* CUlmaRuntime::puMsgModel()
{
    if (!m_poLive->poPuModel) {
        // One thread for the life of the link changes the table, message after message.
        m_poLive->poPuModel = std::make_unique<CPuMsgModel>();
        m_poLive->poPuThread.reset(new QThread);
        m_poLive->poPuThread->setObjectName(QStringLiteral("PuMessages"));
        m_poLive->poPuModel->moveToThread(m_poLive->poPuThread.get());
        m_poLive->poPuThread->start();
    }
    return m_poLive->poPuModel.get();
}

void CUlmaRuntime::processTVQEL470(const QByteArray& baSentence)
{
    CTvqelDatagram oSentence(baSentence.constData(), false);
    if (!oSentence.isValid())
        LOG4CPLUS_WARN(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::processTVQEL470 - invalid datagram"));

    const QString strSource = fieldText(oSentence, 2);
    CPuMsg oMsg;
    std::string strTime;
    oSentence.getString(3, strTime);
    oMsg.time = std::strtoll(strTime.c_str(), nullptr, 10);
    bool bNumber = false;
    oMsg.type = fieldText(oSentence, 4).toInt(&bNumber, 10);
    if (!bNumber)
        oMsg.type = 0;
    oMsg.text = fieldText(oSentence, 5);
    oMsg.detail = fieldText(oSentence, 6);

    CPuMsgModel* poModel = puMsgModel();
    QMetaObject::invokeMethod(poModel, [poModel, oMsg] { poModel->append(oMsg); }, Qt::QueuedConnection);

    CLiveLinkState& oLive = *m_poLive;
    if (oMsg.type > 3 && strSource != oLive.strLastPuSource) {
        if (oLive.hashPuCache.contains(strSource) || oLive.hashPuCache.size() < live_detail::MaxCachedPuSources) {
            oLive.hashPuCache.insert(strSource, baSentence);
        } else if (!oLive.bPuCacheWarned) {
            oLive.bPuCacheWarned = true;
            LOG4CPLUS_WARN(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::processTVQEL470 - too many message sources, new ones are not kept"));
        }
        oLive.strLastPuSource = strSource;
        // Only the timer of the newest cached message clears the source.
        const quint64 nStamp = ++oLive.nLastPuSourceStamp;
        QTimer::singleShot(SourceHoldMs, this, [this, nStamp] {
            if (m_poLive->nLastPuSourceStamp == nStamp)
                m_poLive->strLastPuSource.clear();
        });
        if (!oLive.bPuRelayed) {
            oLive.bPuRelayed = true;
            emit relayToMapView(470, QStringList{QString::number(oMsg.type), oMsg.text, oMsg.detail, strSource}.join(QLatin1Char(';')));
        }
    }
    emit relayToMapView(471, QString::number(oMsg.type) + QLatin1Char(';') + oMsg.detail);
}

void CUlmaRuntime::forgetPuSource(const QString& strArgs)
{
    CLiveLinkState& oLive = *m_poLive;
    oLive.bPuRelayed = false;
    const int nEquals = strArgs.indexOf(QLatin1Char('='));
    const QString strSource = strArgs.section(QLatin1Char(','), 0, 0).mid(nEquals + 1);
    oLive.hashPuCache.remove(strSource);
    if (!oLive.hashPuCache.isEmpty()) {
        const QByteArray baCached = oLive.hashPuCache.cbegin().value(); // the handler changes the cache
        processTVQEL470(baCached);
    }
}
