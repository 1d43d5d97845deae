// Properties whose values are QVariants of a few types, their manager and their editors.
#pragma once

#include "qtpropertybrowser.h"

#include <QMap>
#include <QStringList>
#include <QVariant>

class QtVariantPropertyManager;

class QtVariantProperty : public QtProperty
{
public:
    ~QtVariantProperty() override;

    QVariant value() const;
    QVariant attributeValue(const QString& attribute) const;
    int valueType() const;
    int propertyType() const;

    void setValue(const QVariant& value);
    void setAttribute(const QString& attribute, const QVariant& value);

protected:
    explicit QtVariantProperty(QtVariantPropertyManager* manager);

private:
    friend class QtVariantPropertyManager;
    QtVariantPropertyManager* m_manager;
};

// Supported property types: QVariant::Bool, Int, Double, String and Color, and the enum and
// group types below. Int and Double take the attributes "minimum", "maximum" and "singleStep"
// (Double also "decimals"); the enum type takes "enumNames" and holds an index into them.
class QtVariantPropertyManager : public QtAbstractPropertyManager
{
    Q_OBJECT
public:
    explicit QtVariantPropertyManager(QObject* parent = nullptr);
    ~QtVariantPropertyManager() override;

    // Null when the type is not supported.
    virtual QtVariantProperty* addProperty(int propertyType, const QString& name = QString());

    int propertyType(const QtProperty* property) const;
    int valueType(const QtProperty* property) const;
    QtVariantProperty* variantProperty(const QtProperty* property) const;

    virtual bool isPropertyTypeSupported(int propertyType) const;
    virtual int valueType(int propertyType) const;
    virtual QStringList attributes(int propertyType) const;
    virtual int attributeType(int propertyType, const QString& attribute) const;

    virtual QVariant value(const QtProperty* property) const;
    virtual QVariant attributeValue(const QtProperty* property, const QString& attribute) const;

    static int enumTypeId();
    static int groupTypeId();

public Q_SLOTS:
    // A value that cannot be converted to the property's value type is ignored; ints and
    // doubles are kept within their range.
    virtual void setValue(QtProperty* property, const QVariant& value);
    virtual void setAttribute(QtProperty* property, const QString& attribute,
                              const QVariant& value);

Q_SIGNALS:
    void valueChanged(QtProperty* property, const QVariant& value);
    void attributeChanged(QtProperty* property, const QString& attribute, const QVariant& value);

protected:
    bool hasValue(const QtProperty* property) const override;
    QString valueText(const QtProperty* property) const override;
    QIcon valueIcon(const QtProperty* property) const override;
    void initializeProperty(QtProperty* property) override;
    void uninitializeProperty(QtProperty* property) override;
    QtProperty* createProperty() override;

private:
    struct Data
    {
        int type = 0;
        QVariant value;
        QMap<QString, QVariant> attributes;
    };
    QMap<const QtProperty*, Data> m_data;
    int m_creatingType = 0;
    bool m_creating = false;
};

// Editors for the properties of QtVariantPropertyManager: check box, spin boxes, line edit,
// combo box and a colour button. Editors write each change to the manager at once.
class QtVariantEditorFactory : public QtAbstractEditorFactory<QtVariantPropertyManager>
{
    Q_OBJECT
public:
    explicit QtVariantEditorFactory(QObject* parent = nullptr);
    ~QtVariantEditorFactory() override;

    using QtAbstractEditorFactory<QtVariantPropertyManager>::createEditor;

protected:
    void connectPropertyManager(QtVariantPropertyManager* manager) override;
    QWidget* createEditor(QtVariantPropertyManager* manager, QtProperty* property,
                          QWidget* parent) override;
    void disconnectPropertyManager(QtVariantPropertyManager* manager) override;

private:
    void updateEditors(QtProperty* property);

    struct Private;
    std::unique_ptr<Private> d;
};
