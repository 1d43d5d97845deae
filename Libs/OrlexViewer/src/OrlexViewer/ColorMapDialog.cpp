#include "OrlexViewer/ColorMapDialog.h"

#include "OrlexViewer/ColorMap.h"

#include "platform/color_triangle.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTableWidget>
#include <QVBoxLayout>

#include <vector>

namespace {

constexpr double kSpinLimit = 999999.0;

QDoubleSpinBox* spinBox(QWidget* poParent, const char* szName)
{
    auto* poSpin = new QDoubleSpinBox(poParent);
    poSpin->setObjectName(QLatin1String(szName));
    poSpin->setRange(-kSpinLimit, kSpinLimit);
    poSpin->setDecimals(2);
    return poSpin;
}

QString backgroundStyle(const QColor& color)
{
    return QStringLiteral("background-color: %1").arg(color.name());
}

} // namespace

struct ColorMapDialog::Form
{
    QDoubleSpinBox* dataMinimum = nullptr;
    QDoubleSpinBox* dataMaximum = nullptr;
    QDoubleSpinBox* rangeMinimum = nullptr;
    QDoubleSpinBox* rangeMaximum = nullptr;
    QCheckBox* autoMinimum = nullptr;
    QCheckBox* autoMaximum = nullptr;
    platform::ColorTriangle* startTriangle = nullptr;
    platform::ColorTriangle* stopTriangle = nullptr;
    QPushButton* startColor = nullptr;
    QPushButton* stopColor = nullptr;
    QSlider* startTransparency = nullptr;
    QSlider* stopTransparency = nullptr;
    QRadioButton* CWButton = nullptr;
    QRadioButton* CCWButton = nullptr;
    QRadioButton* cutButton = nullptr;
    QRadioButton* clampButton = nullptr;
    QRadioButton* wrapButton = nullptr;
    QLabel* gradientLabel = nullptr;
    QTableWidget* staticRanges = nullptr;
    QPushButton* addButton = nullptr;
    QDoubleSpinBox* startStaticRange = nullptr;
    QDoubleSpinBox* endStaticRange = nullptr;
    QPushButton* staticColorButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QPushButton* openButton = nullptr;
    QPushButton* saveButton = nullptr;
    QDialogButtonBox* buttonBox = nullptr;

    void setUp(QDialog* poDialog);
    // One colour group: triangle, colour button, opacity slider.
    QGroupBox* colourGroup(QDialog* poDialog, const QString& strTitle, const char* szPrefix, const char* szLabel,
                           platform::ColorTriangle*& poTriangle, QPushButton*& poButton, QSlider*& poSlider);
};

QGroupBox* ColorMapDialog::Form::colourGroup(QDialog* poDialog, const QString& strTitle, const char* szPrefix,
                                             const char* szLabel, platform::ColorTriangle*& poTriangle,
                                             QPushButton*& poButton, QSlider*& poSlider)
{
    auto* poGroup = new QGroupBox(strTitle, poDialog);
    auto* poLayout = new QGridLayout(poGroup);
    poTriangle = new platform::ColorTriangle(poGroup);
    poTriangle->setObjectName(QLatin1String(szPrefix) + QStringLiteral("Triangle"));
    poTriangle->setMinimumSize(100, 100);
    poLayout->addWidget(poTriangle, 0, 0, 1, 2);
    poButton = new QPushButton(poGroup);
    poButton->setObjectName(QLatin1String(szPrefix) + QStringLiteral("Color"));
    poButton->setMinimumHeight(20);
    poLayout->addWidget(poButton, 1, 0, 1, 2);
    auto* poLabel = new QLabel(ColorMapDialog::tr("Opacity"), poGroup);
    poLabel->setObjectName(QLatin1String(szLabel));
    poLayout->addWidget(poLabel, 2, 0);
    poSlider = new QSlider(Qt::Horizontal, poGroup);
    poSlider->setObjectName(QLatin1String(szPrefix) + QStringLiteral("Transparency"));
    poSlider->setRange(0, 255);
    poLayout->addWidget(poSlider, 2, 1);
    return poGroup;
}

void ColorMapDialog::Form::setUp(QDialog* poDialog)
{
    poDialog->setWindowTitle(ColorMapDialog::tr("Colour Setup"));
    poDialog->resize(610, 764);
    auto* poMain = new QVBoxLayout(poDialog);

    // Range: data range (shown only) and the map's own range.
    auto* poRange = new QGroupBox(ColorMapDialog::tr("Range"), poDialog);
    auto* poRangeLayout = new QGridLayout(poRange);
    const auto label = [&](QWidget* poParent, const QString& strText, const char* szName, bool bRight = false) {
        auto* poLabel = new QLabel(strText, poParent);
        poLabel->setObjectName(QLatin1String(szName));
        if (bRight)
            poLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return poLabel;
    };
    poRangeLayout->addWidget(label(poRange, ColorMapDialog::tr("Min"), "label_4"), 0, 1);
    poRangeLayout->addWidget(label(poRange, ColorMapDialog::tr("Max"), "label_5"), 0, 2);
    poRangeLayout->addWidget(label(poRange, ColorMapDialog::tr("Data"), "label", true), 1, 0);
    dataMinimum = spinBox(poRange, "dataMinimum");
    dataMaximum = spinBox(poRange, "dataMaximum");
    dataMinimum->setEnabled(false);
    dataMaximum->setEnabled(false);
    poRangeLayout->addWidget(dataMinimum, 1, 1);
    poRangeLayout->addWidget(dataMaximum, 1, 2);
    poRangeLayout->addWidget(label(poRange, ColorMapDialog::tr("Colour Map"), "label_2", true), 2, 0);
    rangeMinimum = spinBox(poRange, "rangeMinimum");
    rangeMaximum = spinBox(poRange, "rangeMaximum");
    poRangeLayout->addWidget(rangeMinimum, 2, 1);
    poRangeLayout->addWidget(rangeMaximum, 2, 2);
    autoMinimum = new QCheckBox(ColorMapDialog::tr("Auto"), poRange);
    autoMinimum->setObjectName(QStringLiteral("autoMinimum"));
    autoMaximum = new QCheckBox(ColorMapDialog::tr("Auto"), poRange);
    autoMaximum->setObjectName(QStringLiteral("autoMaximum"));
    poRangeLayout->addWidget(autoMinimum, 3, 1);
    poRangeLayout->addWidget(autoMaximum, 3, 2);
    poRangeLayout->setColumnStretch(1, 1);
    poRangeLayout->setColumnStretch(2, 1);
    poMain->addWidget(poRange);

    // Start, Stop and Direction side by side; Out of range under Direction.
    auto* poColours = new QGridLayout();
    poColours->addWidget(colourGroup(poDialog, ColorMapDialog::tr("Start"), "start", "label_3", startTriangle, startColor,
                                     startTransparency),
                         0, 0, 2, 1);
    poColours->addWidget(colourGroup(poDialog, ColorMapDialog::tr("Stop"), "stop", "label_6", stopTriangle, stopColor,
                                     stopTransparency),
                         0, 1, 2, 1);
    auto* poDirection = new QGroupBox(ColorMapDialog::tr("Direction"), poDialog);
    auto* poDirectionLayout = new QVBoxLayout(poDirection);
    CWButton = new QRadioButton(ColorMapDialog::tr("CW"), poDirection);
    CWButton->setObjectName(QStringLiteral("CWButton"));
    CCWButton = new QRadioButton(ColorMapDialog::tr("CCW"), poDirection);
    CCWButton->setObjectName(QStringLiteral("CCWButton"));
    poDirectionLayout->addWidget(CWButton);
    poDirectionLayout->addWidget(CCWButton);
    poDirectionLayout->addStretch();
    poColours->addWidget(poDirection, 0, 2);
    auto* poOutOfRange = new QGroupBox(ColorMapDialog::tr("Out of range"), poDialog);
    auto* poOutLayout = new QVBoxLayout(poOutOfRange);
    cutButton = new QRadioButton(ColorMapDialog::tr("Cut"), poOutOfRange);
    cutButton->setObjectName(QStringLiteral("cutButton"));
    clampButton = new QRadioButton(ColorMapDialog::tr("Clamp"), poOutOfRange);
    clampButton->setObjectName(QStringLiteral("clampButton"));
    wrapButton = new QRadioButton(ColorMapDialog::tr("Wrap"), poOutOfRange);
    wrapButton->setObjectName(QStringLiteral("wrapButton"));
    poOutLayout->addWidget(cutButton);
    poOutLayout->addWidget(clampButton);
    poOutLayout->addWidget(wrapButton);
    poOutLayout->addStretch();
    poColours->addWidget(poOutOfRange, 1, 2);
    // The radio-button column keeps room for its group titles.
    poColours->setColumnStretch(0, 2);
    poColours->setColumnStretch(1, 2);
    poColours->setColumnStretch(2, 1);
    poMain->addLayout(poColours, 1);

    gradientLabel = new QLabel(poDialog);
    gradientLabel->setObjectName(QStringLiteral("gradientLabel"));
    gradientLabel->setFrameShape(QFrame::Box);
    gradientLabel->setMinimumSize(300, 50);
    gradientLabel->setMaximumHeight(50);
    poMain->addWidget(gradientLabel);

    // Static ranges: the band table and the controls of one band.
    auto* poStatic = new QGroupBox(ColorMapDialog::tr("Static ranges"), poDialog);
    auto* poStaticLayout = new QVBoxLayout(poStatic);
    staticRanges = new QTableWidget(0, 3, poStatic);
    staticRanges->setObjectName(QStringLiteral("staticRanges"));
    staticRanges->setHorizontalHeaderLabels(
        {ColorMapDialog::tr("Start"), ColorMapDialog::tr("Stop"), ColorMapDialog::tr("Color")});
    staticRanges->horizontalHeader()->setStretchLastSection(true);
    staticRanges->verticalHeader()->setVisible(false);
    staticRanges->setEditTriggers(QAbstractItemView::NoEditTriggers);
    staticRanges->setSelectionBehavior(QAbstractItemView::SelectRows);
    staticRanges->setSelectionMode(QAbstractItemView::SingleSelection);
    poStaticLayout->addWidget(staticRanges);
    auto* poBand = new QHBoxLayout();
    addButton = new QPushButton(ColorMapDialog::tr("Add"), poStatic);
    addButton->setObjectName(QStringLiteral("addButton"));
    poBand->addWidget(addButton);
    poBand->addWidget(label(poStatic, ColorMapDialog::tr("Start"), "label_7", true));
    startStaticRange = spinBox(poStatic, "startStaticRange");
    poBand->addWidget(startStaticRange);
    poBand->addWidget(label(poStatic, ColorMapDialog::tr("Stop"), "label_8", true));
    endStaticRange = spinBox(poStatic, "endStaticRange");
    poBand->addWidget(endStaticRange);
    poBand->addWidget(label(poStatic, ColorMapDialog::tr("Color"), "label_9", true));
    staticColorButton = new QPushButton(poStatic);
    staticColorButton->setObjectName(QStringLiteral("staticColorButton"));
    staticColorButton->setStyleSheet(QStringLiteral("background-color: rgb(0, 0, 0)"));
    staticColorButton->setMinimumWidth(40);
    poBand->addWidget(staticColorButton);
    deleteButton = new QPushButton(ColorMapDialog::tr("Delete"), poStatic);
    deleteButton->setObjectName(QStringLiteral("deleteButton"));
    poBand->addWidget(deleteButton);
    poStaticLayout->addLayout(poBand);
    poMain->addWidget(poStatic, 1);

    auto* poButtons = new QHBoxLayout();
    openButton = new QPushButton(ColorMapDialog::tr("Open..."), poDialog);
    openButton->setObjectName(QStringLiteral("openButton"));
    saveButton = new QPushButton(ColorMapDialog::tr("Save..."), poDialog);
    saveButton->setObjectName(QStringLiteral("saveButton"));
    buttonBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, poDialog);
    buttonBox->setObjectName(QStringLiteral("buttonBox"));
    poButtons->addWidget(openButton);
    poButtons->addWidget(saveButton);
    poButtons->addStretch();
    poButtons->addWidget(buttonBox);
    poMain->addLayout(poButtons);
}

ColorMapDialog::ColorMapDialog(QWidget* poParent) : QDialog(poParent), m_pForm(std::make_unique<Form>())
{
    m_pForm->setUp(this);
    m_poMap = new ColorMap(this);

    m_checkerboard = QPixmap(10, 10);
    m_checkerboard.fill(Qt::white);
    {
        QPainter painter(&m_checkerboard);
        painter.fillRect(0, 0, 5, 5, Qt::black);
        painter.fillRect(5, 5, 5, 5, Qt::black);
    }

    Form& f = *m_pForm;
    connect(f.startTriangle, &platform::ColorTriangle::colorChanged, this, &ColorMapDialog::startColorChanged);
    connect(f.stopTriangle, &platform::ColorTriangle::colorChanged, this, &ColorMapDialog::stopColorChanged);
    connect(f.startColor, &QPushButton::clicked, this, &ColorMapDialog::startColorClicked);
    connect(f.stopColor, &QPushButton::clicked, this, &ColorMapDialog::stopColorClicked);
    connect(f.CWButton, &QRadioButton::clicked, this, &ColorMapDialog::CWClicked);
    connect(f.CCWButton, &QRadioButton::clicked, this, &ColorMapDialog::CCWClicked);
    connect(f.cutButton, &QRadioButton::clicked, this, &ColorMapDialog::cutClicked);
    connect(f.clampButton, &QRadioButton::clicked, this, &ColorMapDialog::clampClicked);
    connect(f.wrapButton, &QRadioButton::clicked, this, &ColorMapDialog::wrapClicked);
    connect(f.dataMinimum, qOverload<double>(&QDoubleSpinBox::valueChanged), this, &ColorMapDialog::dataMinChanged);
    connect(f.dataMaximum, qOverload<double>(&QDoubleSpinBox::valueChanged), this, &ColorMapDialog::dataMaxChanged);
    connect(f.rangeMinimum, qOverload<double>(&QDoubleSpinBox::valueChanged), this, &ColorMapDialog::rangeMinChanged);
    connect(f.rangeMaximum, qOverload<double>(&QDoubleSpinBox::valueChanged), this, &ColorMapDialog::rangeMaxChanged);
    connect(f.autoMinimum, &QCheckBox::toggled, this, &ColorMapDialog::autoMinToggled);
    connect(f.autoMaximum, &QCheckBox::toggled, this, &ColorMapDialog::autoMaxToggled);
    // The maximum's box is hidden: the operator's "Auto" decides both ends, so that the range
    // entered reaches the view (the view's automatic range follows the high end).
    connect(f.autoMinimum, &QCheckBox::clicked, f.autoMaximum, &QCheckBox::setChecked);
    connect(f.startTransparency, &QSlider::valueChanged, this, &ColorMapDialog::startTransparencyChanged);
    connect(f.stopTransparency, &QSlider::valueChanged, this, &ColorMapDialog::stopTransparencyChanged);
    connect(f.addButton, &QPushButton::clicked, this, &ColorMapDialog::addClicked);
    connect(f.deleteButton, &QPushButton::clicked, this, &ColorMapDialog::deleteClicked);
    connect(f.startStaticRange, qOverload<double>(&QDoubleSpinBox::valueChanged), this, &ColorMapDialog::updateStaticColorTable);
    connect(f.endStaticRange, qOverload<double>(&QDoubleSpinBox::valueChanged), this, &ColorMapDialog::updateStaticColorTable);
    connect(f.staticColorButton, &QPushButton::clicked, this, &ColorMapDialog::staticColorClicked);
    connect(f.staticRanges, &QTableWidget::itemSelectionChanged, this, &ColorMapDialog::updateStaticColorControllers);
    connect(f.openButton, &QPushButton::clicked, this, &ColorMapDialog::openButtonClicked);
    connect(f.saveButton, &QPushButton::clicked, this, &ColorMapDialog::saveButtonClicked);
    connect(f.buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(f.buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // Every control is wired, so setting it writes the dialog's map.
    f.startTransparency->setValue(255);
    f.stopTransparency->setValue(255);
    f.startTriangle->setColor(QColor::fromHsvF(0, 1, 1));
    f.stopTriangle->setColor(QColor::fromHsvF(0.75, 1, 1));
    f.dataMinimum->setValue(0);
    f.dataMaximum->setValue(100);
    f.rangeMinimum->setValue(25);
    f.rangeMaximum->setValue(75);
    f.CWButton->click();
    f.cutButton->click();
    f.autoMaximum->hide();
    // The triangle may already have shown red before its first change.
    startColorChanged(f.startTriangle->color());
}

ColorMapDialog::~ColorMapDialog() = default;

void ColorMapDialog::setGradient(ColorMap* poGradient)
{
    if (poGradient && poGradient != m_poMap)
        m_poMap->load(poGradient->save());
    loadControls();
}

void ColorMapDialog::loadControls()
{
    Form& f = *m_pForm;
    m_startColor = m_poMap->getStartColor();
    m_stopColor = m_poMap->getStopColor();
    // The controls show the map without writing it back: nothing is rounded on opening.
    const std::vector<QSignalBlocker> blockers = [&] {
        std::vector<QSignalBlocker> list;
        for (QObject* poControl : std::initializer_list<QObject*>{
                 f.autoMinimum, f.autoMaximum, f.CWButton, f.CCWButton, f.cutButton, f.clampButton, f.wrapButton,
                 f.rangeMinimum, f.rangeMaximum, f.startTransparency, f.stopTransparency, f.startTriangle,
                 f.stopTriangle, f.staticRanges})
            list.emplace_back(poControl);
        return list;
    }();
    f.autoMinimum->setChecked(m_poMap->getAutoMin());
    f.autoMaximum->setChecked(m_poMap->getAutoMax());
    (m_poMap->getDirection() == ColorMap::CCW ? f.CCWButton : f.CWButton)->setChecked(true);
    switch (m_poMap->getEndMode()) {
    case ColorMap::CLAMP:
        f.clampButton->setChecked(true);
        break;
    case ColorMap::WRAP:
        f.wrapButton->setChecked(true);
        break;
    default:
        f.cutButton->setChecked(true);
        break;
    }
    f.rangeMinimum->setValue(m_poMap->getMin());
    f.rangeMaximum->setValue(m_poMap->getMax());
    f.startTransparency->setValue(m_startColor.alpha());
    f.stopTransparency->setValue(m_stopColor.alpha());
    f.startTriangle->setColor(m_startColor);
    f.stopTriangle->setColor(m_stopColor);
    f.startColor->setStyleSheet(backgroundStyle(m_startColor));
    f.stopColor->setStyleSheet(backgroundStyle(m_stopColor));

    const QVariantList starts = m_poMap->startList();
    const QVariantList stops = m_poMap->stopList();
    const QVariantList colours = m_poMap->colorList();
    f.staticRanges->clearSelection();
    f.staticRanges->setRowCount(0);
    for (int i = 0; i < starts.size(); ++i)
        setBandRow(i, starts.at(i).toDouble(), stops.value(i).toDouble(), colours.value(i).value<QColor>());
    updateGradient();
}

void ColorMapDialog::setDataRange(double dMin, double dMax)
{
    QSignalBlocker blockMin(m_pForm->dataMinimum);
    QSignalBlocker blockMax(m_pForm->dataMaximum);
    m_pForm->dataMinimum->setValue(dMin);
    m_pForm->dataMaximum->setValue(dMax);
    updateGradient();
}

void ColorMapDialog::resizeEvent(QResizeEvent* poEvent)
{
    QDialog::resizeEvent(poEvent);
    updateGradient();
}

void ColorMapDialog::startColorChanged(const QColor& color)
{
    m_startColor = color;
    m_startColor.setAlpha(m_pForm->startTransparency->value());
    m_poMap->setStartColor(m_startColor);
    m_pForm->startColor->setStyleSheet(backgroundStyle(color));
    updateGradient();
}

void ColorMapDialog::stopColorChanged(const QColor& color)
{
    m_stopColor = color;
    m_stopColor.setAlpha(m_pForm->stopTransparency->value());
    m_poMap->setStopColor(m_stopColor);
    m_pForm->stopColor->setStyleSheet(backgroundStyle(color));
    updateGradient();
}

void ColorMapDialog::startColorClicked()
{
    const QColor color = QColorDialog::getColor(m_startColor, this, tr("Select start colour"), QColorDialog::ShowAlphaChannel);
    if (!color.isValid())
        return;
    m_pForm->startTransparency->setValue(color.alpha());
    m_pForm->startTriangle->setColor(color);
}

void ColorMapDialog::stopColorClicked()
{
    const QColor color = QColorDialog::getColor(m_stopColor, this, tr("Select stop colour"), QColorDialog::ShowAlphaChannel);
    if (!color.isValid())
        return;
    m_pForm->stopTransparency->setValue(color.alpha());
    m_pForm->stopTriangle->setColor(color);
}

void ColorMapDialog::CWClicked()
{
    m_poMap->setDirection(ColorMap::CW);
    updateGradient();
}

void ColorMapDialog::CCWClicked()
{
    m_poMap->setDirection(ColorMap::CCW);
    updateGradient();
}

void ColorMapDialog::cutClicked()
{
    m_poMap->setEndMode(ColorMap::CUT);
    updateGradient();
}

void ColorMapDialog::clampClicked()
{
    m_poMap->setEndMode(ColorMap::CLAMP);
    updateGradient();
}

void ColorMapDialog::wrapClicked()
{
    m_poMap->setEndMode(ColorMap::WRAP);
    updateGradient();
}

void ColorMapDialog::dataMinChanged(double)
{
    updateGradient();
}

void ColorMapDialog::dataMaxChanged(double)
{
    updateGradient();
}

void ColorMapDialog::rangeMinChanged(double v)
{
    m_poMap->setMin(v);
    updateGradient();
}

void ColorMapDialog::rangeMaxChanged(double v)
{
    m_poMap->setMax(v);
    updateGradient();
}

void ColorMapDialog::autoMinToggled(bool bChecked)
{
    m_poMap->setAutoMin(bChecked);
    updateGradient();
}

void ColorMapDialog::autoMaxToggled(bool bChecked)
{
    m_poMap->setAutoMax(bChecked);
    updateGradient();
}

void ColorMapDialog::startTransparencyChanged(int nVal)
{
    m_startColor.setAlpha(nVal);
    m_poMap->setStartColor(m_startColor);
    updateGradient();
}

void ColorMapDialog::stopTransparencyChanged(int nVal)
{
    m_stopColor.setAlpha(nVal);
    m_poMap->setStopColor(m_stopColor);
    updateGradient();
}

void ColorMapDialog::staticColorClicked()
{
    const QColor color = QColorDialog::getColor(m_staticColor, this, tr("Set static colour"));
    if (!color.isValid())
        return;
    m_staticColor = color;
    m_pForm->staticColorButton->setStyleSheet(backgroundStyle(color));
    updateStaticColorTable();
}

int ColorMapDialog::selectedBand() const
{
    const QModelIndexList rows = m_pForm->staticRanges->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ColorMapDialog::setBandRow(int nRow, double dStart, double dStop, const QColor& color)
{
    QTableWidget* poTable = m_pForm->staticRanges;
    if (nRow >= poTable->rowCount())
        poTable->setRowCount(nRow + 1);
    poTable->setItem(nRow, 0, new QTableWidgetItem(QString::number(dStart, 'g', 6)));
    poTable->setItem(nRow, 1, new QTableWidgetItem(QString::number(dStop, 'g', 6)));
    auto* poColour = new QTableWidgetItem();
    poColour->setBackground(color);
    poTable->setItem(nRow, 2, poColour);
}

void ColorMapDialog::addClicked()
{
    const double dStart = m_pForm->startStaticRange->value();
    const double dStop = m_pForm->endStaticRange->value();
    QVariantList starts = m_poMap->startList();
    QVariantList stops = m_poMap->stopList();
    QVariantList colours = m_poMap->colorList();
    starts.append(dStart);
    stops.append(dStop);
    colours.append(m_staticColor);
    m_poMap->setStartList(starts);
    m_poMap->setStopList(stops);
    m_poMap->setColorList(colours);
    setBandRow(m_pForm->staticRanges->rowCount(), dStart, dStop, m_staticColor);
    updateGradient();
}

void ColorMapDialog::updateStaticColorTable()
{
    const int i = selectedBand();
    QVariantList starts = m_poMap->startList();
    QVariantList stops = m_poMap->stopList();
    QVariantList colours = m_poMap->colorList();
    if (i < 0 || i >= starts.size() || i >= stops.size() || i >= colours.size())
        return;
    const double dStart = m_pForm->startStaticRange->value();
    const double dStop = m_pForm->endStaticRange->value();
    starts[i] = dStart;
    stops[i] = dStop;
    colours[i] = m_staticColor;
    m_poMap->setStartList(starts);
    m_poMap->setStopList(stops);
    m_poMap->setColorList(colours);
    setBandRow(i, dStart, dStop, m_staticColor);
    updateGradient();
}

void ColorMapDialog::updateStaticColorControllers()
{
    const int i = selectedBand();
    const QVariantList starts = m_poMap->startList();
    if (i < 0 || i >= starts.size())
        return;
    Form& f = *m_pForm;
    QSignalBlocker blockStart(f.startStaticRange);
    QSignalBlocker blockStop(f.endStaticRange);
    QSignalBlocker blockColour(f.staticColorButton);
    f.startStaticRange->setValue(starts.at(i).toDouble());
    f.endStaticRange->setValue(m_poMap->stopList().value(i).toDouble());
    m_staticColor = m_poMap->colorList().value(i).value<QColor>();
    f.staticColorButton->setStyleSheet(backgroundStyle(m_staticColor));
}

void ColorMapDialog::deleteClicked()
{
    const int i = selectedBand();
    if (i < 0)
        return;
    QVariantList starts = m_poMap->startList();
    QVariantList stops = m_poMap->stopList();
    QVariantList colours = m_poMap->colorList();
    for (QVariantList* pList : {&starts, &stops, &colours})
        if (i < pList->size())
            pList->removeAt(i);
    m_poMap->setStartList(starts);
    m_poMap->setStopList(stops);
    m_poMap->setColorList(colours);
    m_pForm->staticRanges->removeRow(i);
    updateGradient();
}

void ColorMapDialog::updateGradient()
{
    QLabel* poLabel = m_pForm->gradientLabel;
    const QSize size = poLabel->size() - QSize(2, 2);
    if (size.isEmpty())
        return;
    const QPixmap gradient = m_poMap->render(size, m_pForm->dataMinimum->value(), m_pForm->dataMaximum->value());
    QPixmap preview(size);
    QPainter painter(&preview);
    painter.drawTiledPixmap(QRect(QPoint(0, 0), size), m_checkerboard);
    painter.drawPixmap(0, 0, gradient);
    painter.end();
    poLabel->setPixmap(preview);
}
