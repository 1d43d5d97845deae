#include "OrlexViewer/ColorMap.h"

#include <QBuffer>
#include <QDataStream>
#include <QImage>
#include <QMetaType>

#include <cmath>
#include <optional>
#include <vector>

namespace {

// The stream settings of every palette: big-endian, the layout of Qt 5.
constexpr QDataStream::Version kPaletteStreamVersion = QDataStream::Qt_5_0;

void cacheHsva(const QColor& color, double (&aHsva)[4])
{
    qreal h = 0, s = 0, v = 0, a = 0;
    color.getHsvF(&h, &s, &v, &a);
    aHsva[0] = h;
    aHsva[1] = s;
    aHsva[2] = v;
    aHsva[3] = a;
}

// Reads the variants of palette bytes. Every count and length is checked against the bytes left
// before anything is allocated; only the types a palette holds are read.
class PaletteReader
{
public:
    explicit PaletteReader(const QByteArray& baBytes) : m_baBytes(baBytes), m_stream(m_baBytes)
    {
        m_stream.setVersion(kPaletteStreamVersion);
    }

    const QString& error() const { return m_strError; }

    // One variant of one of the allowed types; nothing on failure, with error() set.
    std::optional<QVariant> read(const char* szWhat, const std::vector<int>& allowed)
    {
        quint32 nType = 0;
        qint8 nNull = 0;
        m_stream >> nType >> nNull;
        if (m_stream.status() != QDataStream::Ok)
            return fail(szWhat, "ends early");
        bool bAllowed = false;
        for (int n : allowed)
            bAllowed = bAllowed || static_cast<int>(nType) == n;
        if (!bAllowed)
            return fail(szWhat, QStringLiteral("has type %1").arg(nType));
        switch (nType) {
        case QMetaType::QString:
            return readString(szWhat);
        case QMetaType::QVariantList:
            return readList(szWhat);
        default:
            break;
        }
        if (nType == QMetaType::QColor)
            return readColour(szWhat);
        QVariant value(static_cast<int>(nType), nullptr);
        if (!QMetaType::load(m_stream, static_cast<int>(nType), value.data()) || m_stream.status() != QDataStream::Ok)
            return fail(szWhat, "ends early");
        return value;
    }

    // The element types of a band list.
    void setElementTypes(std::vector<int> types) { m_elementTypes = std::move(types); }

private:
    qint64 left() const { return m_stream.device()->bytesAvailable(); }

    std::optional<QVariant> fail(const char* szWhat, const QString& strWhy)
    {
        if (m_strError.isEmpty())
            m_strError = QStringLiteral("%1 %2").arg(QLatin1String(szWhat), strWhy);
        return std::nullopt;
    }

    // A colour's spec byte is checked before the colour is built from it.
    std::optional<QVariant> readColour(const char* szWhat)
    {
        QByteArray baColour(11, '\0');
        if (m_stream.readRawData(baColour.data(), baColour.size()) != baColour.size())
            return fail(szWhat, "ends early");
        const auto nSpec = static_cast<qint8>(baColour.at(0));
        if (nSpec < QColor::Invalid || nSpec > QColor::ExtendedRgb)
            return fail(szWhat, QStringLiteral("has colour spec %1").arg(nSpec));
        QDataStream colourStream(baColour);
        colourStream.setVersion(kPaletteStreamVersion);
        QColor colour;
        colourStream >> colour;
        return QVariant(colour);
    }

    std::optional<QVariant> readString(const char* szWhat)
    {
        quint32 nBytes = 0;
        m_stream >> nBytes;
        if (m_stream.status() != QDataStream::Ok)
            return fail(szWhat, "ends early");
        if (nBytes == 0xFFFFFFFFu)
            return QVariant(QString());
        if (nBytes % 2 != 0 || nBytes > left())
            return fail(szWhat, QStringLiteral("announces %1 bytes").arg(nBytes));
        QByteArray baUtf16(static_cast<int>(nBytes), '\0');
        m_stream.readRawData(baUtf16.data(), static_cast<int>(nBytes));
        QString str(static_cast<int>(nBytes / 2), Qt::Uninitialized);
        for (int i = 0; i < str.size(); ++i)
            str[i] = QChar(static_cast<ushort>((static_cast<uchar>(baUtf16[2 * i]) << 8) | static_cast<uchar>(baUtf16[2 * i + 1])));
        return QVariant(str);
    }

    std::optional<QVariant> readList(const char* szWhat)
    {
        quint32 nCount = 0;
        m_stream >> nCount;
        if (m_stream.status() != QDataStream::Ok)
            return fail(szWhat, "ends early");
        // An element is at least a type, a null flag and one byte of value.
        if (nCount > left() / 6)
            return fail(szWhat, QStringLiteral("announces %1 entries").arg(nCount));
        QVariantList list;
        list.reserve(static_cast<int>(nCount));
        for (quint32 i = 0; i < nCount; ++i) {
            std::optional<QVariant> element = read(szWhat, m_elementTypes);
            if (!element)
                return std::nullopt;
            list.append(*element);
        }
        return QVariant(list);
    }

    QByteArray m_baBytes;
    QDataStream m_stream;
    std::vector<int> m_elementTypes;
    QString m_strError;
};

} // namespace

ColorMap::ColorMap(QObject* poParent) : QObject(poParent)
{
    cacheHsva(m_startColor, m_aStartHsva);
    cacheHsva(m_stopColor, m_aStopHsva);
}

ColorMap::~ColorMap() = default;

void ColorMap::setStartColor(const QColor& color)
{
    m_startColor = color;
    cacheHsva(m_startColor, m_aStartHsva);
}

void ColorMap::setStopColor(const QColor& color)
{
    m_stopColor = color;
    cacheHsva(m_stopColor, m_aStopHsva);
}

QColor ColorMap::eval(double t, double dMin, double dMax) const
{
    if (m_bStatic)
        return m_startColor;

    const int nBands = std::min({m_startList.size(), m_stopList.size(), m_colorList.size()});
    for (int i = 0; i < nBands; ++i) {
        const double s = m_startList.at(i).toDouble();
        const double e = m_stopList.at(i).toDouble();
        if (s <= t && t < e)
            return m_colorList.at(i).value<QColor>();
    }

    const double lo = m_bAutoMin ? dMin : m_dMin;
    const double hi = m_bAutoMax ? dMax : m_dMax;
    if (std::isnan(t) || !std::isfinite(lo) || !std::isfinite(hi))
        return QColor(Qt::transparent);
    if (lo == hi) {
        if (lo == 0.0)
            return QColor(Qt::transparent);
        if (m_bAutoMin || m_bAutoMax)
            return m_startColor;
    }
    if (lo >= hi)
        return QColor(Qt::transparent);

    const double width = hi - lo;
    if (t < lo || t > hi) {
        switch (m_eEndMode) {
        case CLAMP:
            t = t < lo ? lo : hi;
            break;
        case WRAP: {
            // Shifted by whole widths: below the range into [lo, hi), above it into (lo, hi].
            if (!std::isfinite(t))
                return QColor(Qt::transparent);
            const double r = std::fmod(t - lo, width);
            if (t < lo)
                t = r < 0 ? lo + r + width : lo;
            else
                t = r > 0 ? lo + r : hi;
            t = std::min(std::max(t, lo), hi);
            break;
        }
        default:
            return QColor(Qt::transparent);
        }
    }

    double h0 = m_aStartHsva[0];
    double h1 = m_aStopHsva[0];
    if (m_eDirection == CW) {
        if (h0 > h1)
            h1 += 1.0;
    } else if (h1 > h0) {
        h0 += 1.0;
    }
    const double f = (t - lo) / width;
    double hue = h0 + (h1 - h0) * f;
    const double s = (1.0 - f) * m_aStartHsva[1] + f * m_aStopHsva[1];
    const double v = (1.0 - f) * m_aStartHsva[2] + f * m_aStopHsva[2];
    const double a = (1.0 - f) * m_aStartHsva[3] + f * m_aStopHsva[3];
    while (hue > 1.0)
        hue -= 1.0;
    while (hue < 0.0)
        hue += 1.0;
    const auto unit = [](double d) { return std::min(std::max(d, 0.0), 1.0); };
    return QColor::fromHsvF(hue, unit(s), unit(v), unit(a));
}

QPixmap ColorMap::render(const QSize& size, double tmin, double tmax) const
{
    const int w = size.width();
    const int h = size.height();
    if (w <= 0 || h <= 0)
        return QPixmap();
    QImage image(w, 1, QImage::Format_ARGB32);
    auto* pLine = reinterpret_cast<QRgb*>(image.scanLine(0));
    for (int i = 0; i < w; ++i)
        pLine[i] = eval(tmin + i * (tmax - tmin) / w, tmin, tmax).rgba();
    return QPixmap::fromImage(image).scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QByteArray ColorMap::save() const
{
    QByteArray baBytes;
    QDataStream stream(&baBytes, QIODevice::WriteOnly);
    stream.setVersion(kPaletteStreamVersion);
    // The enumerations travel as plain ints, whichever meta-types are registered.
    stream << QVariant(objectName()) << QVariant(m_startColor) << QVariant(m_stopColor) << QVariant(m_dMin)
           << QVariant(m_dMax) << QVariant(m_bAutoMin) << QVariant(m_bAutoMax) << QVariant(static_cast<int>(m_eEndMode))
           << QVariant(static_cast<int>(m_eDirection)) << QVariant(m_startList) << QVariant(m_stopList)
           << QVariant(m_colorList) << QVariant(m_bStatic);
    return baBytes;
}

bool ColorMap::load(const QByteArray& b, QString* pstrError)
{
    PaletteReader reader(b);
    const std::vector<int> numbers = {QMetaType::Double, QMetaType::Float,    QMetaType::Int,
                                                QMetaType::UInt,   QMetaType::LongLong, QMetaType::ULongLong};
    const auto name = reader.read("name", {QMetaType::QString});
    const auto startColor = name ? reader.read("start colour", {QMetaType::QColor}) : std::nullopt;
    const auto stopColor = startColor ? reader.read("stop colour", {QMetaType::QColor}) : std::nullopt;
    const auto min = stopColor ? reader.read("min", numbers) : std::nullopt;
    const auto max = min ? reader.read("max", numbers) : std::nullopt;
    const auto autoMin = max ? reader.read("autoMin", {QMetaType::Bool}) : std::nullopt;
    const auto autoMax = autoMin ? reader.read("autoMax", {QMetaType::Bool}) : std::nullopt;
    const auto endMode = autoMax ? reader.read("end mode", {QMetaType::Int}) : std::nullopt;
    const auto direction = endMode ? reader.read("direction", {QMetaType::Int}) : std::nullopt;
    reader.setElementTypes(numbers);
    const auto starts = direction ? reader.read("band starts", {QMetaType::QVariantList}) : std::nullopt;
    const auto stops = starts ? reader.read("band stops", {QMetaType::QVariantList}) : std::nullopt;
    reader.setElementTypes({QMetaType::QColor, QMetaType::QString});
    const auto colours = stops ? reader.read("band colours", {QMetaType::QVariantList}) : std::nullopt;
    reader.setElementTypes({});
    const auto isStatic = colours ? reader.read("static flag", {QMetaType::Bool}) : std::nullopt;

    QString strError = reader.error();
    if (strError.isEmpty() && (!std::isfinite(min->toDouble()) || !std::isfinite(max->toDouble())))
        strError = QStringLiteral("range is not finite");
    if (strError.isEmpty() && (endMode->toInt() < CLAMP || endMode->toInt() > CUT))
        strError = QStringLiteral("end mode %1 is not known").arg(endMode->toInt());
    if (strError.isEmpty() && (direction->toInt() < CW || direction->toInt() > CCW))
        strError = QStringLiteral("direction %1 is not known").arg(direction->toInt());
    if (!strError.isEmpty()) {
        if (pstrError)
            *pstrError = QStringLiteral("Not a palette: %1").arg(strError);
        return false;
    }

    setObjectName(name->toString());
    setStartColor(startColor->value<QColor>());
    setStopColor(stopColor->value<QColor>());
    m_dMin = min->toDouble();
    m_dMax = max->toDouble();
    m_bAutoMin = autoMin->toBool();
    m_bAutoMax = autoMax->toBool();
    m_eEndMode = static_cast<EndMode>(endMode->toInt());
    m_eDirection = static_cast<Direction>(direction->toInt());
    m_startList = starts->toList();
    m_stopList = stops->toList();
    m_colorList = colours->toList();
    m_bStatic = isStatic->toBool();
    return true;
}

ColorMap* ColorMap::copy() const
{
    auto* poCopy = new ColorMap();
    poCopy->load(save());
    return poCopy;
}
