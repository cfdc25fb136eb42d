#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FieldBytes.h"
#include "tests/plugin/frame/db/FilesOfSystems.h"
#include "tests/plugin/frame/db/KilledSaveLoop.h"
#include "tests/plugin/frame/db/RecordedNotices.h"
#include "MPT1327Database.h"
#include "TestSupport.h"

using namespace fieldbytes;
using testsupport::readBytes;
using testsupport::TempDir;
using testsupport::writeBytes;
using Bytes = std::vector<unsigned char>;

namespace {

// The size a directory reports, which a read of the header would need.
uint64_t DirectorySize(const std::filesystem::path& p)
{
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

const std::string kHeader = "MPT1327 Database 1";
const TSystemTime kLocal{2026, 12, 3, 9, 14, 5, 33, 250};
const TSystemTime kUtc{2026, 12, 3, 9, 13, 5, 33, 250};

Bytes HeaderBytes() { return Bytes(kHeader.begin(), kHeader.end()); }

// A system with something in every field and list.
TMPT1327SystemRecord Sample(uint16_t id, int radios = 2)
{
    TMPT1327SystemRecord r;
    r.BaseFrequency = 450000000 + id;
    r.ControlChannelFrequency = 450250000;
    for (size_t i = 0; i < r.Occupancy.size(); ++i)
        r.Occupancy[i] = static_cast<int32_t>(i * 3 + id);
    r.ScanTicks = 777;
    r.Reserved1[0] = 0xA1;
    r.Reserved2[147] = 0xA2;
    r.SystemIdentity = id;
    r.ChannelSize = 12500;
    r.Description = "Harbour net " + std::to_string(id);
    SetMapBit(r.PrefixMap, 5);
    SetMapBit(r.PrefixMap, 127);
    r.GroupAliases[0] = "All";
    r.GroupAliases[127] = std::string(255, 'z');
    SetMapBit(r.ControlChannelMap, 10);
    SetMapBit(r.TrafficChannelMap, 1023);
    r.FirstSeen = kUtc;
    for (int i = 0; i < radios; ++i)
        r.HeardRadios.push_back({static_cast<uint16_t>(0x100 + i), static_cast<uint8_t>(i), "Taxi " + std::to_string(i)});
    r.List2 = {1, 2, 3, 4};
    r.List5.assign(256, 0x55);
    return r;
}

Bytes Entry(const TMPT1327SystemRecord& r)
{
    TStoredEntry e = EncodeMPT1327System(r);
    Bytes out(e.Record.begin(), e.Record.end());
    for (const auto& l : e.Lists)
        out.insert(out.end(), l.begin(), l.end());
    return out;
}

struct MPT1327Db : ::testing::Test {
    TempDir dir;
    std::filesystem::path file = dir / "MPT1327.MEM";
    RecordedNotices notices;
    TMPT1327Database db{file};
    TMPT1327Channels ch;
    MPT1327Db()
    {
        db.SetReport(&notices);
        db.SetTimeSource([] { return kLocal; }, [] { return kUtc; });
        ch.TunedFrequency = 450250000;
        ch.ChannelSize = 25000;
    }
};

}  // namespace

TEST(MPT1327Record, FieldsLieAtTheirOffsetsAndReadBack)
{
    const TMPT1327SystemRecord r = Sample(0x1ABC);
    const TStoredEntry e = EncodeMPT1327System(r);
    ASSERT_EQ(e.Record.size(), 37740u);
    const uint8_t* p = e.Record.data();
    EXPECT_EQ(GetI32(p + 0), 450000000 + 0x1ABC);
    EXPECT_EQ(GetI32(p + 4), 450250000);
    EXPECT_EQ(GetI32(p + 8 + 4 * 1023), 1023 * 3 + 0x1ABC);
    EXPECT_EQ(GetI32(p + 4104), 777);
    EXPECT_EQ(GetI32(p + 4108), 2);    // heard radios
    EXPECT_EQ(GetI32(p + 4112), 1);    // list 2: one 4-byte entry
    EXPECT_EQ(GetI32(p + 4116), 0);
    EXPECT_EQ(p[4120], 0xA1);
    EXPECT_EQ(GetI32(p + 4268), 0);
    EXPECT_EQ(GetI32(p + 4272), 1);
    EXPECT_EQ(p[4276 + 147], 0xA2);
    EXPECT_EQ(GetU16(p + 4424), 0x1ABC);
    EXPECT_EQ(GetU16(p + 4426), 12500);
    EXPECT_EQ(GetText(p + 4428, 256), "Harbour net 6844");
    EXPECT_EQ(p[4684], 0x20);
    EXPECT_EQ(p[4684 + 15], 0x80);
    EXPECT_EQ(GetText(p + 4700, 256), "All");
    EXPECT_EQ(GetText(p + 4700 + 127 * 256, 256), std::string(255, 'z'));
    EXPECT_EQ(p[4700 + 127 * 256 + 255], 0);
    EXPECT_EQ(p[37468 + 1], 0x04);
    EXPECT_EQ(p[37596 + 127], 0x80);
    EXPECT_EQ(GetU16(p + 37724), 2026);
    EXPECT_EQ(GetU16(p + 37724 + 8), 13);
    EXPECT_EQ(GetU16(p + 37724 + 14), 250);
    ASSERT_EQ(e.Lists[0].size(), 512u);
    EXPECT_EQ(GetU16(e.Lists[0].data() + 256), 0x101);
    EXPECT_EQ(e.Lists[0][256 + 2], 1);
    EXPECT_EQ(GetText(e.Lists[0].data() + 256 + 3, 253), "Taxi 1");

    EXPECT_EQ(DecodeMPT1327System(e), r);
}

TEST_F(MPT1327Db, FirstStartCreatesTheHeaderOnly)
{
    EXPECT_EQ(db.OpenDatabase(), TDatabaseStatus::dsCreated);
    EXPECT_EQ(readBytes(file), HeaderBytes());
    EXPECT_FALSE(db.HasSystem());
}

TEST_F(MPT1327Db, OldFileOfTwoSystemsIsConvertedWithEveryList)
{
    // Old entries: the record without its first-seen time, lists 2 and 4 with 2-byte entries.
    TMPT1327SystemRecord a = Sample(0x0123), b = Sample(0x4567, 0);
    a.List2.clear();
    a.List4.clear();
    a.List3.assign(256, 0x33);
    Bytes old;
    auto appendOld = [&old](const TMPT1327SystemRecord& r, int n2, int n4) {
        TStoredEntry e = EncodeMPT1327System(r);
        PutI32(e.Record.data() + 4112, n2);
        PutI32(e.Record.data() + 4268, n4);
        old.insert(old.end(), e.Record.begin(), e.Record.begin() + 37724);
        old.insert(old.end(), e.Lists[0].begin(), e.Lists[0].end());
        for (int i = 0; i < n2; ++i)
            old.insert(old.end(), {uint8_t(0x10 + i), 0x20});
        old.insert(old.end(), e.Lists[2].begin(), e.Lists[2].end());
        for (int i = 0; i < n4; ++i)
            old.insert(old.end(), {uint8_t(0x30 + i), 0x40});
        old.insert(old.end(), e.Lists[4].begin(), e.Lists[4].end());
    };
    appendOld(a, 2, 3);
    appendOld(b, 0, 1);
    writeBytes(file, old);

    ASSERT_EQ(db.OpenDatabase(), TDatabaseStatus::dsConverted);
    EXPECT_FALSE(std::filesystem::exists(dir / "MPT1327_Temp.MEM"));
    const size_t sizeA = 37740 + 2 * 256 + 2 * 4 + 256 + 3 * 4 + 256;
    const size_t sizeB = 37740 + 1 * 4 + 256;
    EXPECT_EQ(readBytes(file).size(), 18 + sizeA + sizeB);

    a.FirstSeen = kLocal;
    a.List2 = {0x10, 0x20, 0, 0, 0x11, 0x20, 0, 0};
    a.List4 = {0x30, 0x40, 0, 0, 0x31, 0x40, 0, 0, 0x32, 0x40, 0, 0};
    b.FirstSeen = kLocal;
    b.List2.clear();
    b.List4 = {0x30, 0x40, 0, 0};
    Bytes expected = HeaderBytes();
    for (const auto& r : {a, b}) {
        Bytes e = Entry(r);
        expected.insert(expected.end(), e.begin(), e.end());
    }
    EXPECT_EQ(readBytes(file), expected);

    // Selecting the first system reads all of it back.
    ch.ChannelSize = 12500;
    TMPT1327Selection s = db.SelectSystem(0x0123, ch);
    EXPECT_TRUE(s.Found);
    EXPECT_EQ(db.Record(), a);
}

TEST_F(MPT1327Db, SavingTheFirstOfThreeMovesItToTheEnd)
{
    const TMPT1327SystemRecord a = Sample(1), b = Sample(2), c = Sample(3);
    Bytes content = HeaderBytes();
    for (const auto& r : {a, b, c}) {
        Bytes e = Entry(r);
        content.insert(content.end(), e.begin(), e.end());
    }
    writeBytes(file, content);
    ASSERT_EQ(db.OpenDatabase(), TDatabaseStatus::dsOk);

    ch.ChannelSize = 12500;
    ASSERT_TRUE(db.SelectSystem(1, ch).Found);
    ASSERT_EQ(db.SaveSystem(ch), TDatabaseStatus::dsOk);
    const Bytes once = readBytes(file);
    EXPECT_EQ(once.size(), content.size());
    Bytes expected = HeaderBytes();
    for (const auto& r : {b, c}) {
        Bytes e = Entry(r);
        expected.insert(expected.end(), e.begin(), e.end());
    }
    Bytes e = Entry(db.Record());
    expected.insert(expected.end(), e.begin(), e.end());
    EXPECT_EQ(once, expected);

    ASSERT_EQ(db.SaveSystem(ch), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file), once);
}

TEST_F(MPT1327Db, NewSystemStartsEmptyAndIsSavedWhenTheNextOneComes)
{
    ASSERT_EQ(db.OpenDatabase(), TDatabaseStatus::dsCreated);
    ch.CurrentChannel = 7;
    ch.ControlChannel = 7;
    TMPT1327Selection s = db.SelectSystem(0x2001, ch);
    EXPECT_TRUE(s.Changed);
    EXPECT_FALSE(s.Found);
    EXPECT_EQ(s.SysIDText, "2001");
    EXPECT_EQ(s.CtrlChanFreqText, "450.2500 MHz");
    EXPECT_EQ(s.CtrlChanText, "");
    EXPECT_EQ(ch.CurrentChannel, -1);
    EXPECT_EQ(ch.ControlChannel, -1);
    const TMPT1327SystemRecord& r = db.Record();
    EXPECT_EQ(r.SystemIdentity, 0x2001);
    EXPECT_EQ(r.BaseFrequency, -1);
    EXPECT_EQ(r.ChannelSize, 25000);
    EXPECT_EQ(r.FirstSeen, kUtc);
    EXPECT_EQ(r.ControlChannelFrequency, 450250000);
    EXPECT_TRUE(r.HeardRadios.empty());
    EXPECT_EQ(readBytes(file), HeaderBytes());  // nothing saved yet

    EXPECT_FALSE(db.SelectSystem(0x2001, ch).Changed);

    // The decoder learns the control channel; the next system saves this one with its frequency.
    db.Record().BaseFrequency = 450000000;
    ch.ControlChannel = ch.CurrentChannel = 10;
    db.Record().HeardRadios.push_back({0x0042, 3, ""});
    db.SelectSystem(0x2002, ch);
    TMPT1327Database reader(file);
    TMPT1327Channels other;
    other.TunedFrequency = 450250000;
    TMPT1327Selection back = reader.SelectSystem(0x2001, other);
    ASSERT_TRUE(back.Found);
    EXPECT_EQ(reader.Record().ControlChannelFrequency, 450250000);
    ASSERT_EQ(reader.Record().HeardRadios.size(), 1u);
    EXPECT_EQ(reader.Record().HeardRadios[0].Ident, 0x0042);
    EXPECT_EQ(other.ControlChannel, 10);
    EXPECT_EQ(back.CtrlChanText, "10");
}

TEST_F(MPT1327Db, SystemThatCouldNotBeReadIsNotSavedOverItsStoredCopy)
{
    const Bytes stored = [] {
        Bytes b = HeaderBytes();
        const Bytes e = Entry(Sample(0x3003));
        b.insert(b.end(), e.begin(), e.end());
        return b;
    }();
    writeBytes(file, stored);
    ASSERT_EQ(db.OpenDatabase(), TDatabaseStatus::dsOk);

    // The file cannot be read while the system is selected: a directory stands in its place.
    std::filesystem::rename(file, dir / "away");
    std::filesystem::create_directory(file);
    if (DirectorySize(file) < kHeader.size())
        GTEST_SKIP() << "directories here are too small to be read as the header";
    const TMPT1327Selection s = db.SelectSystem(0x3003, ch);
    EXPECT_FALSE(s.Found);
    EXPECT_EQ(db.Record().SystemIdentity, 0x3003);
    ASSERT_EQ(notices.all().size(), 1u);
    EXPECT_EQ(notices.all()[0].Text, "Cannot access the special database file!");

    // Readable again: neither the close's save nor the next system's save replaces the stored copy.
    std::filesystem::remove(file);
    std::filesystem::rename(dir / "away", file);
    EXPECT_EQ(db.SaveSystem(ch), TDatabaseStatus::dsCantAccess);
    EXPECT_EQ(readBytes(file), stored);
    db.SelectSystem(0x3004, ch);
    EXPECT_EQ(readBytes(file), stored);

    // The next system is read and saved as usual.
    EXPECT_EQ(db.Record().SystemIdentity, 0x3004);
    EXPECT_EQ(db.SaveSystem(ch), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file).size(), stored.size() + 37740);
}

TEST_F(MPT1327Db, LoadedSystemKeepsItsBaseFrequencyWhateverTheChannelSize)
{
    TMPT1327SystemRecord stored = Sample(5);
    stored.BaseFrequency = 450000000;
    stored.ChannelSize = 12500;
    stored.ControlChannelFrequency = 450125000;
    Bytes content = HeaderBytes();
    Bytes e = Entry(stored);
    content.insert(content.end(), e.begin(), e.end());
    writeBytes(file, content);
    ASSERT_EQ(db.OpenDatabase(), TDatabaseStatus::dsOk);

    // The window is on 25 kHz with a stale control channel from the system before.
    ch.ChannelSize = 25000;
    ch.ControlChannel = 3;
    ch.TunedFrequency = 450250000;
    TMPT1327Selection s = db.SelectSystem(5, ch);
    ASSERT_TRUE(s.Found);
    EXPECT_EQ(ch.ChannelSize, 12500);
    EXPECT_EQ(db.Record().BaseFrequency, 450000000);
    EXPECT_EQ(ch.ControlChannel, 20);
    EXPECT_EQ(ch.CurrentChannel, 20);
    EXPECT_EQ(s.CtrlChanText, "20");
    EXPECT_EQ(s.Description, "Harbour net 5");
}

TEST_F(MPT1327Db, StoredChannelSizeOtherThanTheTwoStepsIsNotTaken)
{
    for (uint16_t bad : {uint16_t{0}, uint16_t{6250}, uint16_t{65535}}) {
        TMPT1327SystemRecord stored = Sample(5);
        stored.BaseFrequency = 450000000;
        stored.ChannelSize = bad;
        Bytes content = HeaderBytes();
        Bytes e = Entry(stored);
        content.insert(content.end(), e.begin(), e.end());
        writeBytes(file, content);
        TMPT1327Database fresh(file);
        TMPT1327Channels c;
        c.TunedFrequency = 450250000;
        c.ChannelSize = 25000;
        ASSERT_TRUE(fresh.SelectSystem(5, c).Found) << bad;
        EXPECT_EQ(c.ChannelSize, 25000) << bad;
        EXPECT_EQ(fresh.Record().ChannelSize, 25000) << bad;
        EXPECT_EQ(c.ControlChannel, 10) << bad;
    }
}

TEST_F(MPT1327Db, DeletedFileIsRecreatedWithItsHeader)
{
    ASSERT_EQ(db.OpenDatabase(), TDatabaseStatus::dsCreated);
    db.SelectSystem(9, ch);
    std::filesystem::remove(file);
    ASSERT_EQ(db.SaveSystem(ch), TDatabaseStatus::dsOk);
    const Bytes b = readBytes(file);
    ASSERT_EQ(b.size(), 18u + 37740u);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 18), HeaderBytes());

    std::filesystem::remove(file);
    db.SelectSystem(10, ch);  // saves 9 into a new file, then looks for 10 in it
    TMPT1327Database reader(file);
    TMPT1327Channels c;
    EXPECT_TRUE(reader.SelectSystem(9, c).Found);
}

namespace {
struct Corruption {
    const char* name;
    size_t offset;  // in the second entry's record; 0 = cut the file instead
    int32_t count;
};
}  // namespace

class MPT1327DamagedFile : public MPT1327Db, public ::testing::WithParamInterface<Corruption> {};

// The second entry cannot be read whole: the first is still found, the file as it was is kept once
// beside it, and the run's systems are saved with the complete entry.
TEST_P(MPT1327DamagedFile, KeepsTheCompleteEntriesAndSavesTheRun)
{
    Bytes content = HeaderBytes();
    for (uint16_t id : {1, 2}) {
        Bytes e = Entry(Sample(id));
        content.insert(content.end(), e.begin(), e.end());
    }
    const size_t second = 18 + Entry(Sample(1)).size();
    if (GetParam().offset == 0)
        content.resize(content.size() - 100);
    else
        PutI32(content.data() + second + GetParam().offset, GetParam().count);
    writeBytes(file, content);

    EXPECT_EQ(db.OpenDatabase(), TDatabaseStatus::dsRecovered);
    ASSERT_EQ(notices.all().size(), 1u);
    EXPECT_EQ(notices.all()[0].Caption, "Warning");
    EXPECT_NE(notices.all()[0].Text.find("MPT1327.MEM is damaged"), std::string::npos);
    EXPECT_EQ(readBytes(dir / "MPT1327.MEM.damaged"), content);
    ch.ChannelSize = 12500;
    EXPECT_TRUE(db.SelectSystem(1, ch).Found);
    EXPECT_EQ(db.Record().Description, "Harbour net 1");
    EXPECT_FALSE(db.SelectSystem(2, ch).Found);
    db.Record().Description = "heard in this run";
    EXPECT_EQ(db.SaveSystem(ch), TDatabaseStatus::dsOk);
    EXPECT_EQ(notices.all().size(), 1u);
    EXPECT_EQ(readBytes(dir / "MPT1327.MEM.damaged"), content);

    TMPT1327Database next(file);
    EXPECT_EQ(next.OpenDatabase(), TDatabaseStatus::dsOk);
    TMPT1327Channels c;
    EXPECT_TRUE(next.SelectSystem(1, c).Found);
    EXPECT_TRUE(next.SelectSystem(2, c).Found);
    EXPECT_EQ(next.Record().Description, "heard in this run");
}

INSTANTIATE_TEST_SUITE_P(Cases, MPT1327DamagedFile,
                         ::testing::Values(Corruption{"Truncated", 0, 0}, Corruption{"NegativeCount", 4108, -1},
                                           Corruption{"HugeCount", 4116, 0x7FFFFFFF},
                                           Corruption{"HugeList5Count", 4272, 0x00FFFFFF}),
                         [](const auto& info) { return std::string(info.param.name); });

// A child saves one system after another in a loop and is killed at a moment of our choosing; whenever
// it dies the file must still be a good database holding every system.
TEST_F(MPT1327Db, KilledWhileSavingInALoopLeavesAGoodFile)
{
    ASSERT_EQ(db.OpenDatabase(), TDatabaseStatus::dsCreated);
    KillWhileSavingInALoop(
        6,
        [&](const std::function<void()>& ready) {
            TMPT1327Database child(file);
            TMPT1327Channels c;
            c.TunedFrequency = 450250000;
            for (uint16_t i = 0;; ++i) {
                child.SelectSystem(static_cast<uint16_t>(1 + i % 4), c);
                child.Record().ScanTicks = i;
                if (i >= 4)  // every system is in the file by now
                    ready();
            }
        },
        [&](int round) {
            TMPT1327Database check(file);
            check.SetReport(&notices);
            EXPECT_EQ(check.OpenDatabase(), TDatabaseStatus::dsOk) << "round " << round;
            for (uint16_t id = 1; id <= 4; ++id) {
                TMPT1327Channels c;
                EXPECT_TRUE(check.SelectSystem(id, c).Found) << "round " << round << " system " << id;
            }
            EXPECT_TRUE(notices.all().empty());
        });
}

// Fifty systems, the second with a list count no file can hold, and beside it an unrelated copy under
// the name the damaged file is kept as: the file may be written over only once a copy of exactly its
// bytes lies beside it, here under the next free name.
TEST_F(MPT1327Db, DamagedFileBesideAnUnrelatedCopyIsKeptUnderTheNextName)
{
    // Each system with one heard radio and nothing in lists 2 to 5: 37996 bytes.
    Bytes content = FileOfSystems(HeaderBytes(), 50, [](uint16_t id) {
        TMPT1327SystemRecord r = Sample(id, 1);
        r.List2.clear();
        r.List5.clear();
        return Entry(r);
    });
    ASSERT_EQ(content.size(), 1899818u);
    PutI32(content.data() + 18 + 37996 + 4108, 0x7FFFFFFF);
    writeBytes(file, content);
    const UnrelatedCopy unrelated(file);

    EXPECT_EQ(db.OpenDatabase(), TDatabaseStatus::dsRecovered);
    ASSERT_EQ(notices.all().size(), 1u);
    EXPECT_NE(notices.all()[0].Text.find("kept as " + unrelated.Next.string()), std::string::npos)
        << notices.all()[0].Text;
    EXPECT_EQ(readBytes(unrelated.Next), content);

    // The run hears a system and closes: the complete entry and the new system are written.
    ch.ChannelSize = 12500;
    EXPECT_TRUE(db.SelectSystem(1, ch).Found);
    EXPECT_FALSE(db.SelectSystem(0x0100, ch).Found);
    EXPECT_EQ(db.SaveSystem(ch), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file).size(), 18u + 37996 + 37740);
    EXPECT_EQ(readBytes(unrelated.Next), content);
    EXPECT_EQ(readBytes(unrelated.First), unrelated.Bytes);
    EXPECT_EQ(notices.all().size(), 1u);
}

// A SmartNet database put in place of this one is no old-format file: it is refused and left as it is.
TEST_F(MPT1327Db, OtherDecodersDatabaseIsRefusedAndLeftAsItIs)
{
    const std::string otherHeader = "Motorola Trunking Database 1";
    // Fifty SmartNet entries of 4928 bytes with two heard radios each.
    const Bytes other = FileOfSystems(Bytes(otherHeader.begin(), otherHeader.end()), 50, [](uint16_t id) {
        Bytes e(4928 + 512, 0);
        PutU16(e.data() + 4392, id);
        PutI32(e.data() + 4108, 2);
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
    EXPECT_NE(notices.all()[0].Text.find("\"Motorola Trunking Database\""), std::string::npos) << notices.all()[0].Text;
    EXPECT_NE(notices.all()[0].Text.find("left unchanged"), std::string::npos);

    db.SelectSystem(7, ch);
    EXPECT_EQ(db.SaveSystem(ch), TDatabaseStatus::dsNotUsed);
    EXPECT_EQ(readBytes(file), other);
    EXPECT_FALSE(std::filesystem::exists(dir / "MPT1327.MEM.damaged"));
    EXPECT_FALSE(std::filesystem::exists(dir / "MPT1327_Temp.MEM"));
}
