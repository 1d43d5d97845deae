// A node of the options tree: a named page that a container shows and drives through init,
// apply, cancel, activate and deactivate.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

class CSettingsNodeComponent : public QObject
{
    Q_OBJECT
public:
    CSettingsNodeComponent(QString strName, QWidget* poPage, QObject* poParent);
    ~CSettingsNodeComponent() override;

    virtual QString name() const;
    virtual void setName(QString strName);
    virtual QWidget* widget() const;
    virtual void setWidget(QWidget* poPage);
    // The child nodes of a composite node; none for a leaf.
    virtual QList<CSettingsNodeComponent*> children() const;
    // Reports the row the operator is on in the page (settingInfo), or selects a first row.
    virtual void showInfo(QWidget* poPage) = 0;

signals:
    void settingInfo(QString& strTitle, QString& strDescription);
    void settingValueChanged();

public slots:
    virtual void init() = 0;
    virtual void apply(bool bForce) = 0;
    void apply() { apply(false); }
    virtual void cancel() = 0;
    virtual void activate() = 0;
    virtual void deactivate() = 0;

private:
    QString m_strName;
    // The container reparents the page and may delete it first.
    QPointer<QWidget> m_poPage;
};

// A node that groups child nodes and passes every operation and report on to them.
class CSettingsNodeComposite : public CSettingsNodeComponent
{
    Q_OBJECT
public:
    CSettingsNodeComposite(QString strName, QObject* poParent);

    using CSettingsNodeComponent::apply;

    void addChild(CSettingsNodeComponent* poChild);
    QList<CSettingsNodeComponent*> children() const override;
    void showInfo(QWidget* poPage) override;

public slots:
    void init() override;
    void apply(bool bForce) override;
    void cancel() override;
    void activate() override;
    void deactivate() override;

private:
    QList<QPointer<CSettingsNodeComponent>> m_lstChildren;
};
