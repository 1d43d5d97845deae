#include "TqelRuntime/RemSurvDlg.h"

#include "platform/paths.h"
#include "platform/registry.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>

namespace {

const char* const s_szSurveyQuery = "select id, surveyname FROM survey WHERE id  > 50 "
                                    "AND id NOT IN (select fallback_survey from dds_parameters) "
                                    "AND id NOT IN (select survey_id from hdds_survey) "
                                    "ORDER BY surveyname";

} // namespace

CRemSurvDlg::CRemSurvDlg(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags)
{
    setObjectName(QStringLiteral("DlgRemoveSurveys"));
    resize(400, 300);
    setWindowTitle(tr("Remove Surveys"));
    auto* poLayout = new QGridLayout(this);
    poLayout->setObjectName(QStringLiteral("gridLayout"));
    m_poLabel = new QLabel(tr("Select Survey(s) to remove from database"), this);
    m_poLabel->setObjectName(QStringLiteral("label"));
    m_poList = new QListWidget(this);
    m_poList->setObjectName(QStringLiteral("lstSurveys"));
    m_poList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_poButtonBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    m_poButtonBox->setObjectName(QStringLiteral("buttonBox"));
    poLayout->addWidget(m_poLabel, 0, 0);
    poLayout->addWidget(m_poList, 1, 0);
    poLayout->addWidget(m_poButtonBox, 2, 0);
    // The click is reported before the acceptance, so the choice is complete when the dialog closes.
    connect(m_poButtonBox, &QDialogButtonBox::clicked, this, &CRemSurvDlg::handleButtonClick);
    connect(m_poButtonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_poButtonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    loadSurveyList();
}

void CRemSurvDlg::loadSurveyList()
{
    const QString strFile = platform::machineRegistryValue(
                                QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\TQELDB"),
                                QStringLiteral("Database"))
                                .toString();
    if (strFile.isEmpty())
        return;
    // A connection of its own, read-only: the survey database belongs to the installation.
    const QString strConnection = QStringLiteral("CRemSurvDlg-") + QUuid::createUuid().toString();
    {
        QSqlDatabase oDatabase = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), strConnection);
        oDatabase.setDatabaseName(platform::toNativePath(strFile));
        oDatabase.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (oDatabase.open()) {
            QSqlQuery oQuery(oDatabase);
            if (oQuery.exec(QLatin1String(s_szSurveyQuery))) {
                while (oQuery.next())
                    m_poList->addItem(oQuery.value(1).toString());
            }
            oQuery.finish();
            oDatabase.close();
        }
    }
    QSqlDatabase::removeDatabase(strConnection);
}

void CRemSurvDlg::handleButtonClick(QAbstractButton* poButton)
{
    switch (m_poButtonBox->standardButton(poButton)) {
    case QDialogButtonBox::Ok:
        applySelection();
        break;
    case QDialogButtonBox::Cancel:
        cancelSelection();
        break;
    default:
        break;
    }
}

void CRemSurvDlg::applySelection()
{
    // Selected items in list order, not in the order they were picked.
    for (int nRow = 0; nRow < m_poList->count(); ++nRow)
        if (m_poList->item(nRow)->isSelected())
            m_lstSurveys << m_poList->item(nRow)->text();
    emit applyClicked();
}

void CRemSurvDlg::cancelSelection()
{
    emit cancelClicked();
}
