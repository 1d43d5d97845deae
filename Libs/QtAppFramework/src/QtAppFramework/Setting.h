// One user-adjustable setting: a current value that pages edit and an applied value.
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

class CSetting : public QObject {
    Q_OBJECT
public:
    CSetting(int id, const QString& key, QObject* parent);

    virtual void load() = 0;
    virtual void apply(bool bForce) = 0;
    virtual void revert() = 0;

    int id() const { return m_nId; }
    void key(QString& strOut) const { strOut = m_strKey; }
    QString key() const { return m_strKey; }

    QVariant value() const { return m_vValue; }
    QVariant appliedValue() const { return m_vAppliedValue; }
    void readValue(QVariant& vOut) const { vOut = m_vValue; }

    // The current value becomes an edit not yet applied; no signal.
    void setValue(const QVariant& vValue);
    void setAppliedValue(const QVariant& vValue);

    bool valueDirty() const { return m_bValueDirty; }
    void setValueDirty(bool bDirty) { m_bValueDirty = bDirty; }
    bool appliedDirty() const { return m_bAppliedDirty; }
    void setAppliedDirty(bool bDirty) { m_bAppliedDirty = bDirty; }

signals:
    void valueChanged(CSetting* poSetting);

protected:
    int m_nId;
    QString m_strKey;
    QVariant m_vValue;
    QVariant m_vAppliedValue;
    bool m_bValueDirty = false;
    bool m_bAppliedDirty = false;
};

// A setting bound to its group T: loads through T::get and applies through T::set (virtual, so
// the most derived group's override runs).
template <class T>
class CAppSetting : public CSetting {
public:
    using Getter = void (T::*)(int, QVariant&);
    using Setter = void (T::*)(int, const QVariant&);

    CAppSetting(int id, const QString& key, QObject* parent = nullptr) : CSetting(id, key, parent) {}

    void setOwner(T* poOwner) { m_poOwner = poOwner; }
    T* owner() const { return m_poOwner; }
    void setGetter(Getter pGetter) { m_pGetter = pGetter; }
    void setSetter(Setter pSetter) { m_pSetter = pSetter; }

    void load() override
    {
        if (!m_poOwner || !m_pGetter)
            return;
        const QVariant vOld = m_vValue;
        QVariant vNew;
        (m_poOwner->*m_pGetter)(m_nId, vNew);
        m_vValue = vNew;
        m_vAppliedValue = vNew;
        m_bValueDirty = false;
        m_bAppliedDirty = false;
        if (vOld != vNew)
            emit valueChanged(this);
    }

    void apply(bool bForce) override
    {
        if (!(bForce || m_bValueDirty) || !m_poOwner || !m_pSetter)
            return;
        const QVariant vPrevious = m_vAppliedValue;
        (m_poOwner->*m_pSetter)(m_nId, m_vValue);
        m_vAppliedValue = m_vValue;
        m_bValueDirty = false;
        m_bAppliedDirty = false;
        if (m_vValue != vPrevious)
            emit valueChanged(this);
    }

    void revert() override
    {
        m_vValue = m_vAppliedValue;
        m_bValueDirty = false;
    }

private:
    T* m_poOwner = nullptr;
    Getter m_pGetter = nullptr;
    Setter m_pSetter = nullptr;
};
