#include "TqelRuntime/PuMsgModel.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <QDateTime>
#include <QDebug>

#include <exception>

namespace {

constexpr int LockWaitMs = 100;

const log4cplus::Logger& messagesLogger()
{
    static const log4cplus::Logger oLogger = [] {
        log4cplus::Logger oNew = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("MESSAGES"));
        LOG4CPLUS_INFO(oNew, LOG4CPLUS_TEXT("MESSAGES::init"));
        return oNew;
    }();
    return oLogger;
}

QString oneLine(QString strText)
{
    return strText.replace(QLatin1Char('\n'), QLatin1Char(' '));
}

// Locks for the scope when the mutex could be taken within the wait.
class TimedLock {
public:
    TimedLock(QRecursiveMutex& oMutex, int nWaitMs) : m_oMutex(oMutex), m_bLocked(oMutex.tryLock(nWaitMs)) {}
    ~TimedLock()
    {
        if (m_bLocked)
            m_oMutex.unlock();
    }
    TimedLock(const TimedLock&) = delete;
    TimedLock& operator=(const TimedLock&) = delete;
    bool locked() const { return m_bLocked; }

private:
    QRecursiveMutex& m_oMutex;
    bool m_bLocked;
};

} // namespace

QString CPuMsg::severityText(int nType)
{
    switch (nType) {
    case 1:
    case 11:
    case 101:
    case 111:
        return QStringLiteral("Info");
    case 2:
    case 12:
    case 102:
    case 112:
        return QStringLiteral("Warn.");
    case 3:
    case 13:
    case 103:
    case 113:
    case 123:
    case 1113:
        return QStringLiteral("Err.");
    default:
        return QStringLiteral("I");
    }
}

CPuMsgModel::CPuMsgModel(QObject* poParent) : QAbstractTableModel(poParent)
{
    messagesLogger();
}

int CPuMsgModel::rowCount(const QModelIndex& oParent) const
{
    if (oParent.isValid())
        return 0;
    QMutexLocker oLock(&m_oMutex);
    return m_lstMessages.size();
}

int CPuMsgModel::columnCount(const QModelIndex& oParent) const
{
    return oParent.isValid() ? 0 : 4;
}

QVariant CPuMsgModel::data(const QModelIndex& oIndex, int nRole) const
{
    if (!oIndex.isValid() || (nRole != Qt::DisplayRole && nRole != Qt::EditRole))
        return {};
    QMutexLocker oLock(&m_oMutex);
    if (oIndex.row() < 0 || oIndex.row() >= m_lstMessages.size())
        return {};
    const CPuMsg& oMsg = m_lstMessages.at(oIndex.row());
    switch (oIndex.column()) {
    case 0:
        return QDateTime::fromMSecsSinceEpoch(oMsg.time).toString(QStringLiteral("hh:mm:ss"));
    case 1:
        return CPuMsg::severityText(oMsg.type);
    case 2:
        return oneLine(oMsg.detail);
    case 3:
        return oMsg.dismissed;
    default:
        return {};
    }
}

bool CPuMsgModel::setData(const QModelIndex& oIndex, const QVariant& oValue, int nRole)
{
    if (!oIndex.isValid() || nRole != Qt::EditRole)
        return false;
    {
        QMutexLocker oLock(&m_oMutex);
        if (oIndex.row() < 0 || oIndex.row() >= m_lstMessages.size())
            return false;
        CPuMsg& oMsg = m_lstMessages[oIndex.row()];
        switch (oIndex.column()) {
        case 0:
            oMsg.time = oValue.toLongLong();
            break;
        case 1:
            oMsg.type = oValue.toInt();
            break;
        case 2:
            oMsg.detail = oValue.toString();
            break;
        default:
            return false;
        }
    }
    emit dataChanged(oIndex, oIndex);
    return true;
}

QVariant CPuMsgModel::headerData(int nSection, Qt::Orientation eOrientation, int nRole) const
{
    if (eOrientation != Qt::Horizontal || nRole != Qt::DisplayRole)
        return {};
    static const char* const s_aszHeaders[] = {"Time", "I/W/E", "Message", "Dismissed"};
    if (nSection < 0 || nSection > 3)
        return {};
    return QString::fromLatin1(s_aszHeaders[nSection]);
}

bool CPuMsgModel::insertRows(int nRow, int nCount, const QModelIndex& oParent)
{
    if (oParent.isValid())
        return false;
    QMutexLocker oLock(&m_oMutex);
    return insertRowsLocked(nRow, nCount);
}

bool CPuMsgModel::insertRowsLocked(int nRow, int nCount)
{
    if (m_lstMessages.size() > MaxRows || nCount < 1 || nRow < 0 || nRow > m_lstMessages.size())
        return false;
    // The table never grows past one row beyond its limit, whatever a caller asks.
    nCount = qMin(nCount, MaxRows + 1 - m_lstMessages.size());
    beginInsertRows(QModelIndex(), nRow, nRow + nCount - 1);
    for (int i = 0; i < nCount; ++i)
        m_lstMessages.prepend(CPuMsg());
    endInsertRows();
    return true;
}

bool CPuMsgModel::removeRows(int nRow, int nCount, const QModelIndex& oParent)
{
    if (oParent.isValid() || nCount < 1)
        return false;
    Q_UNUSED(nRow)
    int nRows = 0;
    {
        QMutexLocker oLock(&m_oMutex);
        for (CPuMsg& oMsg : m_lstMessages)
            oMsg.dismissed = true;
        nRows = m_lstMessages.size();
    }
    // No row goes: a removal announced here would leave a view's rows out of step with the list.
    if (nRows > 0)
        emit dataChanged(index(0, 3), index(nRows - 1, 3));
    return true;
}

Qt::ItemFlags CPuMsgModel::flags(const QModelIndex& oIndex) const
{
    if (!oIndex.isValid())
        return Qt::ItemIsEnabled;
    return QAbstractTableModel::flags(oIndex) | Qt::ItemIsEditable;
}

void CPuMsgModel::append(const CPuMsg& oMsg)
{
    TimedLock oLock(m_oMutex, LockWaitMs);
    if (!oLock.locked())
        return;
    try {
        const QString strDetail = oneLine(oMsg.detail);
        const QString strWord = CPuMsg::severityText(oMsg.type);
        const std::string strLine = strDetail.toLocal8Bit().toStdString();
        if (strWord == QLatin1String("Warn."))
            LOG4CPLUS_WARN(messagesLogger(), strLine);
        else if (strWord == QLatin1String("Err."))
            LOG4CPLUS_ERROR(messagesLogger(), strLine);
        else
            LOG4CPLUS_INFO(messagesLogger(), strLine);
        insertRowsLocked(0, 1);
        if (!m_lstMessages.isEmpty()) {
            m_lstMessages.first() = oMsg;
            emit dataChanged(index(0, 0), index(0, 3));
        }
    } catch (const std::exception&) {
        qDebug() << "Exception in CPuMsgModel::append";
    }
}

void Worker::process()
{
    if (m_poModel)
        m_poModel->append(m_oMsg);
    emit finished();
}
