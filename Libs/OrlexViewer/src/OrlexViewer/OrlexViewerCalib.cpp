// Calibration lines: calibration mode, the track-line list dialog and the start of a calibration
// on the picked track lines and the drawn cross line.
#include "OrlexViewer/OrlexViewer.h"

#include "OrlexViewer/CalLinesDlg.h"
#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewerPrivate.h"
#include "OrlexViewer/Prompter.h"

#include <QDir>
#include <QListWidget>

namespace O = ::Tavrin::Dremm::Orlex;
using orlex_viewer_detail::viewerLogger;

namespace {

// "<last name component> - hdg/spd <heading>/<speed>".
QString calLineItemText(const TrackLineInfo& line)
{
    return QStringLiteral("%1 - hdg/spd %2/%3")
        .arg(QDir(line.name).dirName())
        .arg(line.heading)
        .arg(static_cast<double>(line.speed) / 100.0, 0, 'g', 6);
}

} // namespace

void COrlexViewer::toggleCalibMode(bool bOn)
{
    m_bCalibMode = bOn;
    COrlexGrid* pActive = m_pDataManager ? m_pDataManager->getActiveSurvey() : nullptr;
    if (bOn) {
        selectCalLines();
    } else {
        if (pActive) {
            for (auto& [nId, info] : m_objects)
                if (info.kind == 2 && info.highlighted) {
                    setLineHighlight(nId, false, pActive->getTrackLineColor(), pActive->getTrackLineWidth());
                    info.highlighted = false;
                }
        }
        emit stopCalib();
    }
    m_bCalibActive = bOn;
    sendInteractionMode(1);
    if (!bOn) {
        if (m_nDrawLineId != 0) {
            O::DestroyObjectMessage destroy;
            destroy.Id = m_nDrawLineId;
            send(destroy);
            m_nDrawLineId = 0;
        }
        removeCorridor();
    }
    updateModeLabel(bOn, 1);
}

void COrlexViewer::selectCalLines()
{
    COrlexGrid* pActive = m_pDataManager ? m_pDataManager->getActiveSurvey() : nullptr;
    if (!pActive)
        return;
    const std::vector<TrackLineInfo> lines = pActive->trackLines();
    if (!m_pCalLinesDlg) {
        m_pCalLinesDlg = new CCalLinesDlg();
        connect(m_pCalLinesDlg->lineList(), &QListWidget::itemSelectionChanged, this, &COrlexViewer::selectCalLineItem);
    }
    QListWidget* pList = m_pCalLinesDlg->lineList();
    {
        // Refilling is no selection by the operator.
        const QSignalBlocker blocker(pList);
        pList->clear();
        for (const TrackLineInfo& line : lines)
            pList->addItem(calLineItemText(line));
    }
    m_pCalLinesDlg->show();
}

void COrlexViewer::selectCalLineItem()
{
    COrlexGrid* pActive = m_pDataManager ? m_pDataManager->getActiveSurvey() : nullptr;
    if (!pActive || !m_pCalLinesDlg)
        return;
    const QColor oColor = pActive->getTrackLineColor();
    const int nWidth = pActive->getTrackLineWidth();
    for (auto& [nId, info] : m_objects)
        if (info.kind == 2 && info.highlighted) {
            setLineHighlight(nId, false, oColor, nWidth);
            info.highlighted = false;
        }
    for (const QListWidgetItem* pItem : m_pCalLinesDlg->lineList()->selectedItems()) {
        const QString strName = pItem->text().section(QLatin1Char(' '), 0, 0);
        LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("Selected ") << strName.toStdString());
        const std::uint64_t nId = pActive->findTrackLineId(strName);
        const auto it = m_objects.find(nId);
        if (nId == 0 || it == m_objects.end())
            continue;
        it->second.highlighted = true;
        setLineHighlight(nId, true, oColor, nWidth);
    }
}

void COrlexViewer::calibTriggered(bool)
{
    LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("Calib triggered"));
    sendInteractionMode(1);
    COrlexGrid* pActive = m_pDataManager ? m_pDataManager->getActiveSurvey() : nullptr;
    if (!pActive)
        return;
    QStringList names;
    for (const auto& [nId, info] : m_objects) {
        if (info.kind != 2 || !info.highlighted)
            continue;
        int nHeading = 0;
        int nSpeed = 0;
        names << QDir(pActive->getTrackLineInfo(nId, nHeading, nSpeed)).dirName();
    }
    if (names.size() < 2) {
        CPrompter::current().information(nullptr, QStringLiteral("Calibrate"),
                                         QStringLiteral("Select at least 2 lines to calibrate on"));
        return;
    }
    if (m_planPoints.size() <= 1)
        return;
    const PositionData& first = m_planPoints.front();
    const PositionData& last = m_planPoints.back();
    QPoint oFrom(static_cast<int>(first.X * 100.0), static_cast<int>(first.Y * 100.0));
    QPoint oTo(static_cast<int>(last.X * 100.0), static_cast<int>(last.Y * 100.0));
    emit startCalib(names, oFrom, oTo);
    LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("Calib lines ") << names.join(QLatin1Char(',')).toStdString());
}
