#include "OrlexViewer/EditObjDlg.h"

#include "Projection/Projection.h"
#include "SurveyUtils/Navigation.h"

#include <QButtonGroup>
#include <QDebug>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

CEditObjDlg::CEditObjDlg(int nPoints) : QDialog(nullptr), m_nPoints(std::max(nPoints, 0))
{
    setWindowTitle(QStringLiteral("Edit object"));
    auto* pLayout = new QHBoxLayout(this);

    auto* pFormats = new QGroupBox(QStringLiteral("Coordinate system"), this);
    auto* pFormatLayout = new QVBoxLayout(pFormats);
    m_pFormatGroup = new QButtonGroup(this);
    const char* const aNames[] = {"DD.MMMMM", "DDMM.SSSS", "ProjCoord"};
    for (int i = 0; i < 3; ++i) {
        auto* pButton = new QRadioButton(QLatin1String(aNames[i]), pFormats);
        pButton->setChecked(i == 2);
        m_pFormatGroup->addButton(pButton, i);
        pFormatLayout->addWidget(pButton);
    }
    pFormatLayout->addStretch();
    connect(m_pFormatGroup, &QButtonGroup::idClicked, this, &CEditObjDlg::onRadio);
    pLayout->addWidget(pFormats);

    auto* pFrame = new QFrame(this);
    auto* pFrameLayout = new QVBoxLayout(pFrame);
    m_pTable = new QTableWidget(m_nPoints, 3, pFrame);
    m_pTable->setHorizontalHeaderLabels({QStringLiteral("East"), QStringLiteral("North"), QStringLiteral("Delete")});
    pFrameLayout->addWidget(m_pTable);
    auto* pAdd = new QPushButton(QStringLiteral("Add"), pFrame);
    connect(pAdd, &QPushButton::clicked, this, &CEditObjDlg::onAddPoint);
    pFrameLayout->addWidget(pAdd);
    pFrameLayout->addWidget(new QLabel(QStringLiteral("Runtime params"), pFrame));
    m_pRuntime = new QPlainTextEdit(pFrame);
    pFrameLayout->addWidget(m_pRuntime);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, pFrame);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CEditObjDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CEditObjDlg::reject);
    pFrameLayout->addWidget(pButtons);
    pLayout->addWidget(pFrame, 1);
}

void CEditObjDlg::fitTable()
{
    m_pTable->resizeRowsToContents();
    m_pTable->resizeColumnsToContents();
    // Wide enough for every column, with room for the vertical scroll bar.
    m_pTable->setMinimumWidth(m_pTable->verticalHeader()->width() + m_pTable->horizontalHeader()->length()
                              + 2 * m_pTable->frameWidth() + m_pTable->verticalScrollBar()->sizeHint().width());
}

void CEditObjDlg::setPoints(std::vector<float>& points, bool bKeepStored)
{
    if (!bKeepStored)
        m_points = points;
    std::vector<double> values(points.begin(), points.end());
    showPairs(values);
}

void CEditObjDlg::showPairs(const std::vector<double>& values)
{
    for (int nRow = 0; nRow < m_nPoints && nRow < m_pTable->rowCount(); ++nRow) {
        const std::size_t i = static_cast<std::size_t>(nRow) * 2;
        if (i + 1 >= values.size())
            break;
        m_pTable->setItem(nRow, 0, new QTableWidgetItem(QString::number(values[i], 'f', 6)));
        m_pTable->setItem(nRow, 1, new QTableWidgetItem(QString::number(values[i + 1], 'f', 6)));
        if (!m_pTable->cellWidget(nRow, 2)) {
            auto* pDelete = new QPushButton(QStringLiteral("Del"));
            // The button deletes the row it sits in now, wherever earlier deletions moved it.
            connect(pDelete, &QPushButton::clicked, this, [this, pDelete] {
                for (int nAt = 0; nAt < m_pTable->rowCount(); ++nAt)
                    if (m_pTable->cellWidget(nAt, 2) == pDelete) {
                        onDeletePoint(nAt);
                        return;
                    }
            });
            m_pTable->setCellWidget(nRow, 2, pDelete);
        }
    }
    fitTable();
}

void CEditObjDlg::setRuntimeParams(const QString& strText)
{
    m_pRuntime->setPlainText(strText);
}

QString CEditObjDlg::getRuntimeParams() const
{
    return m_pRuntime->toPlainText();
}

void CEditObjDlg::onAddPoint()
{
    m_pTable->insertRow(m_pTable->rowCount());
    fitTable();
}

void CEditObjDlg::onDeletePoint(int nRow)
{
    if (nRow >= 0 && nRow < m_pTable->rowCount())
        m_pTable->removeRow(nRow);
}

void CEditObjDlg::onRadio(int nRadio)
{
    qDebug() << "Radio " << nRadio;
    m_nFormat = nRadio;
    if (nRadio != 0 && nRadio != 1) {
        m_pTable->setHorizontalHeaderLabels({QStringLiteral("East"), QStringLiteral("North"), QStringLiteral("Delete")});
        std::vector<double> values(m_points.begin(), m_points.end());
        showPairs(values);
        return;
    }
    m_pTable->setHorizontalHeaderLabels({QStringLiteral("Lat"), QStringLiteral("Lon"), QStringLiteral("Delete")});
    std::vector<double> values;
    for (std::size_t i = 0; i + 1 < m_points.size(); i += 2) {
        double dLatitude = 0;
        double dLongitude = 0;
        CProjection::instance()->toGeographic(static_cast<double>(m_points[i + 1]) * 100.0,
                                              static_cast<double>(m_points[i]) * 100.0, dLatitude, dLongitude);
        if (nRadio == 1) {
            double dLat = 0;
            double dLon = 0;
            degreesToDdmm(dLatitude, dLongitude, &dLat, &dLon);
            dLatitude = dLat;
            dLongitude = dLon;
        }
        values.push_back(dLatitude);
        values.push_back(dLongitude);
    }
    showPairs(values);
}

void CEditObjDlg::accept()
{
    m_result.clear();
    for (int nRow = 0; nRow < m_pTable->rowCount(); ++nRow) {
        const QTableWidgetItem* pFirst = m_pTable->item(nRow, 0);
        const QTableWidgetItem* pSecond = m_pTable->item(nRow, 1);
        if (!pFirst || !pSecond)
            continue;
        if (m_nFormat == 0 || m_nFormat == 1) {
            double dLatitude = pFirst->text().toDouble();
            double dLongitude = pSecond->text().toDouble();
            if (m_nFormat == 1) {
                double dLat = 0;
                double dLon = 0;
                ddmmToDegrees(dLatitude, dLongitude, &dLat, &dLon);
                dLatitude = dLat;
                dLongitude = dLon;
            }
            double dNorth = 0;
            double dEast = 0;
            CProjection::instance()->toProjected(dLatitude, dLongitude, dNorth, dEast);
            m_result << QString::number(dEast / 100.0, 'f', 2) << QString::number(dNorth / 100.0, 'f', 2);
        } else {
            m_result << pFirst->text() << pSecond->text();
        }
    }
    done(QDialog::Accepted);
}
