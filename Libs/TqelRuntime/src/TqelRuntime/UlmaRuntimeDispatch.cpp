// Dispatch of the datagrams on the control socket, and the small handlers that live with it:
// synchronisation-unit status, GGA positions, simulated single-beam soundings, QA control
// datagrams with their projection text, and the main station's plan file.
#include "TqelRuntime/UlmaRuntime.h"

#include "Common/CorvPaths.h"
#include "Common/GetToken.h"
#include "MapView/QaDatagram.h"
#include "Projection/QelProjection.h"
#include "SurveyUtils/Navigation.h"
#include "SurveyUtils/SurveyData.h"
#include "TqelRuntime/RuntimeGuiSink.h"
#include "TqelRuntime/RuntimeText.h"
#include "TqelRuntime/TvqelDatagram.h"
#include "platform/paths.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimer>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

using namespace runtime_text;

namespace {

const log4cplus::Logger& runtimeLogger()
{
    static const log4cplus::Logger oLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CUlmaRuntime"));
    return oLogger;
}

// The first "$GUICONF" of the process waits this long for the rest of the station to start.
constexpr int FirstGuiConfDelayMs = 2000;
constexpr int PulsorSlots = 7;
const QLatin1String s_strNotInUse("Not in use");
const QByteArray s_baProjectionWord("CVN_PROJECTION");
// The projection text follows "$PQQEL", a comma, "CVN_PROJECTION" and a comma.
constexpr int ProjectionTextOffset = 22;

// A number of the sentence, or false when the field is missing or not a number.
bool readNumber(CTvqelDatagram& oSentence, int nIndex, double& dValue)
{
    std::string strField;
    if (oSentence.getString(nIndex, strField))
        return false;
    const char* szStart = strField.c_str();
    char* szEnd = nullptr;
    dValue = std::strtod(szStart, &szEnd);
    return szEnd != szStart && std::isfinite(dValue);
}

bool fitsInt(double dValue)
{
    return std::isfinite(dValue) && dValue > std::numeric_limits<int>::min() && dValue < std::numeric_limits<int>::max();
}

QString dataFolderFile(const char* szName)
{
    return programDataPath() + QLatin1Char('/') + QLatin1String(szName);
}

// The drive letter of a path from the main station replaced by the CORV_GRID_PATH token when it
// is one character long.
QString replaceDrive(QString strPath)
{
    const std::string strToken = g_getToken.getTokValueStr("CORV_GRID_PATH");
    qDebug().noquote() << "Replace drive with " + QString::fromLocal8Bit(strToken.c_str());
    if (strToken.size() == 1 && !strPath.isEmpty())
        strPath[0] = QLatin1Char(strToken[0]);
    return strPath;
}

QString gridDataRoot()
{
    CSurveyData oData;
    return QString::fromStdString(oData.getGridDataRoot());
}

} // namespace

void CUlmaRuntime::processCtrlDatagrams(QByteArray& baDatagram, const QString& strSender)
{
    try {
        if (baDatagram.size() >= 2 && baDatagram.at(0) == '\x02' && baDatagram.at(1) == 'Q') {
            processShipPosition(baDatagram, strSender);
        } else if (baDatagram.startsWith("$TVQEL")) {
            processUlmaExecDatagrams(baDatagram, strSender);
        } else if (talkerHas(baDatagram, "TVQ", 3)) {
            processPulsorStatus(baDatagram);
        } else if (talkerHas(baDatagram, "GGA", 1)) {
            processGgaSentence(baDatagram);
        } else if (baDatagram.startsWith("$GUICONF")) {
            if (!m_bGuiConfSeen) {
                // The first configuration waits on a timer; the thread goes on reading.
                m_bGuiConfSeen = true;
                m_bGuiConfWaiting = true;
                m_lstWaitingGuiConf << baDatagram;
                QTimer::singleShot(FirstGuiConfDelayMs, this, [this] {
                    m_bGuiConfWaiting = false;
                    const QList<QByteArray> lstWaiting = std::exchange(m_lstWaitingGuiConf, {});
                    for (const QByteArray& baWaiting : lstWaiting)
                        processGUISetup(baWaiting);
                });
            } else if (m_bGuiConfWaiting) {
                m_lstWaitingGuiConf << baDatagram;
            } else {
                processGUISetup(baDatagram);
            }
        } else if (baDatagram.startsWith("$ACTVESS")) {
            emit relayToMapView(499, QString::fromLatin1(baDatagram));
        } else if (baDatagram.startsWith("$PSIMSSB")) {
            processSimulatedSingleBeam(baDatagram);
        } else if (baDatagram.startsWith("$PQQEL")) {
            processQaDatagram(baDatagram);
        } else if (baDatagram.startsWith("$QELPLANFILE")) {
            const QString strPlan = programDataPath() + QStringLiteral("/plans/_remote.asciiplan");
            if (QFileInfo::exists(platform::toNativePath(strPlan)))
                m_poGuiSink->openPlanJob(strPlan);
        }
    } catch (const std::exception& oError) {
        const QString strText = QStringLiteral("Exeption in CUlmaRuntime::processCtrlDatagrams ") + QString::fromLocal8Bit(oError.what());
        LOG4CPLUS_FATAL(runtimeLogger(), strText.toLocal8Bit().constData());
        qDebug().noquote() << strText;
    } catch (...) {
        qDebug() << "Exeption in CUlmaRuntime::processCtrlDatagrams";
    }
}

void CUlmaRuntime::processQaDatagram(const QByteArray& baDatagram)
{
    if (m_nMode == 4 && runtimeLogger().isEnabledFor(log4cplus::DEBUG_LOG_LEVEL))
        LOG4CPLUS_DEBUG(runtimeLogger(), baDatagram.constData());

    processQaCommand(baDatagram);
    // Valid or not, a datagram naming the projection carries its text.
    if (baDatagram.contains(s_baProjectionWord))
        applyProjectionText(baDatagram.mid(ProjectionTextOffset));
}

void CUlmaRuntime::processQaCommand(const QByteArray& baDatagram)
{
    const CQaDatagram oDatagram(baDatagram.constData());
    if (!oDatagram.isValid())
        return;
    if (oDatagram.hasChecksum() && !oDatagram.checksumOk()) {
        LOG4CPLUS_WARN(runtimeLogger(), "QA datagram with a wrong checksum dropped");
        return;
    }
    std::string strField;
    auto field = [&oDatagram, &strField](int nIndex) {
        oDatagram.getField(nIndex, strField);
        return strField;
    };
    auto fieldText = [&field](int nIndex) { return QString::fromLatin1(field(nIndex).c_str()); };

    switch (oDatagram.getCommandId()) {
    case 30: { // TVGPL_TGM
        const QString strText = QString::fromLatin1(oDatagram.text().c_str());
        if (strText.contains(QLatin1String("GET_NEW_LINE")))
            m_poGuiSink->addTvgplObject(QStringLiteral("LINE"));
        else if (strText.contains(QLatin1String("GET_NEW_POLYGON")))
            m_poGuiSink->addTvgplObject(QStringLiteral("POLYGON"));
        else if (strText.contains(QLatin1String("GET_SELECTIONS")))
            m_poGuiSink->selectTvgplObjects(strText);
        break;
    }
    case 37: { // CVN_OPEN_GRID
        if (hasRemoteStationClient())
            break;
        const QString strFolder = fieldText(2);
        if (!isBelowRoot(strFolder, {gridDataRoot()})) {
            LOG4CPLUS_WARN(runtimeLogger(), ("Grid folder outside the grid root dropped: " + strFolder).toLocal8Bit().constData());
            break;
        }
        m_poGuiSink->surveyLoadGrid(replaceDrive(peerPath(strFolder)), false);
        break;
    }
    case 38: // CVN_CLOSE_GRID
        m_poGuiSink->closeAllSurveys();
        break;
    case 39: { // CVN_SHOW_PLAN
        if (hasRemoteStationClient())
            break;
        const QString strPlan = fieldText(2);
        if (!isBelowRoot(strPlan, {gridDataRoot(), programDataPath() + QStringLiteral("plans")})) {
            LOG4CPLUS_WARN(runtimeLogger(), ("Plan file outside the plan folders dropped: " + strPlan).toLocal8Bit().constData());
            break;
        }
        m_poGuiSink->openPlanJob(replaceDrive(peerPath(strPlan)));
        break;
    }
    case 40: // CVN_HIDE_PLAN
        m_poGuiSink->openPlanJob(QString());
        break;
    case 41: { // CVN_ACT_LINE
        const int nLine = toInt(field(2));
        if (nLine != -1)
            m_poGuiSink->activatePlanLine(nLine);
        break;
    }
    case 42: // CVN_DEACT_LINE
        m_poGuiSink->activatePlanLine(-1);
        break;
    case 43: // CVN_LOGSTATE
        m_poGuiSink->setLoggingState(toInt(field(2)) != 0);
        break;
    case 45: // DYN_OBJ
        m_poGuiSink->addDynamicObject(fieldText(2), QStringLiteral("%1,%2,%3,%4")
                                                        .arg(fieldText(3), fieldText(4), fieldText(5), fieldText(6)));
        break;
    case 46: // CORR_WIDTH
        m_poGuiSink->setCorridorWidth(toFloat(field(2)));
        break;
    default: // MAP_ROTATION and the keywords of other stations
        break;
    }
}

void CUlmaRuntime::applyProjectionText(const QByteArray& baText)
{
    // One line end of our own: an echo of our own projection then reads as unchanged.
    QByteArray baFile = baText;
    while (!baFile.isEmpty() && (baFile.endsWith('\n') || baFile.endsWith('\r')))
        baFile.chop(1);
    baFile.append('\n');
    const auto writeFile = [&baFile](const QString& strPath) {
        QSaveFile oFile(platform::toNativePath(strPath));
        if (oFile.open(QIODevice::WriteOnly) && oFile.write(baFile) == baFile.size() && oFile.commit())
            return true;
        LOG4CPLUS_WARN(runtimeLogger(), ("Cannot write " + strPath).toLocal8Bit().constData());
        return false;
    };
    // Any datagram naming the projection gets here: a text PROJ cannot use neither replaces
    // "tmpProj.txt", which the view and the planning library read, nor the runtime's projection.
    const QString strTrial = dataFolderFile("tmpProj.trial.txt");
    if (!writeFile(strTrial))
        return;
    QelProj::CProjection oTrial;
    const bool bUsable = oTrial.loadProjectionFile(strTrial.toStdString()) && oTrial.createTransformation() >= 0;
    QFile::remove(platform::toNativePath(strTrial));
    if (!bUsable) {
        LOG4CPLUS_WARN(runtimeLogger(), "Projection text that PROJ cannot use dropped");
        return;
    }
    const QString strPath = dataFolderFile("tmpProj.txt");
    if (!writeFile(strPath) || !m_poProjection)
        return;
    if (!m_poProjection->loadProjectionFile(strPath.toStdString())) {
        // The projection in use already: nothing to pass on.
        return;
    }
    if (m_poProjection->createTransformation() >= 0)
        m_poGuiSink->updateProj(strPath);
}

void CUlmaRuntime::processPulsorStatus(QByteArray& baDatagram)
{
    std::vector<char> aBuffer(static_cast<std::size_t>(baDatagram.size()) + 1, '\0');
    std::memcpy(aBuffer.data(), baDatagram.constData(), static_cast<std::size_t>(baDatagram.size()));
    m_lstPulsorNames.clear();
    const auto paFields = std::make_unique<char[][kSentenceFieldSize]>(kMaxSentenceFields);
    char(*aszFields)[kSentenceFieldSize] = paFields.get();
    int nFields = 0;
    int nUnits = 0;
    bool bFaulty = false;
    if (splitSentenceFields(aBuffer.data(), aszFields, &nFields) != 0) {
        qDebug() << "PULSOR staus message is faulty";
        bFaulty = true;
    } else {
        nUnits = nFields > 1 ? std::atoi(aszFields[1]) : 0;
        if (nUnits < 1 || nUnits > 17 || nFields != 2 * nUnits + 2) {
            qDebug() << "PULSOR staus is faulty";
            bFaulty = true;
        }
    }
    const int nFilled = bFaulty ? 0 : qMin(nUnits, PulsorSlots);
    for (int k = 0; k < nFilled; ++k) {
        m_lstPulsorNames << QString::fromLatin1(aszFields[2 + 2 * k]);
        m_anPulsorStatus[k] = std::atoi(aszFields[3 + 2 * k]);
    }
    for (int k = nFilled; k < PulsorSlots; ++k) {
        m_lstPulsorNames << s_strNotInUse;
        m_anPulsorStatus[k] = -1;
    }
    emit sigUpdatePulsor(m_lstPulsorNames, m_anPulsorStatus);
}

void CUlmaRuntime::processGgaSentence(QByteArray& baDatagram)
{
    CTvqelDatagram oSentence(baDatagram.constData(), true);
    if (!oSentence.isValid())
        return;
    double dLatitude = 0;
    double dLongitude = 0;
    if (!readNumber(oSentence, 2, dLatitude) || !readNumber(oSentence, 4, dLongitude))
        return;
    std::string strHemisphere;
    if (!oSentence.getString(3, strHemisphere) && strHemisphere == "S")
        dLatitude = -dLatitude;
    strHemisphere.clear();
    if (!oSentence.getString(5, strHemisphere) && strHemisphere == "W")
        dLongitude = -dLongitude;
    double dLatDeg = 0;
    double dLonDeg = 0;
    ddmmToDegrees(dLatitude, dLongitude, &dLatDeg, &dLonDeg);
    double dNorth = 0;
    double dEast = 0;
    // A position the projection cannot give is never drawn at (0, 0).
    if (m_poProjection->toProjected(dLatDeg, dLonDeg, dNorth, dEast, true) != 0 || !fitsInt(dNorth) || !fitsInt(dEast))
        return;
    m_poGuiSink->updateVessel(static_cast<int>(dEast), static_cast<int>(dNorth), 0, QStringLiteral("127.0.0.1"));
    m_poGuiSink->moveToVessel(false, 0, 0);
}

void CUlmaRuntime::processSimulatedSingleBeam(QByteArray& baDatagram)
{
    const QList<QByteArray> lstFields = baDatagram.split(',');
    if (lstFields.size() < 11 || lstFields.at(0) != "$PSIMSSB" || lstFields.at(3) != "A" || lstFields.at(5) != "R")
        return;
    const QString strName = QString::fromLatin1(lstFields.at(2));
    const double dLatitude = lstFields.at(8).trimmed().toDouble() * 180.0 / M_PI;
    const double dLongitude = lstFields.at(9).trimmed().toDouble() * 180.0 / M_PI;
    const double dDepth = -lstFields.at(10).trimmed().toDouble();
    qDebug().noquote() << "SSB " + strName + " Lat/lon/Z " + QString::number(dLatitude) + "/" + QString::number(dLongitude) + "/"
                              + QString::number(dDepth);
    const QString strText = QStringLiteral("%1,%2,%3")
                                .arg(dLongitude, 0, 'f', 6)
                                .arg(dLatitude, 0, 'f', 6)
                                .arg(QString::number(dDepth, 'g', QLocale::FloatingPointShortest));
    m_poGuiSink->addDynamicObject(strName, strText);
}
