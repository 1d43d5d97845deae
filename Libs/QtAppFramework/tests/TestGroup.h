// A settings group for tests: keys given by the test (an empty key is a setting without key),
// live values 0, 10, 20, ..., and a record of every set.
#pragma once

#include "QtAppFramework/SettingsGroup.h"

#include <QByteArrayList>
#include <QList>
#include <QPair>

#include <vector>

class CTestGroup : public CSettingsGroup {
public:
    CTestGroup(int id = 64, const QString& name = QStringLiteral("Test"),
               const QByteArrayList& lstKeys = {"First", "Second", "Third"})
        : CSettingsGroup(id, name, nullptr), m_lstKeys(lstKeys), m_aLive(static_cast<std::size_t>(lstKeys.size()))
    {
        for (int i = 0; i < lstKeys.size(); ++i)
            m_aLive[static_cast<std::size_t>(i)] = i * 10;
        createSettings(this, lstKeys.size());
    }
    ~CTestGroup() override { deleteSettings(); }

    void keyName(int id, const char** pszOut) override
    {
        *pszOut = id >= 0 && id < m_lstKeys.size() && !m_lstKeys.at(id).isEmpty() ? m_lstKeys.at(id).constData() : nullptr;
    }
    void get(int id, QVariant& vOut) override
    {
        if (id >= 0 && id < static_cast<int>(m_aLive.size()))
            vOut = m_aLive[static_cast<std::size_t>(id)];
    }
    void set(int id, const QVariant& vValue) override
    {
        m_lstSets.append(qMakePair(id, vValue));
        if (id >= 0 && id < static_cast<int>(m_aLive.size()))
            m_aLive[static_cast<std::size_t>(id)] = vValue;
    }
    void afterApply() override { ++m_nAfterApply; }

    QByteArrayList m_lstKeys;
    std::vector<QVariant> m_aLive;
    QList<QPair<int, QVariant>> m_lstSets;
    int m_nAfterApply = 0;
};
