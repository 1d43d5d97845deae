// Set-up dialogs of the sounder runtime: two sounders to combine, disk use, external sensors.
// Nothing opens them yet; a creator runs one modally and reads its choices after apply.
#pragma once

#include <QAbstractButton>
#include <QDialog>
#include <QMap>
#include <QStringList>

class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QWidget;

// Picks two different sounders of the "default" group to combine.
class CCombSounderDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCombSounderDlg(const QMap<QString, QStringList>& mapSounders, QWidget* parent = nullptr);

    virtual void apply();
    virtual void cancel();

    QComboBox* sounder1Box() const { return m_poSounder1; }
    QComboBox* sounder2Box() const { return m_poSounder2; }
    int sounder1() const { return m_nSounder1; }
    int sounder2() const { return m_nSounder2; }

signals:
    // The two chosen sounders joined by ":".
    void applyClicked(QString& strSounders);
    void cancelClicked();

public slots:
    void onSounder1Change(int nIndex);
    void onSounder2Change(int nIndex);
    void handleButtonClick(QAbstractButton* poButton);
    void initDlg();

private:
    void showChoice();

    QMap<QString, QStringList> m_mapSounders;
    QStringList m_lstSounders;
    QComboBox* m_poSounder1 = nullptr;
    QComboBox* m_poSounder2 = nullptr;
    QDialogButtonBox* m_poButtons = nullptr;
    int m_nSounder1 = 0;
    int m_nSounder2 = 1;
};

// A dialog with apply and cancel.
class CDiskDlg : public QDialog {
    Q_OBJECT
public:
    explicit CDiskDlg(QWidget* parent = nullptr);

    virtual void apply();
    virtual void cancel();

signals:
    void applyClicked();
    void cancelClicked();

public slots:
    void handleButtonClick(QAbstractButton* poButton);

private:
    QDialogButtonBox* m_poButtons = nullptr;
};

// External sensors: serial-port settings per port, the sensor type, and the folders and change
// flags of the datagram outputs.
class CExtSensDlg : public QDialog {
    Q_OBJECT
public:
    struct PortSettings {
        QString strText;
        int nBaud = 0;
        int nDataBits = 0;
        int nStopBits = 0;
        int nParity = 0;
    };
    // The folder fields, in the order of their browse slots.
    enum Folder { AppTrue, AppRaw, SeaRtcm, SeaSrh, QXB, SPO, FolderCount };

    explicit CExtSensDlg(QWidget* parent = nullptr);

    virtual void apply();
    virtual void cancel();

    QMap<QString, PortSettings> portSettings() const { return m_mapPorts; }
    QComboBox* box(const char* szName) const;
    QLineEdit* folderField(Folder eFolder) const { return m_apoFolders[eFolder]; }
    QWidget* lastTypePanel() const { return m_poLastTypePanel; }
    bool appOutputChanged() const { return m_bAppChanged; }
    bool seaOutputChanged() const { return m_bSeaChanged; }
    bool qxbOutputChanged() const { return m_bQxbChanged; }
    bool spoOutputChanged() const { return m_bSpoChanged; }

signals:
    void applyClicked();
    void cancelClicked();

public slots:
    void handleButtonClick(QAbstractButton* poButton);
    void onPortChanged(int nIndex);
    void onBaudChanged(int nIndex);
    void onDatabitChanged(int nIndex);
    void onStopbitChanged(int nIndex);
    void onParityChanged(int nIndex);
    void onSvTypeChanged(int nIndex);
    void onChangeStartAppTrue();
    void onChangeStartAppRaw();
    void onChangeAppInterval();
    void onChangeAppPort();
    void onChooseAppTrue();
    void onChooseAppRaw();
    void onChangeStartRtcm();
    void onChangeStartSrh();
    void onChangeSeaInterval();
    void onChangeRtcmPort();
    void onChangeSrhPort();
    void onChooseSeaRtcm();
    void onChooseSeaSrh();
    void onChangeStartQXB();
    void onChangeQXBInterval();
    void onChangeQXBPort();
    void onChangeStartSPO();
    void onChangeSPOPort();
    void onChooseQXB();
    void onChooseSPO();

protected:
    // Asks for a folder starting at 'strStart'; empty when cancelled.
    virtual QString askDirectory(const QString& strStart);

private:
    // A chosen folder goes into the field and sets its flag; cancelling changes nothing.
    void chooseFolder(Folder eFolder, bool& bChanged);
    PortSettings& currentPort();

    QMap<QString, PortSettings> m_mapPorts;
    QComboBox* m_poPort = nullptr;
    QComboBox* m_poBaud = nullptr;
    QComboBox* m_poDataBits = nullptr;
    QComboBox* m_poStopBits = nullptr;
    QComboBox* m_poParity = nullptr;
    QComboBox* m_poSvType = nullptr;
    QComboBox* m_poSvChoice = nullptr;
    QWidget* m_poLastTypePanel = nullptr;
    QLineEdit* m_apoFolders[FolderCount] = {};
    QDialogButtonBox* m_poButtons = nullptr;
    bool m_bAppChanged = false;
    bool m_bSeaChanged = false;
    bool m_bQxbChanged = false;
    bool m_bSpoChanged = false;
};
