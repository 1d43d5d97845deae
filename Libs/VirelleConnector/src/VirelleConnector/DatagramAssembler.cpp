#include "VirelleConnector/DatagramAssembler.h"

#include <QtEndian>

bool CDatagramAssembler::feed(const QByteArray& bytes, QList<QByteArray>& complete)
{
    int nOffset = 0;
    while (nOffset < bytes.size()) {
        if (m_baBuffer.size() < 4) {
            const int nTake = std::min(4 - m_baBuffer.size(), bytes.size() - nOffset);
            m_baBuffer.append(bytes.constData() + nOffset, nTake);
            nOffset += nTake;
            if (m_baBuffer.size() < 4)
                break;
        }
        const quint32 nLength = qFromLittleEndian<quint32>(m_baBuffer.constData());
        if (nLength < s_nMinLength || nLength > s_nMaxLength) {
            m_baBuffer.clear();
            return false;
        }
        const int nTake = std::min(int(nLength) - m_baBuffer.size(), bytes.size() - nOffset);
        m_baBuffer.append(bytes.constData() + nOffset, nTake);
        nOffset += nTake;
        if (m_baBuffer.size() == int(nLength)) {
            complete.append(m_baBuffer);
            m_baBuffer.clear();
        }
    }
    return true;
}
