// The processing units' messages (information, warnings, errors) as a four-column table, newest
// first.
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QRecursiveMutex>
#include <QObject>
#include <QString>

// One message of a processing unit.
struct CPuMsg {
    qint64 time = 0; // ms since the epoch
    int type = 0;
    QString text;
    QString detail;
    QString extra; // always empty
    bool dismissed = false;

    // "Info", "Warn.", "Err." or "I".
    static QString severityText(int nType);
};

class CPuMsgModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The table stops growing past this many rows; later messages replace the newest.
    static constexpr int MaxRows = 2048;

    explicit CPuMsgModel(QObject* poParent = nullptr);

    int rowCount(const QModelIndex& oParent = QModelIndex()) const override;
    int columnCount(const QModelIndex& oParent = QModelIndex()) const override;
    QVariant data(const QModelIndex& oIndex, int nRole = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& oIndex, const QVariant& oValue, int nRole = Qt::EditRole) override;
    QVariant headerData(int nSection, Qt::Orientation eOrientation, int nRole = Qt::DisplayRole) const override;
    bool insertRows(int nRow, int nCount, const QModelIndex& oParent = QModelIndex()) override;
    // Marks every message dismissed; none is removed.
    bool removeRows(int nRow, int nCount, const QModelIndex& oParent = QModelIndex()) override;
    Qt::ItemFlags flags(const QModelIndex& oIndex) const override;

    // Adds a message at the top and logs its detail; dropped when the list stays busy 100 ms.
    void append(const CPuMsg& oMsg);

private:
    bool insertRowsLocked(int nRow, int nCount);

    // Recursive: a view attached on this thread reads the model inside the change signals.
    mutable QRecursiveMutex m_oMutex;
    QList<CPuMsg> m_lstMessages;
};

// Appends one message to the table on the thread it runs on, then reports that it is done.
class Worker : public QObject {
    Q_OBJECT
public:
    Worker(const CPuMsg& oMsg, CPuMsgModel* poModel) : m_oMsg(oMsg), m_poModel(poModel) {}

signals:
    void finished();
    void error(QString err);

public slots:
    void process();

private:
    CPuMsg m_oMsg;
    CPuMsgModel* m_poModel;
};
