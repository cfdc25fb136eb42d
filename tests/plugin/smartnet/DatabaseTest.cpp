#include "FieldBytes.h"
#include "tests/plugin/frame/db/FilesOfSystems.h"
#include "tests/plugin/frame/db/KilledSaveLoop.h"
#include "tests/plugin/frame/db/RecordedNotices.h"
#include "SmartNetDatabase.h"
#include "SmartNetLog.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace fieldbytes;
using testsupport::readBytes;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeBytes;
using Bytes = std::vector<unsigned char>;

namespace {

const std::string kHeader = "Motorola Trunking Database 1";
const TSystemTime kLocal{2026, 12, 10, 4, 10, 14, 5, 250};
const TSystemTime kUtc{2026, 12, 10, 4, 10, 13, 5, 250};

Bytes HeaderBytes() { return Bytes(kHeader.begin(), kHeader.end()); }

// A system with something in every field and list.
TSmartNetSystemRecord Sample(uint16_t id, int radios = 2)
{
    TSmartNetSystemRecord r;
    r.BaseFrequency = 851000000 + id;
    r.ControlChannelFrequency = 851250000;
    for (size_t i = 0; i < r.Occupancy.size(); ++i)
        r.Occupancy[i] = int32_t(i * 3 + id);
    r.Ticks = 777;
    r.Reserved1[0] = 0xA1;
    r.Reserved2[131] = 0xA2;
    r.SystemIdentity = id;
    r.ChannelSize = 12500;
    r.Description = "County trunk " + std::to_string(id);
    SmartNetSetMapBit(r.ControlChannelMap, 10);
    SmartNetSetMapBit(r.TrafficChannelMap, 1023);
    r.SystemType = 2;
    r.Reserved3 = 0x5A;
    r.Created = kUtc;
    r.Reserved4 = {0x12, 0x34};
    for (int i = 0; i < radios; ++i)
        r.HeardRadios.push_back({uint16_t(0x100 + i), "Unit " + std::to_string(i)});
    r.ListB = {1, 2, 3, 4};
    r.ListC.assign(256, 0x33);
    r.ListD = {5, 6};
    r.ListE.assign(512, 0x55);
    return r;
}

Bytes Entry(const TSmartNetSystemRecord& r)
{
    TStoredEntry e = EncodeSmartNetSystem(r);
    Bytes out(e.Record.begin(), e.Record.end());
    for (const auto& l : e.Lists)
        out.insert(out.end(), l.begin(), l.end());
    return out;
}

struct SmartNetDb : ::testing::Test {
    TempDir dir;
    std::filesystem::path file = dir / "SmartNet.MEM";
    RecordedNotices notices;
    TSmartNetSystemRecord record;
    TSmartNetDatabase db{file, record};
    SmartNetDb()
    {
        db.SetReport(&notices);
        db.SetTimeSource([] { return kLocal; }, [] { return kUtc; });
    }
    TSmartNetSelection Select(uint16_t id, uint16_t step = 25000) { return db.SelectSystem(id, 851250000, step, -1); }
};

}  // namespace

TEST(SmartNetRecord, FieldsLieAtTheirOffsetsAndReadBack)
{
    const TSmartNetSystemRecord r = Sample(0x8000);
    const TStoredEntry e = EncodeSmartNetSystem(r);
    ASSERT_EQ(e.Record.size(), 4928u);
    const uint8_t* p = e.Record.data();
    EXPECT_EQ(GetI32(p + 0), 851000000 + 0x8000);
    EXPECT_EQ(GetI32(p + 4), 851250000);
    EXPECT_EQ(GetI32(p + 8 + 4 * 1023), 1023 * 3 + 0x8000);
    EXPECT_EQ(GetI32(p + 4104), 777);
    EXPECT_EQ(GetI32(p + 4108), 2);  // list counts
    EXPECT_EQ(GetI32(p + 4112), 2);
    EXPECT_EQ(GetI32(p + 4116), 1);
    EXPECT_EQ(p[4120], 0xA1);
    EXPECT_EQ(GetI32(p + 4252), 1);
    EXPECT_EQ(GetI32(p + 4256), 2);
    EXPECT_EQ(p[4391], 0xA2);
    EXPECT_EQ(GetU16(p + 4392), 0x8000);
    EXPECT_EQ(GetU16(p + 4394), 12500);
    EXPECT_EQ(GetText(p + 4396, 256), "County trunk 32768");
    EXPECT_EQ(p[4652 + 1], 1 << 2);   // control channel 10
    EXPECT_EQ(p[4780 + 127], 0x80);   // traffic channel 1023
    EXPECT_EQ(p[4908], 2);
    EXPECT_EQ(p[4909], 0x5A);
    EXPECT_EQ(GetU16(p + 4910), 2026);
    EXPECT_EQ(GetU16(p + 4924), 250);
    EXPECT_EQ(p[4927], 0x34);
    EXPECT_EQ(GetU16(e.Lists[0].data() + 256), 0x101);
    EXPECT_EQ(GetText(e.Lists[0].data() + 258, 254), "Unit 1");
    EXPECT_EQ(DecodeSmartNetSystem(e), r);
}

TEST_F(SmartNetDb, FirstStartCreatesTheHeaderOnly)
{
    EXPECT_EQ(db.OpenDatabase(), TDatabaseStatus::dsCreated);
    EXPECT_EQ(readBytes(file), HeaderBytes());
    EXPECT_EQ(readBytes(file).size(), 28u);
}

TEST_F(SmartNetDb, OldFileOfTwoRecordsIsConverted)
{
    TSmartNetSystemRecord a = Sample(0x0123), b = Sample(0x4567, 0);
    Bytes old;
    for (const auto& r : {a, b}) {
        const Bytes e = Entry(r);
        old.insert(old.end(), e.begin(), e.begin() + 4912);
        old.insert(old.end(), e.begin() + 4928, e.end());
    }
    a.Created = kLocal, a.Reserved4 = {0, 0};
    b.Created = kLocal, b.Reserved4 = {0, 0};
    Bytes expected = HeaderBytes();
    for (const auto& r : {a, b}) {
        const Bytes e = Entry(r);
        expected.insert(expected.end(), e.begin(), e.end());
    }
    // A trailing fragment shorter than a record is dropped, and the file as it was is kept beside it.
    Bytes fragment = old;
    fragment.insert(fragment.end(), 100, 0x77);
    writeBytes(file, fragment);
    {
        TSmartNetSystemRecord r;
        TSmartNetDatabase d(file, r);
        d.SetTimeSource([] { return kLocal; }, [] { return kUtc; });
        RecordedNotices recorder;
        d.SetReport(&recorder);
        EXPECT_EQ(d.OpenDatabase(), TDatabaseStatus::dsConverted);
        EXPECT_EQ(readBytes(file), expected);
        EXPECT_EQ(readBytes(dir / "SmartNet.MEM.damaged"), fragment);
        ASSERT_EQ(recorder.all().size(), 1u);
        EXPECT_EQ(recorder.all()[0].Caption, "Warning");
    }
    std::filesystem::remove(dir / "SmartNet.MEM.damaged");
    writeBytes(file, old);

    ASSERT_EQ(db.OpenDatabase(), TDatabaseStatus::dsConverted);
    EXPECT_FALSE(std::filesystem::exists(dir / "SmartNet_Temp.MEM"));
    EXPECT_FALSE(std::filesystem::exists(dir / "SmartNet.MEM.damaged"));
    EXPECT_EQ(readBytes(file), expected);
    const TSmartNetSelection s = Select(0x0123);
    EXPECT_TRUE(s.Found);
    EXPECT_EQ(s.ChannelSize, 12500);
    TSmartNetSystemRecord expectA = a;
    expectA.ControlChannelFrequency = 851250000;  // the tuned frequency
    EXPECT_EQ(record, expectA);
}

TEST_F(SmartNetDb, SavingTheSameSystemTwiceLeavesOneEntryAtTheEnd)
{
    ASSERT_EQ(db.OpenDatabase(), TDatabaseStatus::dsCreated);
    for (uint16_t id : {1, 2, 3}) {
        Select(id);
        record.Description = "System " + std::to_string(id);
    }
    Select(kSmartNetNoSystem);
    Select(1);
    db.SaveSystem(-1, 25000);
    db.SaveSystem(-1, 25000);
    const Bytes bytes = readBytes(file);
    ASSERT_EQ(bytes.size(), 28u + 3 * 4928);
    std::vector<uint16_t> order;
    for (size_t at = 28; at < bytes.size(); at += 4928)
        order.push_back(GetU16(bytes.data() + at + 4392));
    EXPECT_EQ(order, (std::vector<uint16_t>{2, 3, 1}));
}

TEST_F(SmartNetDb, UnknownSystemStartsEmptyWithTheWindowsStep)
{
    ASSERT_EQ(db.OpenDatabase(), TDatabaseStatus::dsCreated);
    const TSmartNetSelection s = Select(0x8000, 12500);
    EXPECT_FALSE(s.Found);
    EXPECT_EQ(s.SysIDText, "8000");
    EXPECT_EQ(s.CtrlChanFreqText, "851.2500 MHz");
    EXPECT_EQ(s.ControlChannel, -1);
    EXPECT_EQ(record.SystemIdentity, 0x8000);
    EXPECT_EQ(record.BaseFrequency, -1);
    EXPECT_EQ(record.ChannelSize, 12500);
    EXPECT_EQ(record.Created, kUtc);
    EXPECT_TRUE(record.HeardRadios.empty());
}

// A switch leaves the frequencies unknown until the next control-channel word; a save before it
// keeps what the file had.
TEST_F(SmartNetDb, SaveSoonAfterASwitchKeepsTheStoredFrequencies)
{
    ASSERT_EQ(db.OpenDatabase(), TDatabaseStatus::dsCreated);
    Select(7);
    record.BaseFrequency = 832200000;
    db.SaveSystem(752, 25000);
    EXPECT_EQ(record.ControlChannelFrequency, 832200000 + 752 * 25000);
    Select(8);
    const TSmartNetSelection s = Select(7);
    EXPECT_EQ(s.ControlChannel, (851250000 - 832200000) / 25000);
    record.BaseFrequency = -1;  // as the identity's confirmation leaves them
    record.ControlChannelFrequency = -1;
    db.SaveSystem(-1, 25000);
    Select(8);
    Select(7);
    EXPECT_EQ(record.BaseFrequency, 832200000);
}

// One damaged entry does not switch the database off: the systems before it are read, the file as it
// was is kept, and what is heard in the run is saved with them.
TEST_F(SmartNetDb, DamagedEntryLeavesTheCompleteOnesInUse)
{
    struct Case {
        const char* name;
        size_t offset;  // in the second record; 0 cuts the file
        int32_t count;
    } cases[] = {{"truncated", 0, 0}, {"negative count", 4108, -1}, {"huge count", 4116, 0x7FFFFFFF},
                 {"huge list E", 4256, 0x00FFFFFF}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes content = HeaderBytes();
        for (uint16_t id : {1, 2}) {
            const Bytes e = Entry(Sample(id));
            content.insert(content.end(), e.begin(), e.end());
        }
        const size_t second = 28 + Entry(Sample(1)).size();
        if (c.offset == 0)
            content.resize(content.size() - 100);
        else
            PutI32(content.data() + second + c.offset, c.count);
        writeBytes(file, content);
        std::filesystem::remove(dir / "SmartNet.MEM.damaged");
        TSmartNetSystemRecord r;
        TSmartNetDatabase d(file, r);
        RecordedNotices recorder;
        d.SetReport(&recorder);
        EXPECT_EQ(d.OpenDatabase(), TDatabaseStatus::dsRecovered);
        ASSERT_EQ(recorder.all().size(), 1u);
        EXPECT_EQ(recorder.all()[0].Caption, "Warning");
        EXPECT_EQ(readBytes(dir / "SmartNet.MEM.damaged"), content);
        EXPECT_TRUE(d.SelectSystem(1, 851250000, 25000, -1).Found);
        EXPECT_FALSE(d.SelectSystem(2, 851250000, 25000, -1).Found);
        r.Description = "heard in this run";
        EXPECT_EQ(d.SaveSystem(-1, 25000), TDatabaseStatus::dsOk);
        EXPECT_EQ(recorder.all().size(), 1u);
        // The first system stored (saved back when the second was selected), then the new second.
        const Bytes now = readBytes(file);
        ASSERT_EQ(now.size(), 28u + Entry(Sample(1)).size() + 4928);
        EXPECT_EQ(GetU16(now.data() + 28 + 4392), 1);
        TSmartNetSystemRecord again;
        TSmartNetDatabase next(file, again);
        EXPECT_EQ(next.OpenDatabase(), TDatabaseStatus::dsOk);
        EXPECT_TRUE(next.SelectSystem(2, 851250000, 25000, -1).Found);
        EXPECT_EQ(again.Description, "heard in this run");
    }
}

// Two systems with every list written by one window are read back whole by the next.
TEST_F(SmartNetDb, SystemsComeBackWholeInTheNextRun)
{
    ASSERT_EQ(db.OpenDatabase(), TDatabaseStatus::dsCreated);
    for (uint16_t id : {0x0101, 0x8000}) {
        Select(id, 12500);
        const TSmartNetSystemRecord created = record;
        record = Sample(id);
        record.Created = created.Created;
    }
    db.SaveSystem(-1, 12500);
    TSmartNetSystemRecord next;
    TSmartNetDatabase again(file, next);
    EXPECT_EQ(again.OpenDatabase(), TDatabaseStatus::dsOk);
    for (uint16_t id : {0x0101, 0x8000}) {
        EXPECT_TRUE(again.SelectSystem(id, 851250000, 25000, -1).Found);
        TSmartNetSystemRecord expected = Sample(id);
        expected.ControlChannelFrequency = 851250000;
        EXPECT_EQ(next, expected) << id;
    }
}

// A child saves one system after another and is killed at a moment of our choosing; whenever it
// dies the file must still be a good database holding every system.
TEST_F(SmartNetDb, KilledWhileSavingInALoopLeavesAGoodFile)
{
    ASSERT_EQ(db.OpenDatabase(), TDatabaseStatus::dsCreated);
    KillWhileSavingInALoop(
        4,
        [&](const std::function<void()>& ready) {
            TSmartNetSystemRecord r;
            TSmartNetDatabase child(file, r);
            for (uint16_t i = 0;; ++i) {
                child.SelectSystem(uint16_t(1 + i % 4), 851250000, 25000, -1);
                r.Ticks = i;
                if (i >= 4)
                    ready();
            }
        },
        [&](int round) {
            TSmartNetSystemRecord r;
            TSmartNetDatabase check(file, r);
            check.SetReport(&notices);
            EXPECT_EQ(check.OpenDatabase(), TDatabaseStatus::dsOk) << round;
            for (uint16_t id = 1; id <= 4; ++id)
                EXPECT_TRUE(check.SelectSystem(id, 851250000, 25000, -1).Found) << round << " " << id;
        });
}

TEST(SmartNetLogLine, TextAndCommaSeparatedLines)
{
    const TSystemTime t{2026, 3, 0, 7, 9, 5, 4, 0};
    TSmartNetOnAirEntry group{0x1234, 5, 0, 9, 5, 4, 1};
    TSmartNetOnAirEntry radio{0xBEEF, 612, 0, 9, 5, 4, 0};
    EXPECT_EQ(SmartNetLogLine(lfText, t, 0x8000, group, ';'),
              "07/03/2026 09:05:04 System=8000 Radio 1234-grp on channel    5\r\n");
    EXPECT_EQ(SmartNetLogLine(lfText, t, 0x0ABC, radio, ';'),
              "07/03/2026 09:05:04 System=0ABC Radio BEEF on channel  612\r\n");
    EXPECT_EQ(SmartNetLogLine(lfCommaSeparated, t, 0x8000, group, ';'), "07/03/2026;09:05:04;8000;1234-grp;5\r\n");
    EXPECT_EQ(SmartNetLogLine(3, t, 0x8000, group, ';'), "");
    EXPECT_EQ(SmartNetLogHeader(','), "Date,Time,System ID,Radio,Channel\r\n");
}

TEST(SmartNetLogFile, CommaSeparatedLogGetsItsHeaderOnce)
{
    TempDir dir;
    const auto path = dir / "calls.csv";
    const TSystemTime t{2026, 3, 0, 7, 9, 5, 4, 0};
    const TSmartNetOnAirEntry e{0x1234, 5, 0, 9, 5, 4, 1};
    for (int run = 0; run < 2; ++run) {
        TSmartNetLog log(',');
        std::filesystem::path name = path;
        int index = lfCommaSeparated;
        ASSERT_TRUE(log.LogFileClick(true, false, name, index, nullptr));
        EXPECT_TRUE(log.WriteLogEntry(t, 0x8000, e));
        EXPECT_FALSE(log.LogFileClick(false, true, name, index, nullptr));
    }
    EXPECT_EQ(readFile(path), "Date,Time,System ID,Radio,Channel\r\n07/03/2026,09:05:04,8000,1234-grp,5\r\n"
                              "07/03/2026,09:05:04,8000,1234-grp,5\r\n");
}

// Fifty systems, the second with a list count no file can hold, and beside it an unrelated copy under
// the name the damaged file is kept as: the file may be written over only once a copy of exactly its
// bytes lies beside it, here under the next free name.
TEST_F(SmartNetDb, DamagedFileBesideAnUnrelatedCopyIsKeptUnderTheNextName)
{
    // Each system with two heard radios and nothing in lists B to E: 5440 bytes.
    Bytes content = FileOfSystems(HeaderBytes(), 50, [](uint16_t id) {
        TSmartNetSystemRecord r = Sample(id, 2);
        r.ListB.clear();
        r.ListC.clear();
        r.ListD.clear();
        r.ListE.clear();
        return Entry(r);
    });
    ASSERT_EQ(content.size(), 28u + 50 * 5440);
    PutI32(content.data() + 28 + 5440 + 4108, 0x7FFFFFFF);
    writeBytes(file, content);
    const UnrelatedCopy unrelated(file);

    EXPECT_EQ(db.OpenDatabase(), TDatabaseStatus::dsRecovered);
    ASSERT_EQ(notices.all().size(), 1u);
    EXPECT_NE(notices.all()[0].Text.find("kept as " + unrelated.Next.string()), std::string::npos)
        << notices.all()[0].Text;
    EXPECT_EQ(readBytes(unrelated.Next), content);

    // The run hears a system and closes: the complete entry and the new system are written.
    EXPECT_TRUE(Select(1).Found);
    EXPECT_FALSE(Select(0x0100).Found);
    EXPECT_EQ(db.SaveSystem(-1, 25000), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file).size(), 28u + 5440 + 4928);
    EXPECT_EQ(readBytes(unrelated.Next), content);
    EXPECT_EQ(readBytes(unrelated.First), unrelated.Bytes);
    EXPECT_EQ(notices.all().size(), 1u);
}

// An MPT1327 database put in place of this one is no old-format file: it is refused and left as it is.
TEST_F(SmartNetDb, OtherDecodersDatabaseIsRefusedAndLeftAsItIs)
{
    const std::string otherHeader = "MPT1327 Database 1";
    // Fifty MPT1327 entries of 37740 bytes with one heard radio each.
    const Bytes other = FileOfSystems(Bytes(otherHeader.begin(), otherHeader.end()), 50, [](uint16_t id) {
        Bytes e(37740 + 256, 0);
        PutU16(e.data() + 4424, id);
        PutI32(e.data() + 4108, 1);
        return e;
    });
    writeBytes(file, other);
    EXPECT_EQ(db.OpenDatabase(), TDatabaseStatus::dsDamaged);
    EXPECT_FALSE(db.InUse());
    EXPECT_EQ(readBytes(file), other);
    std::vector<uint16_t> ids;
    EXPECT_EQ(db.Storage().ReadIdentities(ids), TDatabaseStatus::dsDamaged);
    EXPECT_TRUE(ids.empty());
    ASSERT_EQ(notices.all().size(), 1u);
    EXPECT_EQ(notices.all()[0].Caption, "Fatal Error!");
    EXPECT_NE(notices.all()[0].Text.find("\"MPT1327 Database\""), std::string::npos) << notices.all()[0].Text;
    EXPECT_NE(notices.all()[0].Text.find("left unchanged"), std::string::npos);

    Select(7);
    EXPECT_EQ(db.SaveSystem(-1, 25000), TDatabaseStatus::dsNotUsed);
    EXPECT_EQ(readBytes(file), other);
    EXPECT_FALSE(std::filesystem::exists(dir / "SmartNet.MEM.damaged"));
    EXPECT_FALSE(std::filesystem::exists(dir / "SmartNet_Temp.MEM"));
}
