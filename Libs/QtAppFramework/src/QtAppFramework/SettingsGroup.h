// A group of settings of one area of the system, addressed by setting id.
#pragma once

#include "QtAppFramework/Setting.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>

enum SettingsGroupId {
    Survey = 1,
    Application = 2,
    Layout = 4,
    Logging = 8,
    MapViewer = 16,
};

class CSettingsGroup : public QObject {
    Q_OBJECT
public:
    CSettingsGroup(int id, const QString& name, QObject* parent);
    ~CSettingsGroup() override;

    // Key of a setting id; a null pointer for an unknown id or a setting without key.
    virtual void keyName(int id, const char** pszOut) = 0;
    virtual void loadAll();
    virtual void applyAll(bool bForce);
    virtual void revertAll();
    virtual void afterApply();
    virtual void getValue(int id, QVariant& vOut, bool bReload);
    virtual void setValue(int id, const QVariant& vValue, bool bApply);
    // Live value of an id; out stays unchanged for an unknown id.
    virtual void get(int id, QVariant& vOut) = 0;
    // Takes a value as the live value and pushes it into the system; unknown ids are ignored.
    virtual void set(int id, const QVariant& vValue) = 0;

    int id() const { return m_nId; }
    void name(QString& strOut) const { strOut = m_strName; }
    QString name() const { return m_strName; }

    void addSetting(CSetting* poSetting);
    CSetting* findSetting(int id) const;
    QMap<int, CSetting*>& settings() { return m_mapSettings; }
    void deleteSettings();
    void warnNotImplemented(int id);

signals:
    void settingValueChanged(int nGroupId, CSetting* poSetting);

public slots:
    void handleSettingValueChanged(CSetting* poSetting);

protected:
    // Builds one setting per id 0..nCount-1 bound to the most derived group T, loads it and
    // connects it; called by subclass constructors after their defaults are in place.
    template <class T>
    void createSettings(T* poOwner, int nCount)
    {
        for (int nId = 0; nId < nCount; ++nId) {
            const char* szKey = nullptr;
            poOwner->keyName(nId, &szKey);
            auto* poSetting = new CAppSetting<T>(nId, szKey ? QString::fromLatin1(szKey) : QString());
            poSetting->setOwner(poOwner);
            poSetting->setGetter(&T::get);
            poSetting->setSetter(&T::set);
            poSetting->load();
            addSetting(poSetting);
            connect(poSetting, &CSetting::valueChanged, this, &CSettingsGroup::handleSettingValueChanged);
        }
    }

    void forEachListedSetting(const std::function<void(CSetting*)>& fnVisit);

    int m_nId;
    QString m_strName;
    QMap<int, CSetting*> m_mapSettings;
};

// A colour default: 0xRRGGBBxx read as an opaque colour; the low byte has no effect.
QVariant colorVariant(unsigned int nColour);
