// The position ring buffer: frame checks, the keep flag, the ring's wrap, the counters and the
// exact dump and discard texts.
#include "PositionDatagram.h"

#include "TqelRuntime/RtdPositionBuffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using corvtest::PositionFix;
using corvtest::positionDatagram;

namespace {

class TextSink : public IRtdTextSink
{
public:
    void write(const char* szText) override { texts.emplace_back(szText); }
    std::string joined() const
    {
        std::string all;
        for (const std::string& text : texts)
            all += text;
        return all;
    }
    std::vector<std::string> texts;
};

bool store(CRtdPositionBuffer& buffer, const QByteArray& datagram)
{
    return buffer.store(datagram.constData(), datagram.size());
}

PositionFix fixAt(std::uint32_t nTimeMs)
{
    PositionFix fix;
    fix.nTimeMs = nTimeMs;
    fix.nLatitude = static_cast<std::int32_t>(nTimeMs);
    return fix;
}

} // namespace

TEST(RtdPositionBuffer, FrameChecksDecideWhatIsStored)
{
    struct Case
    {
        const char* what;
        QByteArray datagram;
        bool bStored;
    };
    PositionFix p = fixAt(1000);
    p.cType = 'P';
    PositionFix other = fixAt(1000);
    other.cType = 'X';
    QByteArray noStx = positionDatagram(fixAt(1000));
    noStx[0] = 0x01;
    const QByteArray full = positionDatagram(fixAt(1000));
    const std::vector<Case> cases{
        {"Q datagram", full, true},
        {"P datagram", positionDatagram(p), true},
        {"other type", positionDatagram(other), false},
        {"no STX", noStx, false},
        {"16 bytes", full.left(16), false},
        {"17 bytes, fields cut off", full.left(17), false},
        {"32 bytes, keep flag cut off", full.left(32), false},
        {"33 bytes, fields and flag", full.left(33), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CRtdPositionBuffer buffer(40, "HED_POS_BUF", nullptr, 0);
        EXPECT_TRUE(store(buffer, c.datagram));
        EXPECT_EQ(buffer.size(), c.bStored ? 1u : 0u);
        EXPECT_EQ(buffer.storeCount(), c.bStored ? 1u : 0u);
    }
    CRtdPositionBuffer buffer(40, "HED_POS_BUF", nullptr, 0);
    EXPECT_TRUE(buffer.store(nullptr, 50));
    EXPECT_TRUE(buffer.store(full.constData(), -5));
    EXPECT_EQ(buffer.size(), 0u);
}

TEST(RtdPositionBuffer, DiscardsAreReportedOnlyWithFlagAndSink)
{
    QByteArray bad = positionDatagram(fixAt(1000));
    bad[1] = 'Z';
    TextSink sink;
    CRtdPositionBuffer reporting(40, "A_VERY_LONG_BUFFER_NAME", &sink, CRtdBuffer::RTD_REPORT_DISCARDS);
    store(reporting, bad);
    EXPECT_EQ(sink.texts, (std::vector<std::string>{"\n", "\n*RTD: A_VERY_LONG_B: Buffer", "\n", "\n BAD FORMAT: Datagram Discarded."}));

    TextSink quiet;
    CRtdPositionBuffer silent(40, "HED_POS_BUF", &quiet, CRtdBuffer::RTD_DUMP_BUFFER);
    store(silent, bad);
    EXPECT_TRUE(quiet.texts.empty());
}

TEST(RtdPositionBuffer, ChecksumWhenSwitchedOn)
{
    const QByteArray good = positionDatagram(fixAt(1000));
    QByteArray bad = good;
    bad[bad.size() - 2] = static_cast<char>(bad[bad.size() - 2] + 1);
    TextSink sink;
    CRtdPositionBuffer buffer(40, "HED_POS_BUF", &sink, CRtdBuffer::RTD_REPORT_DISCARDS);
    store(buffer, bad); // the check is off
    EXPECT_EQ(buffer.size(), 1u);
    buffer.setCheckSum(true);
    store(buffer, bad);
    EXPECT_EQ(buffer.size(), 1u);
    EXPECT_EQ(sink.joined(), "\n\n*RTD: HED_POS_BUF  : Buffer\n\n BAD CHECKSUM: Datagram Discarded.");
    store(buffer, good);
    EXPECT_EQ(buffer.size(), 2u);

    // The sum and trailer checks never read outside a short datagram.
    const char tiny[3] = {0x02, 'Q', 0x00};
    EXPECT_FALSE(buffer.checkSum16(tiny, 3));
    EXPECT_FALSE(buffer.checkLengthTrailer(tiny, 3));
    EXPECT_FALSE(buffer.checkSum16(nullptr, 40));
    const char trailer[8] = {1, 2, 3, 4, 1, 2, 3, 4};
    EXPECT_TRUE(buffer.checkLengthTrailer(trailer, 8));
    EXPECT_FALSE(buffer.checkLengthTrailer(trailer, 7));
}

TEST(RtdPositionBuffer, KeepFlagGatesStoringButNotTheTime)
{
    CRtdPositionBuffer buffer(40, "HED_POS_BUF", nullptr, 0);
    PositionFix unmarked = fixAt(5000);
    unmarked.nDescriptor = 0x7F;
    store(buffer, positionDatagram(unmarked));
    EXPECT_EQ(buffer.lastTime(), 5000u);
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_EQ(buffer.storeCount(), 0u);
    EXPECT_FALSE(buffer.isDirty(0));
    store(buffer, positionDatagram(fixAt(6000)));
    EXPECT_EQ(buffer.lastTime(), 6000u);
    EXPECT_TRUE(buffer.isDirty(0));
    EXPECT_FALSE(buffer.isDirty(1));
}

TEST(RtdPositionBuffer, RingFillsThenOverwritesTheOldest)
{
    CRtdPositionBuffer buffer(40, "HED_POS_BUF", nullptr, 0);
    store(buffer, positionDatagram(fixAt(1000)));
    EXPECT_EQ(buffer.newest(), 0u);
    ASSERT_NE(buffer.slot(0), nullptr);
    EXPECT_EQ(buffer.slot(0)->m_nTime, 1000u);
    store(buffer, positionDatagram(fixAt(2000)));
    EXPECT_EQ(buffer.newest(), 1u);
    EXPECT_EQ(buffer.oldest(), 0u);
    ASSERT_NE(buffer.slot(1), nullptr);
    EXPECT_EQ(buffer.slot(1)->m_nTime, 2000u);

    for (std::uint32_t n = 3; n <= 41; ++n)
        store(buffer, positionDatagram(fixAt(n * 1000)));
    EXPECT_EQ(buffer.size(), 40u);
    EXPECT_EQ(buffer.storeCount(), 41u);
    EXPECT_EQ(buffer.oldest(), 1u);
    EXPECT_EQ(buffer.newest(), 0u);
    EXPECT_EQ(buffer.at(0)->m_nTime, 2000u);
    EXPECT_EQ(buffer.at(39)->m_nTime, 41000u);
    EXPECT_EQ(buffer.at(39)->m_nLatitude, 41000);
    EXPECT_EQ(buffer.at(40), nullptr);
    EXPECT_EQ(buffer.slot(40), nullptr);

    // A reused record carries nothing of the one it replaced.
    PositionFix sparse = fixAt(42000);
    sparse.nHeading = 0;
    sparse.nSpeed = 0;
    sparse.nLatitude = 0;
    store(buffer, positionDatagram(sparse));
    EXPECT_EQ(buffer.at(39)->m_nLatitude, 0);

    buffer.clear();
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_EQ(buffer.storeCount(), 0u);
    EXPECT_EQ(buffer.lastTime(), 0u);
    EXPECT_EQ(buffer.slot(0), nullptr);
    store(buffer, positionDatagram(fixAt(43000)));
    EXPECT_EQ(buffer.newest(), 0u);
    EXPECT_EQ(buffer.at(0)->m_nTime, 43000u);

    CRtdPositionBuffer single(0, "ONE", nullptr, 0);
    EXPECT_EQ(single.capacity(), 1u);
    store(single, positionDatagram(fixAt(1000)));
    store(single, positionDatagram(fixAt(2000)));
    EXPECT_EQ(single.size(), 1u);
    EXPECT_EQ(single.at(0)->m_nTime, 2000u);
}

TEST(RtdPositionBuffer, DumpTexts)
{
    PositionFix fix;
    fix.nModel = 2040;
    fix.nDate = 20240102;
    fix.nTimeMs = 3723004;
    fix.nCount = 9;
    fix.nSerial = 17;
    fix.nLatitude = -1;
    fix.nLongitude = 123456789;
    fix.nQuality = 0xFFFF;
    fix.nSpeed = 512;
    fix.nCourse = 9000;
    fix.nHeading = 18000;
    TextSink sink;
    CRtdPositionBuffer buffer(40, "HED_POS_BUF", &sink, CRtdBuffer::RTD_DUMP_BUFFER | CRtdBuffer::RTD_DUMP_RECORD);
    buffer.dump(); // empty: the summary only
    EXPECT_EQ(sink.joined(), "\n\n*RTD: HED_POS_BUF : Buffer\n\n Buf Size:            0\n Buf Cap:            40\n");
    sink.texts.clear();

    store(buffer, positionDatagram(fix));
    buffer.dump();
    EXPECT_EQ(sink.texts.size(), 15u + 6u);
    EXPECT_EQ(sink.joined(), "\n\n*RTD: HED_POS_BUF : Record: 0\n"
                             "\n Model Number:                 2040"
                             "\n Date:                     20240102"
                             "\n Time:                      3723004"
                             "\n Sequential Count:                9"
                             "\n Serial Number:                  17"
                             "\n Latitude:               4294967295"
                             "\n Longitude:               123456789"
                             "\n Position Quality:            65535"
                             "\n Vessel Speed:                  512"
                             "\n Vessel Course:                9000"
                             "\n Vessel Heading:              18000"
                             "\n"
                             "\n\n*RTD: HED_POS_BUF : Buffer\n\n Buf Size:            1\n Buf Cap:            40\n");
    sink.texts.clear();
    buffer.dumpRecord(1);
    buffer.dumpRecord(0xFFFFFFFFu);
    EXPECT_TRUE(sink.texts.empty());

    CRtdPositionBuffer noSink(40, nullptr, nullptr, CRtdBuffer::RTD_DUMP_BUFFER | CRtdBuffer::RTD_DUMP_RECORD);
    store(noSink, positionDatagram(fix));
    noSink.dump(); // nothing to write to, and no name: no crash
}

TEST(RtdPositionBuffer, LogDataIsCutToItsBuffer)
{
    TextSink sink;
    CRtdBuffer off("LOGGER", &sink, 0);
    off.logData("%d", 1);
    EXPECT_TRUE(sink.texts.empty());

    CRtdBuffer on("LOGGER", &sink, CRtdBuffer::RTD_LOG_DATA);
    on.logData("x=%d", 7);
    ASSERT_EQ(sink.texts.size(), 1u);
    EXPECT_EQ(sink.texts[0], "\n*RTD: LOGGER      ::logData(): x=7");
    const std::string strLong(5000, 'a');
    on.logData("%s", strLong.c_str());
    ASSERT_EQ(sink.texts.size(), 2u);
    EXPECT_EQ(sink.texts[1].size(), 1023u);
}

TEST(RtdPositionBuffer, NameAndValueChecks)
{
    CRtdBuffer buffer("B", nullptr, 0);
    QByteArray data(21, '\0');
    data[4] = 'S';
    data[5] = 'O';
    data[6] = 'N';
    data[7] = 'R';
    corvtest::putLe(data, 8, static_cast<std::uint32_t>(-42), 4);
    EXPECT_TRUE(buffer.isNamed("SONRX", data.constData(), 21));
    EXPECT_FALSE(buffer.isNamed("SONA", data.constData(), 21));
    EXPECT_FALSE(buffer.isNamed("SONR", data.constData(), 20));
    EXPECT_FALSE(buffer.isNamed("SO", data.constData(), 21)); // short names never read past their end
    EXPECT_TRUE(buffer.hasValueAt8(-42, data.constData(), 21));
    EXPECT_FALSE(buffer.hasValueAt8(-42, data.constData(), 20));
    EXPECT_TRUE(buffer.store(nullptr, 0));
    EXPECT_EQ(buffer.storeCount(), 1u);
}
