// The persistent store on the platform's native per-user settings.
#pragma once

#include "QtAppFramework/PersistentStore.h"

#include <memory>

class QSettings;

class CGeneralStore : public CPersistentStore {
public:
    CGeneralStore();
    ~CGeneralStore() override;

    void write(const QString& key, const QVariant& value) override;
    void read(const QString& key, QVariant& vOut) override;
    void beginGroup(const QString& name) override;
    void endGroup() override;
    void sync() override;

    // The file behind the store (for messages); empty without settings object.
    QString fileName() const;

protected:
    void openSettings();

private:
    std::unique_ptr<QSettings> m_poSettings;
};
