#include "TqelRuntime/SounderSetupDlgs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QDialogButtonBox* okCancelButtons(QDialog* poDialog)
{
    return new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, poDialog);
}

QComboBox* comboBox(QWidget* poParent, const char* szName, const QStringList& lstItems)
{
    auto* poBox = new QComboBox(poParent);
    poBox->setObjectName(QLatin1String(szName));
    poBox->addItems(lstItems);
    return poBox;
}

} // namespace

// ---- two sounders -----------------------------------------------------------------------------

CCombSounderDlg::CCombSounderDlg(const QMap<QString, QStringList>& mapSounders, QWidget* parent)
    : QDialog(parent), m_mapSounders(mapSounders)
{
    setWindowTitle(tr("Combine Sounders"));
    auto* poLayout = new QFormLayout(this);
    m_poSounder1 = comboBox(this, "cmbSounder1", {});
    m_poSounder2 = comboBox(this, "cmbSounder2", {});
    poLayout->addRow(tr("Sounder 1"), m_poSounder1);
    poLayout->addRow(tr("Sounder 2"), m_poSounder2);
    m_poButtons = okCancelButtons(this);
    poLayout->addRow(m_poButtons);
    initDlg();
    connect(m_poSounder1, qOverload<int>(&QComboBox::currentIndexChanged), this, &CCombSounderDlg::onSounder1Change);
    connect(m_poSounder2, qOverload<int>(&QComboBox::currentIndexChanged), this, &CCombSounderDlg::onSounder2Change);
    connect(m_poButtons, &QDialogButtonBox::clicked, this, &CCombSounderDlg::handleButtonClick);
}

void CCombSounderDlg::initDlg()
{
    m_lstSounders = m_mapSounders.value(QStringLiteral("default"));
    const QSignalBlocker oBlock1(m_poSounder1);
    const QSignalBlocker oBlock2(m_poSounder2);
    m_poSounder1->clear();
    m_poSounder2->clear();
    m_poSounder1->addItems(m_lstSounders);
    m_poSounder2->addItems(m_lstSounders);
    m_nSounder1 = 0;
    m_nSounder2 = 1;
    showChoice();
}

void CCombSounderDlg::showChoice()
{
    const QSignalBlocker oBlock1(m_poSounder1);
    const QSignalBlocker oBlock2(m_poSounder2);
    m_poSounder1->setCurrentIndex(m_nSounder1 < m_poSounder1->count() ? m_nSounder1 : -1);
    m_poSounder2->setCurrentIndex(m_nSounder2 < m_poSounder2->count() ? m_nSounder2 : -1);
}

void CCombSounderDlg::onSounder1Change(int nIndex)
{
    if (nIndex >= 0 && nIndex < m_lstSounders.size()) {
        // The other box never shows the same sounder: it moves on, or back at the end.
        if (nIndex == m_nSounder2)
            m_nSounder2 = nIndex + 1 < m_lstSounders.size() ? nIndex + 1 : nIndex - 1;
        m_nSounder1 = nIndex;
    }
    showChoice();
}

void CCombSounderDlg::onSounder2Change(int nIndex)
{
    if (nIndex >= 0 && nIndex < m_lstSounders.size()) {
        if (nIndex == m_nSounder1)
            m_nSounder1 = nIndex + 1 < m_lstSounders.size() ? nIndex + 1 : nIndex - 1;
        m_nSounder2 = nIndex;
    }
    showChoice();
}

void CCombSounderDlg::handleButtonClick(QAbstractButton* poButton)
{
    switch (m_poButtons->standardButton(poButton)) {
    case QDialogButtonBox::Ok:
        apply();
        break;
    case QDialogButtonBox::Cancel:
        cancel();
        break;
    default:
        break;
    }
}

void CCombSounderDlg::apply()
{
    QString strSounders = m_poSounder1->currentText() + QLatin1Char(':') + m_poSounder2->currentText();
    emit applyClicked(strSounders);
    accept();
}

void CCombSounderDlg::cancel()
{
    emit cancelClicked();
    reject();
}

// ---- disk -------------------------------------------------------------------------------------

CDiskDlg::CDiskDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Disk"));
    auto* poLayout = new QVBoxLayout(this);
    m_poButtons = okCancelButtons(this);
    poLayout->addWidget(m_poButtons);
    connect(m_poButtons, &QDialogButtonBox::clicked, this, &CDiskDlg::handleButtonClick);
}

void CDiskDlg::handleButtonClick(QAbstractButton* poButton)
{
    switch (m_poButtons->buttonRole(poButton)) {
    case QDialogButtonBox::AcceptRole:
        apply();
        break;
    case QDialogButtonBox::RejectRole:
        cancel();
        break;
    default:
        break;
    }
}

void CDiskDlg::apply()
{
    emit applyClicked();
    accept();
}

void CDiskDlg::cancel()
{
    emit cancelClicked();
    reject();
}

// ---- external sensors -------------------------------------------------------------------------

CExtSensDlg::CExtSensDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("External Sensors"));
    // Two columns: the port and sensor with the application output, then the other outputs.
    auto* poColumns = new QGridLayout(this);
    auto* poLayout = new QVBoxLayout;
    auto* poRight = new QVBoxLayout;
    poColumns->addLayout(poLayout, 0, 0);
    poColumns->addLayout(poRight, 0, 1);

    auto* poPortGroup = new QGroupBox(tr("Serial port"), this);
    auto* poPortForm = new QFormLayout(poPortGroup);
    m_poPort = comboBox(this, "cmbPort", {"COM1", "COM2", "COM3", "COM4"});
    m_poBaud = comboBox(this, "cmbBaud", {"4800", "9600", "19200", "38400", "57600", "115200"});
    m_poDataBits = comboBox(this, "cmbDataBits", {"8", "7"});
    m_poStopBits = comboBox(this, "cmbStopBits", {"1", "2"});
    m_poParity = comboBox(this, "cmbParity", {tr("None"), tr("Even"), tr("Odd")});
    poPortForm->addRow(tr("Port"), m_poPort);
    poPortForm->addRow(tr("Baud rate"), m_poBaud);
    poPortForm->addRow(tr("Data bits"), m_poDataBits);
    poPortForm->addRow(tr("Stop bits"), m_poStopBits);
    poPortForm->addRow(tr("Parity"), m_poParity);
    poLayout->addWidget(poPortGroup);

    auto* poSensorGroup = new QGroupBox(tr("Sensor"), this);
    auto* poSensorForm = new QFormLayout(poSensorGroup);
    m_poSvType = comboBox(this, "cmbSvType", {tr("None"), tr("Sound velocity probe"), QStringLiteral("Ext. datagrams (C+T)")});
    m_poSvChoice = comboBox(this, "cmbSvChoice", {tr("Surface"), tr("Profile")});
    m_poLastTypePanel = new QLabel(tr("Conductivity and temperature from external datagrams"), this);
    m_poLastTypePanel->setObjectName(QStringLiteral("pnlExtDatagrams"));
    m_poLastTypePanel->hide();
    poSensorForm->addRow(tr("Type"), m_poSvType);
    poSensorForm->addRow(tr("Use"), m_poSvChoice);
    poSensorForm->addRow(m_poLastTypePanel);
    poLayout->addWidget(poSensorGroup);

    // One row per output: its start flags, numbers and folders with browse buttons.
    auto addFolder = [this](QFormLayout* poForm, Folder eFolder, const QString& strLabel, void (CExtSensDlg::*pChoose)()) {
        auto* poRow = new QWidget(this);
        auto* poRowLayout = new QHBoxLayout(poRow);
        poRowLayout->setContentsMargins(0, 0, 0, 0);
        m_apoFolders[eFolder] = new QLineEdit(poRow);
        auto* poBrowse = new QPushButton(tr("..."), poRow);
        poBrowse->setFixedWidth(32);
        poRowLayout->addWidget(m_apoFolders[eFolder]);
        poRowLayout->addWidget(poBrowse);
        connect(poBrowse, &QPushButton::clicked, this, pChoose);
        poForm->addRow(strLabel, poRow);
    };
    auto addCheck = [this](QFormLayout* poForm, const QString& strLabel, void (CExtSensDlg::*pSlot)()) {
        auto* poCheck = new QCheckBox(strLabel, this);
        connect(poCheck, &QCheckBox::toggled, this, pSlot);
        poForm->addRow(poCheck);
    };
    auto addNumber = [this](QFormLayout* poForm, const QString& strLabel, int nMax, void (CExtSensDlg::*pSlot)()) {
        auto* poSpin = new QSpinBox(this);
        poSpin->setRange(0, nMax);
        connect(poSpin, qOverload<int>(&QSpinBox::valueChanged), this, pSlot);
        poForm->addRow(strLabel, poSpin);
    };
    auto* poApp = new QGroupBox(tr("Application output"), this);
    auto* poAppForm = new QFormLayout(poApp);
    addCheck(poAppForm, tr("Start true datagrams"), &CExtSensDlg::onChangeStartAppTrue);
    addCheck(poAppForm, tr("Start raw datagrams"), &CExtSensDlg::onChangeStartAppRaw);
    addNumber(poAppForm, tr("Interval (s)"), 3600, &CExtSensDlg::onChangeAppInterval);
    addNumber(poAppForm, tr("Port"), 65535, &CExtSensDlg::onChangeAppPort);
    addFolder(poAppForm, AppTrue, tr("True folder"), &CExtSensDlg::onChooseAppTrue);
    addFolder(poAppForm, AppRaw, tr("Raw folder"), &CExtSensDlg::onChooseAppRaw);
    poLayout->addWidget(poApp);

    auto* poSea = new QGroupBox(tr("Sea output"), this);
    auto* poSeaForm = new QFormLayout(poSea);
    addCheck(poSeaForm, tr("Start RTCM"), &CExtSensDlg::onChangeStartRtcm);
    addCheck(poSeaForm, tr("Start SRH"), &CExtSensDlg::onChangeStartSrh);
    addNumber(poSeaForm, tr("Interval (s)"), 3600, &CExtSensDlg::onChangeSeaInterval);
    addNumber(poSeaForm, tr("RTCM port"), 65535, &CExtSensDlg::onChangeRtcmPort);
    addNumber(poSeaForm, tr("SRH port"), 65535, &CExtSensDlg::onChangeSrhPort);
    addFolder(poSeaForm, SeaRtcm, tr("RTCM folder"), &CExtSensDlg::onChooseSeaRtcm);
    addFolder(poSeaForm, SeaSrh, tr("SRH folder"), &CExtSensDlg::onChooseSeaSrh);
    poRight->addWidget(poSea);

    auto* poQxb = new QGroupBox(tr("QXB output"), this);
    auto* poQxbForm = new QFormLayout(poQxb);
    addCheck(poQxbForm, tr("Start"), &CExtSensDlg::onChangeStartQXB);
    addNumber(poQxbForm, tr("Interval (s)"), 3600, &CExtSensDlg::onChangeQXBInterval);
    addNumber(poQxbForm, tr("Port"), 65535, &CExtSensDlg::onChangeQXBPort);
    addFolder(poQxbForm, QXB, tr("Folder"), &CExtSensDlg::onChooseQXB);
    poRight->addWidget(poQxb);

    auto* poSpo = new QGroupBox(tr("SPO output"), this);
    auto* poSpoForm = new QFormLayout(poSpo);
    addCheck(poSpoForm, tr("Start"), &CExtSensDlg::onChangeStartSPO);
    addNumber(poSpoForm, tr("Port"), 65535, &CExtSensDlg::onChangeSPOPort);
    addFolder(poSpoForm, SPO, tr("Folder"), &CExtSensDlg::onChooseSPO);
    poRight->addWidget(poSpo);

    poLayout->addStretch();
    poRight->addStretch();
    m_poButtons = okCancelButtons(this);
    poColumns->addWidget(m_poButtons, 1, 0, 1, 2);

    connect(m_poButtons, &QDialogButtonBox::clicked, this, &CExtSensDlg::handleButtonClick);
    connect(m_poPort, qOverload<int>(&QComboBox::currentIndexChanged), this, &CExtSensDlg::onPortChanged);
    connect(m_poBaud, qOverload<int>(&QComboBox::currentIndexChanged), this, &CExtSensDlg::onBaudChanged);
    connect(m_poDataBits, qOverload<int>(&QComboBox::currentIndexChanged), this, &CExtSensDlg::onDatabitChanged);
    connect(m_poStopBits, qOverload<int>(&QComboBox::currentIndexChanged), this, &CExtSensDlg::onStopbitChanged);
    connect(m_poParity, qOverload<int>(&QComboBox::currentIndexChanged), this, &CExtSensDlg::onParityChanged);
    connect(m_poSvType, qOverload<int>(&QComboBox::currentIndexChanged), this, &CExtSensDlg::onSvTypeChanged);
}

QComboBox* CExtSensDlg::box(const char* szName) const
{
    return findChild<QComboBox*>(QLatin1String(szName));
}

void CExtSensDlg::handleButtonClick(QAbstractButton* poButton)
{
    switch (m_poButtons->buttonRole(poButton)) {
    case QDialogButtonBox::AcceptRole:
        apply();
        break;
    case QDialogButtonBox::RejectRole:
        cancel();
        break;
    default:
        break;
    }
}

void CExtSensDlg::apply()
{
    emit applyClicked();
    accept();
}

void CExtSensDlg::cancel()
{
    emit cancelClicked();
    reject();
}

CExtSensDlg::PortSettings& CExtSensDlg::currentPort()
{
    return m_mapPorts[m_poPort->currentText()];
}

void CExtSensDlg::onPortChanged(int nIndex)
{
    qDebug() << "Port changed";
    const PortSettings& oPort = m_mapPorts[m_poPort->itemText(nIndex)];
    const QSignalBlocker oBlockBaud(m_poBaud);
    const QSignalBlocker oBlockData(m_poDataBits);
    const QSignalBlocker oBlockStop(m_poStopBits);
    const QSignalBlocker oBlockParity(m_poParity);
    m_poBaud->setCurrentIndex(oPort.nBaud);
    m_poDataBits->setCurrentIndex(oPort.nDataBits);
    m_poStopBits->setCurrentIndex(oPort.nStopBits);
    m_poParity->setCurrentIndex(oPort.nParity);
}

void CExtSensDlg::onBaudChanged(int)
{
    currentPort().nBaud = m_poBaud->currentIndex();
}

void CExtSensDlg::onDatabitChanged(int)
{
    currentPort().nDataBits = m_poDataBits->currentIndex();
}

void CExtSensDlg::onStopbitChanged(int)
{
    currentPort().nStopBits = m_poStopBits->currentIndex();
}

void CExtSensDlg::onParityChanged(int)
{
    currentPort().nParity = m_poParity->currentIndex();
}

void CExtSensDlg::onSvTypeChanged(int nIndex)
{
    if (m_poSvType->itemText(nIndex) != QLatin1String("Ext. datagrams (C+T)"))
        m_poSvChoice->setEnabled(true);
    if (nIndex == m_poSvType->count() - 1) {
        m_poLastTypePanel->show();
        m_poSvChoice->setCurrentIndex(-1);
        m_poSvChoice->setEnabled(false);
    } else {
        m_poLastTypePanel->hide();
    }
}

void CExtSensDlg::onChangeStartAppTrue()
{
    m_bAppChanged = true;
}

void CExtSensDlg::onChangeStartAppRaw()
{
    m_bAppChanged = true;
}

void CExtSensDlg::onChangeAppInterval()
{
    m_bAppChanged = true;
}

void CExtSensDlg::onChangeAppPort()
{
    m_bAppChanged = true;
}

void CExtSensDlg::onChangeStartRtcm()
{
    m_bSeaChanged = true;
}

// These settings take effect without marking the sea output changed.
void CExtSensDlg::onChangeStartSrh() {}
void CExtSensDlg::onChangeSeaInterval() {}
void CExtSensDlg::onChangeRtcmPort() {}
void CExtSensDlg::onChangeSrhPort() {}

void CExtSensDlg::onChangeStartQXB()
{
    m_bQxbChanged = true;
}

void CExtSensDlg::onChangeQXBInterval()
{
    m_bQxbChanged = true;
}

void CExtSensDlg::onChangeQXBPort()
{
    m_bQxbChanged = true;
}

void CExtSensDlg::onChangeStartSPO()
{
    m_bSpoChanged = true;
}

void CExtSensDlg::onChangeSPOPort()
{
    m_bSpoChanged = true;
}

void CExtSensDlg::onChooseAppTrue()
{
    chooseFolder(AppTrue, m_bAppChanged);
}

void CExtSensDlg::onChooseAppRaw()
{
    chooseFolder(AppRaw, m_bAppChanged);
}

void CExtSensDlg::onChooseSeaRtcm()
{
    chooseFolder(SeaRtcm, m_bSeaChanged);
}

void CExtSensDlg::onChooseSeaSrh()
{
    chooseFolder(SeaSrh, m_bSeaChanged);
}

void CExtSensDlg::onChooseQXB()
{
    chooseFolder(QXB, m_bQxbChanged);
}

void CExtSensDlg::onChooseSPO()
{
    chooseFolder(SPO, m_bSpoChanged);
}

QString CExtSensDlg::askDirectory(const QString& strStart)
{
    return QFileDialog::getExistingDirectory(this, tr("Open Directory"), strStart,
                                             QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

void CExtSensDlg::chooseFolder(Folder eFolder, bool& bChanged)
{
    const QString strFolder = askDirectory(m_apoFolders[eFolder]->text());
    if (strFolder.isEmpty())
        return;
    m_apoFolders[eFolder]->setText(strFolder);
    bChanged = true;
}
