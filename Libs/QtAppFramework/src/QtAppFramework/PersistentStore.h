// Abstract key/value store that the settings manager saves to and loads from.
#pragma once

#include <QString>
#include <QVariant>

class CPersistentStore {
public:
    CPersistentStore() = default;
    virtual ~CPersistentStore() = default;
    CPersistentStore(const CPersistentStore&) = delete;
    CPersistentStore& operator=(const CPersistentStore&) = delete;

    virtual void write(const QString& key, const QVariant& value) = 0;
    // A missing key gives an invalid value.
    virtual void read(const QString& key, QVariant& vOut) = 0;
    virtual void beginGroup(const QString& name) = 0;
    virtual void endGroup() = 0;
    // Writes pending changes to permanent storage; called at the end of a save.
    virtual void sync() {}

protected:
    int m_nFormat = -1;     // 1: INI file, else native
    int m_nScope = -1;      // 1: system-wide, else per user
    QString m_strOrganisation; // empty: the application's
    QString m_strApplication;  // empty: the application's
};
