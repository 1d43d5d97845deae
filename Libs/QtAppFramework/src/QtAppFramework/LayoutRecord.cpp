// Checks the bytes of a layout file before Qt reads them. Qt's restoreGeometry takes any rectangle
// and restoreState trusts counts, area indices and string lengths, so a damaged or hostile file
// could otherwise make a window larger than every screen, hang the reader or crash it.
#include "QtAppFramework/LayoutFile.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QRect>
#include <QScreen>

#include <cstdint>
#include <optional>

namespace {

// Bounds-checked big-endian reader over the bytes QDataStream wrote; any overrun fails it.
class CRecordReader {
public:
    explicit CRecordReader(QByteArray& baData) : m_baData(baData) {}

    bool ok() const { return m_bOk; }
    bool atEnd() const { return m_nPos == m_baData.size(); }
    int pos() const { return m_nPos; }

    std::uint8_t u8()
    {
        if (!need(1))
            return 0;
        return static_cast<std::uint8_t>(m_baData.at(m_nPos++));
    }
    std::uint16_t u16()
    {
        const std::uint16_t nHigh = u8();
        return static_cast<std::uint16_t>((nHigh << 8) | u8());
    }
    std::uint32_t u32()
    {
        const std::uint32_t nHigh = u16();
        return (nHigh << 16) | u16();
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }

    // A QString: byte length (0xFFFFFFFF for a null text), then UTF-16.
    bool skipString(std::uint32_t nMaxBytes)
    {
        const std::uint32_t nBytes = u32();
        if (!m_bOk)
            return false;
        if (nBytes == 0xFFFFFFFFu)
            return true;
        if (nBytes % 2 != 0 || nBytes > nMaxBytes || !need(static_cast<int>(nBytes)))
            return fail();
        m_nPos += static_cast<int>(nBytes);
        return true;
    }

    // Writes a 32-bit value over bytes already read at nPos.
    void patch32(int nPos, std::uint32_t nValue)
    {
        for (int i = 0; i < 4; ++i)
            m_baData[nPos + i] = static_cast<char>((nValue >> (24 - 8 * i)) & 0xFF);
    }

    bool fail()
    {
        m_bOk = false;
        return false;
    }

private:
    bool need(int nBytes)
    {
        if (!m_bOk || nBytes < 0 || m_baData.size() - m_nPos < nBytes)
            return fail();
        return true;
    }

    QByteArray& m_baData;
    int m_nPos = 0;
    bool m_bOk = true;
};

// Pixel values beyond this are not a window on any display.
constexpr std::int32_t MaxCoordinate = 100000;
// Docks nest a few levels at most; the format allows any depth.
constexpr int MaxNesting = 16;
// Object names of tool bars and docks.
constexpr std::uint32_t MaxNameBytes = 1024;

bool inRange(std::int32_t nValue, std::int32_t nLow, std::int32_t nHigh)
{
    return nValue >= nLow && nValue <= nHigh;
}

// The union of the screens' available areas; empty without screens.
QRect availableArea()
{
    QRect oArea;
    for (const QScreen* poScreen : QGuiApplication::screens())
        oArea = oArea.united(poScreen->availableGeometry());
    return oArea;
}

// A rectangle no larger than the area, moved to meet it when it lies wholly outside.
QRect keepWithin(QRect oRect, const QRect& oArea)
{
    if (oArea.isEmpty())
        return oRect;
    oRect.setWidth(qMin(oRect.width(), oArea.width()));
    oRect.setHeight(qMin(oRect.height(), oArea.height()));
    if (!oRect.intersects(oArea))
        oRect.moveTopLeft(QPoint(qBound(oArea.left(), oRect.left(), oArea.right() - oRect.width() + 1),
                                 qBound(oArea.top(), oRect.top(), oArea.bottom() - oRect.height() + 1)));
    return oRect;
}

// A QRect as QDataStream writes it (left, top, right, bottom), checked and kept within the area.
bool checkStreamRect(CRecordReader& oReader, const QRect& oArea)
{
    const int nPos = oReader.pos();
    const std::int32_t nLeft = oReader.i32();
    const std::int32_t nTop = oReader.i32();
    const std::int32_t nRight = oReader.i32();
    const std::int32_t nBottom = oReader.i32();
    if (!oReader.ok())
        return false;
    const bool bCoordinates = inRange(nLeft, -MaxCoordinate, MaxCoordinate) && inRange(nTop, -MaxCoordinate, MaxCoordinate)
                              && inRange(nRight, -MaxCoordinate, MaxCoordinate) && inRange(nBottom, -MaxCoordinate, MaxCoordinate);
    if (!bCoordinates)
        return oReader.fail();
    const QRect oRect(QPoint(nLeft, nTop), QPoint(nRight, nBottom));
    // An empty rectangle (a window never shown) is kept as it is.
    if (oRect.isEmpty())
        return nRight - nLeft >= -1 && nBottom - nTop >= -1 ? true : oReader.fail();
    const QRect oKept = keepWithin(oRect, oArea);
    if (oKept != oRect) {
        oReader.patch32(nPos, static_cast<std::uint32_t>(oKept.left()));
        oReader.patch32(nPos + 4, static_cast<std::uint32_t>(oKept.top()));
        oReader.patch32(nPos + 8, static_cast<std::uint32_t>(oKept.right()));
        oReader.patch32(nPos + 12, static_cast<std::uint32_t>(oKept.bottom()));
    }
    return true;
}

// The geometry record of QWidget::saveGeometry, versions 1 to 3.
bool checkGeometry(QByteArray& baGeometry, const QRect& oArea)
{
    CRecordReader oReader(baGeometry);
    if (oReader.u32() != 0x1D9D0CBu)
        return false;
    const std::uint16_t nMajor = oReader.u16();
    oReader.u16(); // minor version
    if (!oReader.ok() || nMajor < 1 || nMajor > 3)
        return false;
    if (!checkStreamRect(oReader, oArea) || !checkStreamRect(oReader, oArea))
        return false;
    const std::int32_t nScreen = oReader.i32();
    const std::uint8_t nMaximized = oReader.u8();
    const std::uint8_t nFullScreen = oReader.u8();
    if (!oReader.ok() || !inRange(nScreen, -1, 64) || nMaximized > 2 || nFullScreen > 4)
        return false;
    if (nMajor >= 2 && !inRange(oReader.i32(), 0, MaxCoordinate))
        return false;
    if (nMajor >= 3 && !checkStreamRect(oReader, oArea))
        return false;
    return oReader.ok() && oReader.atEnd();
}

// A floating window's x, y, width and height, written as four ints; the size is kept within the
// area.
bool checkFloatingRect(CRecordReader& oReader, const QRect& oArea)
{
    const int nPos = oReader.pos();
    const std::int32_t nX = oReader.i32();
    const std::int32_t nY = oReader.i32();
    const std::int32_t nWidth = oReader.i32();
    const std::int32_t nHeight = oReader.i32();
    if (!oReader.ok() || !inRange(nX, -MaxCoordinate, MaxCoordinate) || !inRange(nY, -MaxCoordinate, MaxCoordinate)
        || !inRange(nWidth, 0, MaxCoordinate) || !inRange(nHeight, 0, MaxCoordinate))
        return oReader.fail();
    if (nWidth == 0 || nHeight == 0)
        return true;
    const QRect oKept = keepWithin(QRect(nX, nY, nWidth, nHeight), oArea);
    oReader.patch32(nPos, static_cast<std::uint32_t>(oKept.x()));
    oReader.patch32(nPos + 4, static_cast<std::uint32_t>(oKept.y()));
    oReader.patch32(nPos + 8, static_cast<std::uint32_t>(oKept.width()));
    oReader.patch32(nPos + 12, static_cast<std::uint32_t>(oKept.height()));
    return true;
}

enum : std::uint8_t {
    VersionMarker = 0xff,
    ToolBarStateMarker = 0xfe,
    DockWidgetStateMarker = 0xfd,
    ToolBarStateMarkerEx = 0xfc,
    SequenceMarker = 0xfc,
    WidgetMarker = 0xfb,
    TabMarker = 0xfa,
    FloatingDockWidgetTabMarker = 0xf9,
};

// One dock area or nested sequence: marker, orientation, items.
bool checkDockInfo(CRecordReader& oReader, const QRect& oArea, int nDepth)
{
    if (nDepth > MaxNesting)
        return oReader.fail();
    const std::uint8_t nMarker = oReader.u8();
    if (nMarker == TabMarker)
        oReader.i32(); // index of the current tab; Qt checks it against the items
    else if (nMarker != SequenceMarker)
        return oReader.fail();
    const std::uint8_t nOrientation = oReader.u8();
    const std::int32_t nCount = oReader.i32();
    if (!oReader.ok() || (nOrientation != Qt::Horizontal && nOrientation != Qt::Vertical) || nCount < 0)
        return oReader.fail();
    // Every item takes bytes, so the count cannot outrun the data.
    for (std::int32_t i = 0; i < nCount && oReader.ok(); ++i) {
        const std::uint8_t nItem = oReader.u8();
        if (nItem == WidgetMarker) {
            oReader.skipString(MaxNameBytes);
            const std::uint8_t nFlags = oReader.u8();
            if (!oReader.ok() || nFlags > 3)
                return oReader.fail();
            if (nFlags & 2) {
                if (!checkFloatingRect(oReader, oArea))
                    return false;
            } else {
                const std::int32_t nPos = oReader.i32();
                const std::int32_t nSize = oReader.i32();
                oReader.i32();
                oReader.i32();
                if (!inRange(nPos, -1, MaxCoordinate) || !inRange(nSize, -1, MaxCoordinate))
                    return oReader.fail();
            }
        } else if (nItem == SequenceMarker) {
            const std::int32_t nPos = oReader.i32();
            const std::int32_t nSize = oReader.i32();
            oReader.i32();
            oReader.i32();
            if (!inRange(nPos, -1, MaxCoordinate) || !inRange(nSize, -1, MaxCoordinate))
                return oReader.fail();
            if (!checkDockInfo(oReader, oArea, nDepth + 1))
                return false;
        } else {
            return oReader.fail();
        }
    }
    return oReader.ok();
}

bool checkDockAreas(CRecordReader& oReader, const QRect& oArea)
{
    const std::int32_t nAreas = oReader.i32();
    if (!oReader.ok() || !inRange(nAreas, 0, 4))
        return oReader.fail();
    for (std::int32_t i = 0; i < nAreas; ++i) {
        const std::int32_t nArea = oReader.i32();
        const std::int32_t nWidth = oReader.i32();
        const std::int32_t nHeight = oReader.i32();
        // Qt indexes its four areas with this number unchecked.
        if (!oReader.ok() || !inRange(nArea, 0, 3) || !inRange(nWidth, -1, MaxCoordinate) || !inRange(nHeight, -1, MaxCoordinate))
            return oReader.fail();
        if (!checkDockInfo(oReader, oArea, 0))
            return false;
    }
    const std::int32_t nCentralWidth = oReader.i32();
    const std::int32_t nCentralHeight = oReader.i32();
    if (!inRange(nCentralWidth, -1, MaxCoordinate) || !inRange(nCentralHeight, -1, MaxCoordinate))
        return oReader.fail();
    for (int i = 0; i < 4; ++i) {
        const std::int32_t nCorner = oReader.i32();
        if (nCorner != Qt::LeftDockWidgetArea && nCorner != Qt::RightDockWidgetArea && nCorner != Qt::TopDockWidgetArea
            && nCorner != Qt::BottomDockWidgetArea)
            return oReader.fail();
    }
    return oReader.ok();
}

bool checkToolBars(CRecordReader& oReader, std::uint8_t nMarker, const QRect& oArea)
{
    const std::int32_t nLines = oReader.i32();
    if (!oReader.ok() || nLines < 0)
        return oReader.fail();
    for (std::int32_t nLine = 0; nLine < nLines && oReader.ok(); ++nLine) {
        const std::int32_t nArea = oReader.i32();
        const std::int32_t nCount = oReader.i32();
        if (!oReader.ok() || !inRange(nArea, 0, 3) || nCount < 0)
            return oReader.fail();
        for (std::int32_t i = 0; i < nCount && oReader.ok(); ++i) {
            oReader.skipString(MaxNameBytes);
            const std::uint8_t nShown = oReader.u8();
            const std::int32_t nPos = oReader.i32();
            const std::int32_t nSize = oReader.i32();
            const int nGeometryPos = oReader.pos();
            const std::uint32_t nGeometry0 = oReader.u32();
            if (!oReader.ok() || nShown > 3 || !inRange(nPos, -1, MaxCoordinate) || !inRange(nSize, -1, MaxCoordinate))
                return oReader.fail();
            if (nMarker != ToolBarStateMarkerEx)
                continue;
            const std::uint32_t nGeometry1 = oReader.u32();
            if (!oReader.ok() || !(nGeometry0 & 1))
                continue;
            // A floating tool bar: x and y offset by 0x7FFF in the low 16 bits, width and height
            // in the high ones.
            const QRect oRect(static_cast<int>((nGeometry0 >> 1) & 0xFFFF) - 0x7FFF,
                              static_cast<int>(nGeometry1 & 0xFFFF) - 0x7FFF,
                              static_cast<int>((nGeometry0 >> 17) & 0xFFFF), static_cast<int>((nGeometry1 >> 16) & 0xFFFF));
            if (oRect.isEmpty())
                continue;
            const QRect oKept = keepWithin(oRect, oArea);
            const std::uint32_t nX = static_cast<std::uint32_t>(oKept.x() + 0x7FFF) & 0xFFFF;
            const std::uint32_t nY = static_cast<std::uint32_t>(oKept.y() + 0x7FFF) & 0xFFFF;
            oReader.patch32(nGeometryPos, 1u | (nX << 1) | (static_cast<std::uint32_t>(oKept.width()) << 17));
            oReader.patch32(nGeometryPos + 4, nY | (static_cast<std::uint32_t>(oKept.height()) << 16));
        }
    }
    return oReader.ok();
}

// The record of QMainWindow::saveState: version marker and version, then the sections.
bool checkState(QByteArray& baState, int nVersion, const QRect& oArea)
{
    CRecordReader oReader(baState);
    if (oReader.i32() != VersionMarker || oReader.i32() != nVersion || !oReader.ok())
        return false;
    while (oReader.ok() && !oReader.atEnd()) {
        const std::uint8_t nMarker = oReader.u8();
        switch (nMarker) {
        case ToolBarStateMarker:
        case ToolBarStateMarkerEx:
            if (!checkToolBars(oReader, nMarker, oArea))
                return false;
            break;
        case DockWidgetStateMarker:
            if (!checkDockAreas(oReader, oArea))
                return false;
            break;
        case FloatingDockWidgetTabMarker:
            if (!checkStreamRect(oReader, oArea) || !checkDockInfo(oReader, oArea, 0))
                return false;
            break;
        default:
            return false;
        }
    }
    return oReader.ok();
}

} // namespace

bool CLayoutFile::apply(QMainWindow* poWindow, const QByteArray& baFile)
{
    if (!poWindow || baFile.isEmpty() || baFile.size() > MaxFileSize)
        return false;
    const int nLength = static_cast<unsigned char>(baFile.at(0));
    if (baFile.size() < 1 + nLength + 1)
        return false;
    QByteArray baGeometry = baFile.mid(1, nLength);
    QByteArray baState = baFile.mid(1 + nLength);
    const QRect oArea = availableArea();
    if (!checkGeometry(baGeometry, oArea) || !checkState(baState, 0, oArea))
        return false;

    // Qt may still refuse what passed: then the window goes back to where it was.
    const QByteArray baOldGeometry = poWindow->saveGeometry();
    const QByteArray baOldState = poWindow->saveState(0);
    if (poWindow->restoreGeometry(baGeometry) && poWindow->restoreState(baState, 0))
        return true;
    poWindow->restoreGeometry(baOldGeometry);
    poWindow->restoreState(baOldState, 0);
    return false;
}
