// State of the runtime link's live survey handlers (replies, processing-unit messages, vessel
// positions, real-time depths); runtime thread only. Not part of the library's interface.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QSet>
#include <QString>
#include <QThread>
#include <QUdpSocket>

#include <chrono>
#include <cstdint>

#include <sys/socket.h>
#include <sys/uio.h>
#include <functional>
#include <memory>
#include <vector>

class CPuMsgModel;
class QTimer;

namespace live_detail {

// A depth-tail name from the network is refused beyond this many distinct names, or when longer.
constexpr int MaxDepthTailNames = 16;
constexpr int MaxDepthTailNameLength = 128;
// Sources of processing-unit messages whose last message is kept for request 463.
constexpr int MaxCachedPuSources = 256;

struct DepthState {
    bool bIntervalRead = false;
    int nUpdateIntervalMs = 0;
    qint64 nLastTailUpdate = 0;
    qint64 nLastProjection = 0;
    quint16 nExpectedSequence = 0;
    std::vector<double> adLatitudes;
    std::vector<double> adLongitudes;
    std::vector<double> adDepths;
    std::vector<double> adPoints; // x, y, z per point, metres
    std::vector<double> adNorths;  // projection step outputs, kept for their capacity
    std::vector<double> adEasts;
    QSet<QString> setTailNames;
    bool bTailNameWarned = false;
    // Relay to the display stations.
    bool bRelayReady = false;
    std::unique_ptr<QUdpSocket> poRelaySocket;
    quint16 nRelayPort = 0;
    bool bRelayNoMulticast = false;
    int nRelayIntervalMs = 4000;
    qint64 nLastRelay = 0;
};

struct PositionState {
    bool bRemoteClientDecided = false;
    bool bHaveLast = false;
    qint32 nLastLatitude = 0;
    qint32 nLastLongitude = 0;
    QByteArray baLastPosition; // 288 bytes once a valid datagram arrived
    bool bForwardReady = false;
    std::unique_ptr<QUdpSocket> poForwardSocket;
    std::unique_ptr<QUdpSocket> poPlanningSocket;
    quint16 nForwardPort = 0;
    bool bForwardNoMulticast = false;
    bool bFollowIntervalRead = false;
    qint64 nFollowIntervalMs = 5000;
    qint64 nLastFollow = 0;
    bool bFollowStarted = false;
};

// Senders of position datagrams not followed that are named in the log; the rest are counted.
constexpr int MaxLoggedIgnoredSenders = 8;
// The GUI hears of a new position sender at most this often.
constexpr int SenderRelayIntervalMs = 250;
// Calls of the system per call of the position read slot (each reads up to a batch).
constexpr int PositionReadRounds = 8;

// Datagrams read from a socket in one call of the system (recvmmsg), each with its sender.
class DatagramBatch {
public:
    static constexpr int Size = 32;
    static constexpr int MaxBytes = 65536;
    DatagramBatch();
    // Reads what is waiting, without waiting; the number of datagrams read (0 on none or error).
    int receive(int nDescriptor);
    void take(int n, QByteArray& baDatagram) const;
    QHostAddress sender(int n) const;

private:
    std::vector<char> m_buffer;
    std::vector<sockaddr_storage> m_senders;
    std::vector<iovec> m_vectors;
    std::vector<mmsghdr> m_headers;
};

// Which station's positions are taken, and the code-22 relays of the sender (runtime thread).
struct SenderState {
    bool bPinRead = false;
    QString strPinned; // this installation's main station; empty: the first sender
    QSet<QString> setIgnoredLogged;
    quint64 nIgnored = 0;
    QString strCurrent;  // sender of the last datagram taken
    QString strRelayed;  // sender last relayed with code 22
    bool bRelayed = false;
    bool bRelayScheduled = false;
    std::chrono::steady_clock::time_point tLastRelay{};
    // The read slot: its batch and buffer, and the last sender's address, text and verdict.
    DatagramBatch oBatch;
    QByteArray baDatagram;
    QHostAddress oLastAddress;
    QString strLastAddress;
    bool bLastAddressTaken = false;
};

// Joins the processing-unit message thread before the model goes.
struct PuThreadStopper {
    void operator()(QThread* poThread) const;
};

} // namespace live_detail

class CLiveLinkState {
public:
    CLiveLinkState();
    ~CLiveLinkState();

    std::function<qint64()> fnNowMs;
    live_detail::DepthState depth;
    live_detail::SenderState sender;
    live_detail::PositionState position;

    // Replies and requests.
    QString strLastStarted;
    QTimer* poStartTimer = nullptr; // child of the link

    // Processing-unit messages: the model lives on its own thread, which ends first.
    std::unique_ptr<CPuMsgModel> poPuModel;
    std::unique_ptr<QThread, live_detail::PuThreadStopper> poPuThread;
    QHash<QString, QByteArray> hashPuCache;
    QString strLastPuSource;
    quint64 nLastPuSourceStamp = 0;
    bool bPuRelayed = false;
    bool bPuCacheWarned = false;
};
