// Colour mapping: the tree of what can be coloured in each open survey, the palette editor and
// palette files, and the safety-contour band in a survey's depth colour map.
#include "OrlexViewer/OrlexViewer.h"

#include "OrlexViewer/ColorMap.h"
#include "OrlexViewer/ColorMapDialog.h"
#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewerPrivate.h"
#include "OrlexViewer/Prompter.h"
#include "OrlexViewer/ShipModel.h"

#include "Common/CorvPaths.h"
#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QModelIndex>
#include <QSaveFile>
#include <QStandardItemModel>

#include <algorithm>

using orlex_viewer_detail::viewerLogger;

namespace {

enum ColorMappingRole {
    SurveyRole = Qt::UserRole + 1,
    TargetRole = Qt::UserRole + 2,
    KindRole = Qt::UserRole + 3,
    AttributeRole = Qt::UserRole + 4,
};

enum ColorKind { DepthKind = 0, ScalarKind = 1, StaticKind = 2 };

const char* const s_szPaletteFilter = "Palettes (*.pal)";

// The safety-contour band: one for the whole process, as the runtime reports one depth.
bool s_bSafetyBandPresent = false;
int s_nSafetyBandPosition = 0;

QStandardItem* item(const QString& strText, int nRole, int nValue)
{
    auto* poItem = new QStandardItem(strText);
    poItem->setData(nValue, nRole);
    return poItem;
}

QStandardItem* kindItem(const QString& strText, int nKind)
{
    return item(strText, KindRole, nKind);
}

void addAttributes(QStandardItem* poParent, const QList<GridPropertyInfo>& lstAttributes)
{
    for (int i = 0; i < lstAttributes.size(); ++i)
        poParent->appendRow(item(lstAttributes.at(i).name, AttributeRole, i));
}

QString paletteFolder()
{
    return platform::toNativePath(programDataPath());
}

void warn(const QString& strText)
{
    LOG4CPLUS_WARN(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer - WARNING : ") << strText.toStdString());
}

} // namespace

QStandardItemModel* COrlexViewer::getColorMappingModel()
{
    m_pColorMappingModel->clear();
    if (!m_pDataManager)
        return m_pColorMappingModel;
    for (const QString& strName : m_pDataManager->getSurveys()) {
        COrlexGrid* poGrid = m_pDataManager->getSurvey(strName);
        auto* poSurvey = new QStandardItem(strName);
        poSurvey->setData(strName, SurveyRole);
        poSurvey->setFlags(Qt::ItemIsEnabled);

        auto* poGridTarget = item(QStringLiteral("Grid"), TargetRole, 0);
        poGridTarget->appendRow(kindItem(QStringLiteral("Static"), StaticKind));
        poGridTarget->appendRow(kindItem(QStringLiteral("Depth"), DepthKind));
        const QList<GridPropertyInfo> lstCells = poGrid ? poGrid->getGridAttributes() : QList<GridPropertyInfo>();
        if (!lstCells.isEmpty()) {
            auto* poScalar = kindItem(QStringLiteral("Scalar Value"), ScalarKind);
            addAttributes(poScalar, lstCells);
            poGridTarget->appendRow(poScalar);
        }
        poSurvey->appendRow(poGridTarget);

        auto* poText = item(QStringLiteral("Text"), TargetRole, 1);
        poText->appendRow(kindItem(QStringLiteral("Static"), StaticKind));
        poText->appendRow(kindItem(QStringLiteral("Depth"), DepthKind));
        poSurvey->appendRow(poText);

        auto* poPoints = item(QStringLiteral("Process Points"), TargetRole, 2);
        poPoints->appendRow(kindItem(QStringLiteral("Static"), StaticKind));
        poPoints->appendRow(kindItem(QStringLiteral("Depth"), DepthKind));
        auto* poPointScalar = kindItem(QStringLiteral("Scalar Value"), ScalarKind);
        addAttributes(poPointScalar, poGrid ? poGrid->getPointAttributes() : QList<GridPropertyInfo>());
        poPoints->appendRow(poPointScalar);
        poSurvey->appendRow(poPoints);

        auto* poContours = item(QStringLiteral("Contour Lines"), TargetRole, 3);
        poContours->appendRow(kindItem(QStringLiteral("Static"), StaticKind));
        poContours->appendRow(kindItem(QStringLiteral("Depth"), DepthKind));
        poSurvey->appendRow(poContours);

        m_pColorMappingModel->invisibleRootItem()->appendRow(poSurvey);
    }
    return m_pColorMappingModel;
}

void COrlexViewer::openColorMap(const QModelIndex& oIndex, int nOpenDialog)
{
    if (!m_pDataManager || !m_pColorMappingModel || oIndex.model() != m_pColorMappingModel)
        return;
    QStandardItem* poItem = m_pColorMappingModel->itemFromIndex(oIndex);
    if (!poItem)
        return;
    // The row's path below its survey names the layer the dialog edits.
    QStringList lstLayer;
    for (QStandardItem* poRow = poItem; poRow && !poRow->data(SurveyRole).isValid(); poRow = poRow->parent())
        lstLayer.prepend(poRow->text());
    int nAttribute = 0;
    if (poItem->data(AttributeRole).isValid()) {
        nAttribute = poItem->data(AttributeRole).toInt();
        poItem = poItem->parent();
    }
    if (!poItem || !poItem->data(KindRole).isValid())
        return;
    const int nKind = poItem->data(KindRole).toInt();
    QStandardItem* poTarget = poItem->parent();
    if (!poTarget || !poTarget->data(TargetRole).isValid())
        return;
    const int nTarget = poTarget->data(TargetRole).toInt();
    if (!poTarget->parent() || !poTarget->parent()->data(SurveyRole).isValid())
        return;

    ColorMap* poLastMap = nullptr;
    for (const QString& strName : m_pDataManager->getSurveys()) {
        COrlexGrid* poGrid = m_pDataManager->getSurvey(strName);
        if (!poGrid)
            continue;
        ColorMap* poMap = poGrid->getColorMap(nTarget, nKind, nAttribute);
        if (!poMap)
            continue;
        poLastMap = poMap;
        if (!nOpenDialog) {
            poMap->setStatic(nKind == StaticKind);
            poGrid->setColorMap(poMap, nKind, nTarget, nAttribute);
            continue;
        }
        // The dialog edits a copy; the grid's map changes only when the dialog is accepted.
        // The values the layer holds, where the viewer has reported them; else the map's own range.
        double dDataMin = poMap->getMin();
        double dDataMax = poMap->getMax();
        poGrid->getSlotDataRange(nKind, nAttribute, dDataMin, dDataMax);
        m_pColorMapDialog->setDataRange(dDataMin, dDataMax);
        m_pColorMapDialog->setWindowTitle(
            tr("Colour Setup - %1: %2").arg(QDir(strName).dirName(), lstLayer.join(QStringLiteral(" / "))));
        m_pColorMapDialog->setGradient(poMap);
        m_pColorMapDialog->getGradient()->setStatic(nKind == StaticKind);
        if (m_pColorMapDialog->exec() != QDialog::Accepted)
            continue;
        // The survey may have been closed while the dialog was open.
        if (m_pDataManager->getSurvey(strName) != poGrid)
            continue;
        poGrid->setColorMap(m_pColorMapDialog->getGradient(), nKind, nTarget, nAttribute);
        poLastMap = poGrid->getColorMap(nTarget, nKind, nAttribute);
    }
    if (m_pShipModel && poLastMap)
        m_pShipModel->applyTailColorMap(poLastMap, nKind);
}

void COrlexViewer::loadColorMap()
{
    const QString strFile = CPrompter::current().openFileName(nullptr, tr("Palette file"), paletteFolder(),
                                                                QLatin1String(s_szPaletteFilter));
    if (strFile.isEmpty())
        return;
    QFile oFile(strFile);
    if (!oFile.open(QIODevice::ReadOnly)) {
        warn(QStringLiteral("cannot read the palette file %1").arg(strFile));
        return;
    }
    const QByteArray baPalette = oFile.readAll();
    oFile.close();
    ColorMap* poGradient = m_pColorMapDialog->getGradient();
    QString strError;
    if (!poGradient->load(baPalette, &strError)) {
        warn(QStringLiteral("palette file %1 refused: %2").arg(strFile, strError));
        CPrompter::current().warning(m_pColorMapDialog, tr("Palette file"),
                                     tr("%1 cannot be used: %2").arg(QDir::toNativeSeparators(strFile), strError),
                                     QMessageBox::Ok);
        return;
    }
    m_pColorMapDialog->setGradient(poGradient);
}

void COrlexViewer::saveColorMap()
{
    const QByteArray baPalette = m_pColorMapDialog->getGradient()->save();
    const QString strFile = CPrompter::current().saveFileName(nullptr, tr("Palette file"), paletteFolder(),
                                                                QLatin1String(s_szPaletteFilter));
    if (strFile.isEmpty())
        return;
    QSaveFile oFile(strFile);
    if (!oFile.open(QIODevice::WriteOnly) || oFile.write(baPalette) != baPalette.size() || !oFile.commit()) {
        warn(QStringLiteral("cannot write the palette file %1: %2").arg(strFile, oFile.errorString()));
        CPrompter::current().warning(m_pColorMapDialog, tr("Palette file"),
                                     tr("%1 could not be written: %2").arg(QDir::toNativeSeparators(strFile), oFile.errorString()),
                                     QMessageBox::Ok);
    }
}

void COrlexViewer::setSafetyContour(const QString& strSurveyPath, float fDepth, const QColor& oColour, bool bRemove)
{
    COrlexGrid* poGrid = m_pDataManager ? m_pDataManager->getSurvey(strSurveyPath) : nullptr;
    if (!poGrid)
        return;
    ColorMap* poMap = poGrid->getColorMap(0, DepthKind, 0);
    if (!poMap)
        return;
    QVariantList starts = poMap->startList();
    QVariantList stops = poMap->stopList();
    QVariantList colours = poMap->colorList();
    // The band position is only trusted while all three lists still reach it.
    const bool bBandThere = s_bSafetyBandPresent && s_nSafetyBandPosition >= 0 && s_nSafetyBandPosition < starts.size()
                            && s_nSafetyBandPosition < stops.size() && s_nSafetyBandPosition < colours.size();
    if (bRemove) {
        if (bBandThere) {
            starts.removeAt(s_nSafetyBandPosition);
            stops.removeAt(s_nSafetyBandPosition);
            colours.removeAt(s_nSafetyBandPosition);
        }
        s_bSafetyBandPresent = false;
    } else if (bBandThere) {
        starts[s_nSafetyBandPosition] = QVariant(0);
        stops[s_nSafetyBandPosition] = QVariant(fDepth);
        colours[s_nSafetyBandPosition] = QVariant(oColour);
    } else {
        // Equal lengths first, so the new band's entries stand at one position in all three.
        const int nBands = std::min({starts.size(), stops.size(), colours.size()});
        starts = starts.mid(0, nBands);
        stops = stops.mid(0, nBands);
        colours = colours.mid(0, nBands);
        starts.append(QVariant(0));
        stops.append(QVariant(fDepth));
        colours.append(QVariant(oColour));
        s_nSafetyBandPosition = colours.size() - 1;
        s_bSafetyBandPresent = true;
    }
    poMap->setStartList(starts);
    poMap->setStopList(stops);
    poMap->setColorList(colours);
    poGrid->setColorMap(poMap, DepthKind, 0, 0);
}
