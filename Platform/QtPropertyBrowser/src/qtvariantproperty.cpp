#include "qtvariantproperty.h"

#include <QApplication>
#include <QCheckBox>
#include <QColor>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolButton>

#include <cfloat>
#include <climits>
#include <functional>

namespace {

struct EnumPropertyType
{
};
struct GroupPropertyType
{
};

const QString kMinimum = QStringLiteral("minimum");
const QString kMaximum = QStringLiteral("maximum");
const QString kSingleStep = QStringLiteral("singleStep");
const QString kDecimals = QStringLiteral("decimals");
const QString kEnumNames = QStringLiteral("enumNames");

QString colorText(const QColor& color)
{
    if (!color.isValid())
        return QString();
    return QStringLiteral("[%1, %2, %3] (%4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alpha());
}

QPixmap colorSwatch(const QColor& color, int extent = 16)
{
    QPixmap pixmap(extent, extent);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.fillRect(QRect(1, 1, extent - 2, extent - 2), color);
    painter.setPen(QColor(0, 0, 0, 160));
    painter.drawRect(QRect(0, 0, extent - 1, extent - 1));
    return pixmap;
}

QPixmap checkBoxPixmap(bool checked)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return QPixmap();
    QStyle* style = QApplication::style();
    QStyleOptionButton option;
    option.state = QStyle::State_Enabled | (checked ? QStyle::State_On : QStyle::State_Off);
    const int width = style->pixelMetric(QStyle::PM_IndicatorWidth, &option);
    const int height = style->pixelMetric(QStyle::PM_IndicatorHeight, &option);
    option.rect = QRect(0, 0, width, height);
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter);
    return pixmap;
}

// Colour swatch, its text and a button that opens the colour dialog.
class ColorEditor : public QWidget
{
public:
    explicit ColorEditor(QWidget* parent) : QWidget(parent)
    {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(2, 0, 0, 0);
        layout->setSpacing(4);
        m_swatch = new QLabel(this);
        m_text = new QLabel(this);
        m_button = new QToolButton(this);
        m_button->setText(QStringLiteral("..."));
        m_button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
        layout->addWidget(m_swatch);
        layout->addWidget(m_text, 1);
        layout->addWidget(m_button);
        setFocusProxy(m_button);
        connect(m_button, &QToolButton::clicked, this, [this] {
            const QColor picked = QColorDialog::getColor(m_color, this, QString(),
                                                         QColorDialog::ShowAlphaChannel);
            if (picked.isValid() && picked != m_color && onPicked)
                onPicked(picked);
        });
    }

    void setColor(const QColor& color)
    {
        m_color = color;
        m_swatch->setPixmap(colorSwatch(color));
        m_text->setText(colorText(color));
    }
    QColor color() const { return m_color; }

    std::function<void(const QColor&)> onPicked;

private:
    QColor m_color;
    QLabel* m_swatch;
    QLabel* m_text;
    QToolButton* m_button;
};

} // namespace

Q_DECLARE_METATYPE(EnumPropertyType)
Q_DECLARE_METATYPE(GroupPropertyType)

// ---------------------------------------------------------------------------------------------
// QtVariantProperty

QtVariantProperty::QtVariantProperty(QtVariantPropertyManager* manager)
    : QtProperty(manager), m_manager(manager)
{
}

QtVariantProperty::~QtVariantProperty() = default;

QVariant QtVariantProperty::value() const
{
    return m_manager->value(this);
}

QVariant QtVariantProperty::attributeValue(const QString& attribute) const
{
    return m_manager->attributeValue(this, attribute);
}

int QtVariantProperty::valueType() const
{
    return m_manager->valueType(this);
}

int QtVariantProperty::propertyType() const
{
    return m_manager->propertyType(this);
}

void QtVariantProperty::setValue(const QVariant& value)
{
    m_manager->setValue(this, value);
}

void QtVariantProperty::setAttribute(const QString& attribute, const QVariant& value)
{
    m_manager->setAttribute(this, attribute, value);
}

// ---------------------------------------------------------------------------------------------
// QtVariantPropertyManager

QtVariantPropertyManager::QtVariantPropertyManager(QObject* parent)
    : QtAbstractPropertyManager(parent)
{
}

QtVariantPropertyManager::~QtVariantPropertyManager()
{
    // While this class is whole, so that its own uninitializeProperty runs.
    clear();
}

int QtVariantPropertyManager::enumTypeId()
{
    return qMetaTypeId<EnumPropertyType>();
}

int QtVariantPropertyManager::groupTypeId()
{
    return qMetaTypeId<GroupPropertyType>();
}

QtVariantProperty* QtVariantPropertyManager::addProperty(int propertyType, const QString& name)
{
    if (!isPropertyTypeSupported(propertyType)) {
        // Said out loud, so that a page asking for a row this browser cannot draw is noticed.
        const char* typeName = QMetaType::typeName(propertyType);
        qWarning("QtVariantPropertyManager: property type %d (%s) is not supported; row \"%s\" not created",
                 propertyType, typeName ? typeName : "unknown", qPrintable(name));
        return nullptr;
    }
    m_creating = true;
    m_creatingType = propertyType;
    QtProperty* property = QtAbstractPropertyManager::addProperty(name);
    m_creating = false;
    m_creatingType = 0;
    return static_cast<QtVariantProperty*>(property);
}

int QtVariantPropertyManager::propertyType(const QtProperty* property) const
{
    return m_data.value(property).type;
}

int QtVariantPropertyManager::valueType(const QtProperty* property) const
{
    return valueType(propertyType(property));
}

QtVariantProperty* QtVariantPropertyManager::variantProperty(const QtProperty* property) const
{
    if (!m_data.contains(property))
        return nullptr;
    return static_cast<QtVariantProperty*>(const_cast<QtProperty*>(property));
}

bool QtVariantPropertyManager::isPropertyTypeSupported(int propertyType) const
{
    switch (propertyType) {
    case QVariant::Bool:
    case QVariant::Int:
    case QVariant::Double:
    case QVariant::String:
    case QVariant::Color:
        return true;
    default:
        return propertyType == enumTypeId() || propertyType == groupTypeId();
    }
}

int QtVariantPropertyManager::valueType(int propertyType) const
{
    if (propertyType == enumTypeId())
        return QVariant::Int;
    if (propertyType == groupTypeId() || !isPropertyTypeSupported(propertyType))
        return QVariant::Invalid;
    return propertyType;
}

QStringList QtVariantPropertyManager::attributes(int propertyType) const
{
    if (propertyType == QVariant::Int)
        return {kMinimum, kMaximum, kSingleStep};
    if (propertyType == QVariant::Double)
        return {kMinimum, kMaximum, kSingleStep, kDecimals};
    if (propertyType == enumTypeId())
        return {kEnumNames};
    return {};
}

int QtVariantPropertyManager::attributeType(int propertyType, const QString& attribute) const
{
    if (!attributes(propertyType).contains(attribute))
        return QVariant::Invalid;
    if (attribute == kEnumNames)
        return QVariant::StringList;
    if (attribute == kDecimals || propertyType == QVariant::Int)
        return QVariant::Int;
    return QVariant::Double;
}

QVariant QtVariantPropertyManager::value(const QtProperty* property) const
{
    return m_data.value(property).value;
}

QVariant QtVariantPropertyManager::attributeValue(const QtProperty* property,
                                                  const QString& attribute) const
{
    return m_data.value(property).attributes.value(attribute);
}

namespace {

// The value kept within [minimum, maximum] of an Int or Double property.
QVariant bounded(int type, const QVariant& value, const QMap<QString, QVariant>& attributes)
{
    if (type == QVariant::Int)
        return qBound(attributes.value(kMinimum).toInt(), value.toInt(),
                      attributes.value(kMaximum).toInt());
    if (type == QVariant::Double)
        return qBound(attributes.value(kMinimum).toDouble(), value.toDouble(),
                      attributes.value(kMaximum).toDouble());
    return value;
}

} // namespace

void QtVariantPropertyManager::setValue(QtProperty* property, const QVariant& value)
{
    auto it = m_data.find(property);
    if (it == m_data.end() || !value.isValid())
        return;
    const int type = valueType(it->type);
    if (type == QVariant::Invalid)
        return;

    QVariant converted = value;
    if (converted.userType() != type && !converted.convert(type))
        return;
    if (type == QVariant::Color && !converted.value<QColor>().isValid())
        return;
    converted = bounded(it->type, converted, it->attributes);
    if (converted == it->value)
        return;
    it->value = converted;
    emit propertyChanged(property);
    emit valueChanged(property, converted);
}

void QtVariantPropertyManager::setAttribute(QtProperty* property, const QString& attribute,
                                            const QVariant& value)
{
    auto it = m_data.find(property);
    if (it == m_data.end())
        return;
    const int type = attributeType(it->type, attribute);
    if (type == QVariant::Invalid)
        return;
    QVariant converted = value;
    if (converted.userType() != type && !converted.convert(type))
        return;
    if (attribute == kDecimals)
        converted = qBound(0, converted.toInt(), 13);
    if (it->attributes.value(attribute) == converted)
        return;

    QMap<QString, QVariant>& attrs = it->attributes;
    attrs[attribute] = converted;
    QStringList changed{attribute};
    // A range stays a range: the other end follows.
    if (attribute == kMinimum && attrs.value(kMaximum).toDouble() < converted.toDouble()) {
        attrs[kMaximum] = converted;
        changed << kMaximum;
    } else if (attribute == kMaximum && attrs.value(kMinimum).toDouble() > converted.toDouble()) {
        attrs[kMinimum] = converted;
        changed << kMinimum;
    }

    QVariant newValue = bounded(it->type, it->value, attrs);
    if (attribute == kEnumNames && newValue.toInt() == -1 && !converted.toStringList().isEmpty())
        newValue = 0;
    const bool valueChangedNow = newValue != it->value;
    it->value = newValue;

    for (const QString& name : qAsConst(changed))
        emit attributeChanged(property, name, attrs.value(name));
    if (valueChangedNow || attribute == kEnumNames || attribute == kDecimals)
        emit propertyChanged(property);
    if (valueChangedNow)
        emit valueChanged(property, newValue);
}

bool QtVariantPropertyManager::hasValue(const QtProperty* property) const
{
    return valueType(property) != QVariant::Invalid;
}

QString QtVariantPropertyManager::valueText(const QtProperty* property) const
{
    const Data data = m_data.value(property);
    switch (data.type) {
    case QVariant::Bool:
        return data.value.toBool() ? tr("True") : tr("False");
    case QVariant::Int:
        return QString::number(data.value.toInt());
    case QVariant::Double:
        return QLocale().toString(data.value.toDouble(), 'f',
                                  data.attributes.value(kDecimals).toInt());
    case QVariant::String:
        return data.value.toString();
    case QVariant::Color:
        return colorText(data.value.value<QColor>());
    default:
        break;
    }
    if (data.type == enumTypeId()) {
        // An index without a name is shown as the number itself.
        const int index = data.value.toInt();
        const QStringList names = data.attributes.value(kEnumNames).toStringList();
        if (index >= 0 && index < names.size())
            return names.at(index);
        return index == -1 ? QString() : QString::number(index);
    }
    return QString();
}

QIcon QtVariantPropertyManager::valueIcon(const QtProperty* property) const
{
    const Data data = m_data.value(property);
    if (data.type == QVariant::Bool)
        return QIcon(checkBoxPixmap(data.value.toBool()));
    if (data.type == QVariant::Color && data.value.value<QColor>().isValid())
        return QIcon(colorSwatch(data.value.value<QColor>()));
    return QIcon();
}

void QtVariantPropertyManager::initializeProperty(QtProperty* property)
{
    Data data;
    data.type = m_creatingType;
    switch (data.type) {
    case QVariant::Bool:
        data.value = false;
        break;
    case QVariant::Int:
        data.value = 0;
        data.attributes = {{kMinimum, -INT_MAX}, {kMaximum, INT_MAX}, {kSingleStep, 1}};
        break;
    case QVariant::Double:
        data.value = 0.0;
        data.attributes = {
            {kMinimum, -DBL_MAX}, {kMaximum, DBL_MAX}, {kSingleStep, 1.0}, {kDecimals, 2}};
        break;
    case QVariant::String:
        data.value = QString();
        break;
    case QVariant::Color:
        data.value = QColor();
        break;
    default:
        if (data.type == enumTypeId()) {
            data.value = -1;
            data.attributes = {{kEnumNames, QStringList()}};
        }
        break;
    }
    m_data.insert(property, data);
}

void QtVariantPropertyManager::uninitializeProperty(QtProperty* property)
{
    m_data.remove(property);
}

QtProperty* QtVariantPropertyManager::createProperty()
{
    // Properties are made only through addProperty(type, name).
    return m_creating ? new QtVariantProperty(this) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// QtVariantEditorFactory

struct QtVariantEditorFactory::Private
{
    QHash<QtProperty*, QList<QWidget*>> editors;
    QHash<QWidget*, QtProperty*> editorProperty;
    QHash<QtVariantPropertyManager*, QList<QMetaObject::Connection>> connections;
};

namespace {

// Brings an editor up to the property's value and attributes without sending anything back.
void syncEditor(QWidget* editor, QtVariantPropertyManager* manager, QtProperty* property)
{
    const QSignalBlocker blocker(editor);
    const QVariant value = manager->value(property);
    const int type = manager->propertyType(property);
    auto attr = [&](const QString& name) { return manager->attributeValue(property, name); };

    if (auto* check = qobject_cast<QCheckBox*>(editor)) {
        check->setChecked(value.toBool());
        check->setText(property->valueText());
    } else if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
        spin->setRange(attr(kMinimum).toInt(), attr(kMaximum).toInt());
        spin->setSingleStep(attr(kSingleStep).toInt());
        spin->setValue(value.toInt());
    } else if (auto* dspin = qobject_cast<QDoubleSpinBox*>(editor)) {
        dspin->setDecimals(attr(kDecimals).toInt());
        dspin->setRange(attr(kMinimum).toDouble(), attr(kMaximum).toDouble());
        dspin->setSingleStep(attr(kSingleStep).toDouble());
        dspin->setValue(value.toDouble());
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        if (line->text() != value.toString())
            line->setText(value.toString());
    } else if (auto* combo = qobject_cast<QComboBox*>(editor); combo && type == manager->enumTypeId()) {
        const QStringList names = attr(kEnumNames).toStringList();
        QStringList shown;
        for (int i = 0; i < combo->count(); ++i)
            shown << combo->itemText(i);
        if (shown != names) {
            combo->clear();
            combo->addItems(names);
        }
        combo->setCurrentIndex(value.toInt() < names.size() ? value.toInt() : -1);
    } else if (auto* color = dynamic_cast<ColorEditor*>(editor)) {
        color->setColor(value.value<QColor>());
    }
}

} // namespace

QtVariantEditorFactory::QtVariantEditorFactory(QObject* parent)
    : QtAbstractEditorFactory<QtVariantPropertyManager>(parent), d(new Private)
{
}

QtVariantEditorFactory::~QtVariantEditorFactory()
{
    // Open editors outlive the factory only as plain widgets.
    const QList<QWidget*> editors = d->editorProperty.keys();
    for (QWidget* editor : editors)
        editor->disconnect(this);
}

void QtVariantEditorFactory::connectPropertyManager(QtVariantPropertyManager* manager)
{
    QList<QMetaObject::Connection>& list = d->connections[manager];
    list << connect(manager, &QtVariantPropertyManager::valueChanged, this,
                    [this](QtProperty* property) { updateEditors(property); });
    list << connect(manager, &QtVariantPropertyManager::attributeChanged, this,
                    [this](QtProperty* property) { updateEditors(property); });
    list << connect(manager, &QtAbstractPropertyManager::propertyDestroyed, this,
                    [this](QtProperty* property) {
                        const QList<QWidget*> editors = d->editors.take(property);
                        for (QWidget* editor : editors)
                            d->editorProperty.remove(editor);
                    });
}

void QtVariantEditorFactory::disconnectPropertyManager(QtVariantPropertyManager* manager)
{
    const QList<QMetaObject::Connection> list = d->connections.take(manager);
    for (const QMetaObject::Connection& connection : list)
        disconnect(connection);
}

void QtVariantEditorFactory::updateEditors(QtProperty* property)
{
    QtVariantPropertyManager* manager = propertyManager(property);
    if (!manager)
        return;
    const QList<QWidget*> editors = d->editors.value(property);
    for (QWidget* editor : editors)
        syncEditor(editor, manager, property);
}

QWidget* QtVariantEditorFactory::createEditor(QtVariantPropertyManager* manager,
                                              QtProperty* property, QWidget* parent)
{
    const int type = manager->propertyType(property);
    QWidget* editor = nullptr;

    // Every editor writes through this, so a property deleted meanwhile is never touched.
    auto write = [this](QWidget* source, const QVariant& value) {
        QtProperty* target = d->editorProperty.value(source);
        if (QtVariantPropertyManager* owner = propertyManager(target))
            owner->setValue(target, value);
    };

    if (type == QVariant::Bool) {
        auto* check = new QCheckBox(parent);
        connect(check, &QCheckBox::toggled, this,
                [write, check](bool on) { write(check, on); });
        editor = check;
    } else if (type == QVariant::Int) {
        auto* spin = new QSpinBox(parent);
        spin->setKeyboardTracking(false);
        connect(spin, QOverload<int>::of(&QSpinBox::valueChanged), this,
                [write, spin](int value) { write(spin, value); });
        editor = spin;
    } else if (type == QVariant::Double) {
        auto* spin = new QDoubleSpinBox(parent);
        spin->setKeyboardTracking(false);
        connect(spin, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                [write, spin](double value) { write(spin, value); });
        editor = spin;
    } else if (type == QVariant::String) {
        auto* line = new QLineEdit(parent);
        connect(line, &QLineEdit::textEdited, this,
                [write, line](const QString& text) { write(line, text); });
        editor = line;
    } else if (type == QVariant::Color) {
        auto* color = new ColorEditor(parent);
        color->onPicked = [write, color](const QColor& picked) { write(color, picked); };
        editor = color;
    } else if (type == QtVariantPropertyManager::enumTypeId()) {
        auto* combo = new QComboBox(parent);
        connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                [write, combo](int index) {
                    if (index >= 0)
                        write(combo, index);
                });
        editor = combo;
    }
    if (!editor)
        return nullptr;

    d->editors[property].append(editor);
    d->editorProperty.insert(editor, property);
    syncEditor(editor, manager, property);
    connect(editor, &QObject::destroyed, this, [this, editor] {
        QtProperty* property = d->editorProperty.take(editor);
        auto it = d->editors.find(property);
        if (it != d->editors.end()) {
            it->removeAll(editor);
            if (it->isEmpty())
                d->editors.erase(it);
        }
    });
    return editor;
}
