// The database mechanics on a small made-up layout, so that every fixture is a few dozen bytes.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FieldBytes.h"
#include "RecordedNotices.h"
#include "SystemDatabase.h"
#include "TestSupport.h"
#include "UnwritableFolder.h"

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

// Record: identity (0), name (2, 8 bytes), five counts (12..31); the old record ends there, the current
// one adds the time (32..47). Lists: 8-byte entries with a 6-byte name at 2; 2-byte entries that became
// 4-byte; 8-byte; 2 becoming 4; 8-byte.
const TDatabaseLayout& TinyLayout()
{
    static const TDatabaseLayout l = [] {
        TDatabaseLayout t;
        t.Header = "Tiny DB ";
        t.Version = '1';
        t.RecordSize = 48;
        t.OldRecordSize = 32;
        t.IdentityOffset = 0;
        t.TimeOffset = 32;
        t.Lists = {{{12, 8, 8, {2, 6, 1}}, {16, 4, 2, {}}, {20, 8, 8, {}}, {24, 4, 2, {}}, {28, 8, 8, {}}}};
        t.RecordTexts = {{2, 8, 1}};
        t.TempName = "Tiny_Temp.MEM";
        return t;
    }();
    return l;
}

const Bytes kHeader = {'T', 'i', 'n', 'y', ' ', 'D', 'B', ' ', '1'};
const TSystemTime kNow{2026, 12, 3, 9, 14, 5, 33, 250};

void Append(Bytes& out, const std::vector<uint8_t>& in) { out.insert(out.end(), in.begin(), in.end()); }

// An entry of the current format with n entries in each list, filled from seed.
TStoredEntry Entry(uint16_t id, const std::string& name, int n, uint8_t seed)
{
    TStoredEntry e;
    e.Record.assign(48, 0);
    PutU16(e.Record.data(), id);
    PutText(e.Record.data() + 2, 8, name);
    const uint32_t sizes[5] = {8, 4, 8, 4, 8};
    for (int i = 0; i < 5; ++i) {
        PutI32(e.Record.data() + 12 + 4 * i, n);
        e.Lists[i].assign(n * sizes[i], 0);
        for (size_t b = 0; b < e.Lists[i].size(); ++b)
            e.Lists[i][b] = static_cast<uint8_t>(seed + 16 * i + b);
    }
    for (int k = 0; k < n; ++k)
        e.Lists[0][k * 8 + 7] = 0;  // the name in each list-1 entry ends inside it
    return e;
}

Bytes Flat(const TStoredEntry& e)
{
    Bytes out(e.Record.begin(), e.Record.end());
    for (const auto& l : e.Lists)
        Append(out, l);
    return out;
}

Bytes File(const std::vector<TStoredEntry>& entries)
{
    Bytes out = kHeader;
    for (const auto& e : entries)
        Append(out, Flat(e));
    return out;
}

struct Fixture : ::testing::Test {
    TempDir dir;
    std::filesystem::path file = dir / "Tiny.MEM";
    RecordedNotices notices;
    TSystemDatabase db{TinyLayout(), file};
    Fixture()
    {
        db.SetReport(&notices);
        db.SetTimeSource([] { return kNow; });
    }
};

}  // namespace

using SystemDatabase = Fixture;

TEST_F(SystemDatabase, FirstStartWritesTheHeaderOnly)
{
    EXPECT_EQ(db.Open(), TDatabaseStatus::dsCreated);
    EXPECT_EQ(readBytes(file), kHeader);
    EXPECT_TRUE(db.InUse());
    EXPECT_TRUE(notices.all().empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "Tiny_Temp.MEM"));
}

TEST_F(SystemDatabase, AnyVersionByteIsAcceptedAndKeptBySave)
{
    Bytes content = File({Entry(7, "seven", 1, 10)});
    content[8] = '2';
    writeBytes(file, content);
    EXPECT_EQ(db.Open(), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file), content);
    ASSERT_EQ(db.Save(Entry(9, "nine", 0, 0)), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file)[8], '2');
}

TEST_F(SystemDatabase, OldFileIsConvertedWithEveryListIntact)
{
    // Two old entries: 32-byte records, the 2-byte lists 2 and 4 widened to 4 bytes on conversion.
    Bytes old;
    const int counts[2] = {2, 1};
    for (int s = 0; s < 2; ++s) {
        const int n = counts[s];
        std::vector<uint8_t> rec(32, 0);
        PutU16(rec.data(), static_cast<uint16_t>(0x100 + s));
        PutText(rec.data() + 2, 8, s ? "second" : "first");
        for (int i = 0; i < 5; ++i)
            PutI32(rec.data() + 12 + 4 * i, n);
        Append(old, rec);
        for (int k = 0; k < n; ++k)  // list 1: ident, name
            Append(old, {uint8_t(k), uint8_t(s), 'r', 'a', 'd', uint8_t('0' + k), 0, 0});
        for (int k = 0; k < n; ++k)
            Append(old, {uint8_t(0x21 + k), 0x43});
        for (int k = 0; k < n; ++k)
            Append(old, {3, 3, 3, 3, 3, 3, 3, uint8_t(k)});
        for (int k = 0; k < n; ++k)
            Append(old, {uint8_t(0x65 + k), 0x87});
        for (int k = 0; k < n; ++k)
            Append(old, {5, 5, 5, 5, 5, 5, 5, uint8_t(k)});
    }
    writeBytes(dir / "Tiny.MEM", old);

    ASSERT_EQ(db.Open(), TDatabaseStatus::dsConverted);
    EXPECT_TRUE(db.InUse());
    EXPECT_FALSE(std::filesystem::exists(dir / "Tiny_Temp.MEM"));

    Bytes expected = kHeader;
    size_t at = 0;
    for (int s = 0; s < 2; ++s) {
        const int n = counts[s];
        Bytes rec(old.begin() + at, old.begin() + at + 32);
        at += 32;
        const uint16_t t[8] = {2026, 12, 3, 9, 14, 5, 33, 250};
        for (uint16_t v : t)
            Append(rec, {uint8_t(v), uint8_t(v >> 8)});
        Append(expected, rec);
        Append(expected, Bytes(old.begin() + at, old.begin() + at + 8 * n));
        at += 8 * n;
        for (int k = 0; k < n; ++k)
            Append(expected, {old[at + 2 * k], old[at + 2 * k + 1], 0, 0});
        at += 2 * n;
        Append(expected, Bytes(old.begin() + at, old.begin() + at + 8 * n));
        at += 8 * n;
        for (int k = 0; k < n; ++k)
            Append(expected, {old[at + 2 * k], old[at + 2 * k + 1], 0, 0});
        at += 2 * n;
        Append(expected, Bytes(old.begin() + at, old.begin() + at + 8 * n));
        at += 8 * n;
    }
    EXPECT_EQ(readBytes(file), expected);

    // And the converted file reads back as the current format.
    TStoredEntry e;
    bool found = false;
    ASSERT_EQ(db.Load(0x101, e, found), TDatabaseStatus::dsOk);
    ASSERT_TRUE(found);
    EXPECT_EQ(GetText(e.Record.data() + 2, 8), "second");
    ASSERT_EQ(e.Lists[1].size(), 4u);
    EXPECT_EQ(GetU32(e.Lists[1].data()), 0x4321u);
    EXPECT_EQ(GetU32(e.Lists[3].data()), 0x8765u);
}

TEST_F(SystemDatabase, EmptyFileIsAnOldFileWithoutEntries)
{
    writeBytes(file, {});
    EXPECT_EQ(db.Open(), TDatabaseStatus::dsConverted);
    EXPECT_EQ(readBytes(file), kHeader);
}

TEST_F(SystemDatabase, SaveMovesTheSystemToTheEndAndKeepsOneCopy)
{
    const TStoredEntry a = Entry(1, "one", 1, 10), b = Entry(2, "two", 2, 20), c = Entry(3, "three", 0, 30);
    writeBytes(file, File({a, b, c}));
    ASSERT_EQ(db.Open(), TDatabaseStatus::dsOk);

    TStoredEntry a2 = Entry(1, "one+", 3, 40);
    ASSERT_EQ(db.Save(a2), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file), File({b, c, a2}));
    ASSERT_EQ(db.Save(a2), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file), File({b, c, a2}));

    // The last entry saved again stays last; a new system is appended.
    ASSERT_EQ(db.Save(c), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file), File({b, a2, c}));
    TStoredEntry d = Entry(4, "four", 1, 50);
    ASSERT_EQ(db.Save(d), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file), File({b, a2, c, d}));

    TStoredEntry got;
    bool found = false;
    ASSERT_EQ(db.Load(1, got, found), TDatabaseStatus::dsOk);
    ASSERT_TRUE(found);
    EXPECT_EQ(Flat(got), Flat(a2));
    ASSERT_EQ(db.Load(99, got, found), TDatabaseStatus::dsOk);
    EXPECT_FALSE(found);
    EXPECT_TRUE(notices.all().empty());
}

// A file written elsewhere may hold a system twice: the save replaces both copies, so that the next
// load finds what was saved rather than the copy left behind.
TEST_F(SystemDatabase, SaveReplacesEveryCopyOfTheSystem)
{
    const TStoredEntry a = Entry(1, "one", 1, 10), b = Entry(2, "two", 2, 20), a1 = Entry(1, "old one", 0, 30);
    writeBytes(file, File({a, b, a1}));
    ASSERT_EQ(db.Open(), TDatabaseStatus::dsOk);
    const TStoredEntry a2 = Entry(1, "new one", 2, 40);
    ASSERT_EQ(db.Save(a2), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file), File({b, a2}));
    TStoredEntry got;
    bool found = false;
    ASSERT_EQ(db.Load(1, got, found), TDatabaseStatus::dsOk);
    ASSERT_TRUE(found);
    EXPECT_EQ(Flat(got), Flat(a2));

    Bytes image = File({a1, a, b});
    ASSERT_EQ(db.SaveImage(image, a2), TDatabaseStatus::dsOk);
    EXPECT_EQ(image, File({b, a2}));
}

TEST_F(SystemDatabase, SaveTakesTheCountsFromTheLists)
{
    ASSERT_EQ(db.Open(), TDatabaseStatus::dsCreated);
    TStoredEntry e = Entry(5, "five", 2, 0);
    PutI32(e.Record.data() + 12, -7);  // stale count in the record
    ASSERT_EQ(db.Save(e), TDatabaseStatus::dsOk);
    TStoredEntry got;
    bool found = false;
    ASSERT_EQ(db.Load(5, got, found), TDatabaseStatus::dsOk);
    ASSERT_TRUE(found);
    EXPECT_EQ(GetI32(got.Record.data() + 12), 2);
    EXPECT_EQ(got.Lists[0], e.Lists[0]);
}

TEST_F(SystemDatabase, AFileThatWentAwayIsStartedAgainWithItsHeader)
{
    ASSERT_EQ(db.Open(), TDatabaseStatus::dsCreated);
    std::filesystem::remove(file);
    TStoredEntry got;
    bool found = true;
    EXPECT_EQ(db.Load(1, got, found), TDatabaseStatus::dsCreated);
    EXPECT_FALSE(found);
    EXPECT_EQ(readBytes(file), kHeader);

    std::filesystem::remove(file);
    const TStoredEntry a = Entry(1, "one", 1, 10);
    ASSERT_EQ(db.Save(a), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file), File({a}));
}

// Files that are not database files: neither the header nor one complete old entry. Each is refused
// and left byte for byte.
struct DamagedCase {
    const char* name;
    std::function<Bytes()> make;
};

class DamagedFile : public Fixture, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedFile, IsRefusedAndLeftUnchanged)
{
    const Bytes content = GetParam().make();
    writeBytes(file, content);
    EXPECT_EQ(db.Open(), TDatabaseStatus::dsDamaged);
    EXPECT_FALSE(db.InUse());
    ASSERT_EQ(notices.all().size(), 1u);
    EXPECT_EQ(notices.all()[0].Caption, "Fatal Error!");
    EXPECT_NE(notices.all()[0].Text.find(file.string()), std::string::npos);
    EXPECT_NE(notices.all()[0].Text.find("damaged"), std::string::npos);

    // The window goes on without the database: nothing is read or written.
    TStoredEntry got;
    bool found = true;
    EXPECT_EQ(db.Load(1, got, found), TDatabaseStatus::dsNotUsed);
    EXPECT_FALSE(found);
    EXPECT_EQ(db.Save(Entry(1, "one", 1, 0)), TDatabaseStatus::dsNotUsed);
    EXPECT_EQ(readBytes(file), content);
    EXPECT_FALSE(std::filesystem::exists(dir / "Tiny_Temp.MEM"));
    EXPECT_FALSE(std::filesystem::exists(dir / "Tiny.MEM.damaged"));
}

namespace {
Bytes Good() { return File({Entry(1, "one", 2, 10), Entry(2, "two", 1, 20)}); }
Bytes WithCount(size_t entryOffset, int list, int32_t count)
{
    Bytes b = Good();
    PutI32(b.data() + entryOffset + 12 + 4 * list, count);
    return b;
}
Bytes OldEntries()
{
    Bytes old(32, 0);
    PutU16(old.data(), 3);
    return old;
}
}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedFile,
    ::testing::Values(
        DamagedCase{"HeaderDamaged", [] { Bytes b = Good(); b[0] = 't'; return b; }},
        DamagedCase{"OldRecordCut", [] { Bytes b = OldEntries(); b.resize(20); return b; }},
        DamagedCase{"OldNegativeCount", [] { Bytes b = OldEntries(); PutI32(b.data() + 16, -2); return b; }},
        DamagedCase{"OldListPastTheEnd", [] { Bytes b = OldEntries(); PutI32(b.data() + 28, 1); return b; }},
        DamagedCase{"ShortText", [] { return Bytes{'h', 'e', 'l', 'l', 'o'}; }}),
    [](const auto& info) { return std::string(info.param.name); });

// Database files with an entry that cannot be read whole: the complete entries are read, the file is
// kept once as it was beside itself, the user is told once, and the first save writes the complete
// entries and the saved one without the rest.
struct RecoveredCase {
    const char* name;
    std::function<Bytes()> make;
    std::vector<TStoredEntry> kept;  // the complete entries, as they read back
};

class RecoveredFile : public Fixture, public ::testing::WithParamInterface<RecoveredCase> {};

TEST_P(RecoveredFile, KeepsEveryCompleteEntryAndTheOriginalOnce)
{
    const Bytes content = GetParam().make();
    const std::vector<TStoredEntry>& kept = GetParam().kept;
    writeBytes(file, content);
    EXPECT_EQ(db.Open(), TDatabaseStatus::dsRecovered);
    EXPECT_TRUE(db.InUse());
    ASSERT_EQ(notices.all().size(), 1u);
    EXPECT_EQ(notices.all()[0].Caption, "Warning");
    EXPECT_NE(notices.all()[0].Text.find(file.string() + " is damaged"), std::string::npos);
    EXPECT_NE(notices.all()[0].Text.find("kept as " + (dir / "Tiny.MEM.damaged").string()), std::string::npos);
    EXPECT_EQ(readBytes(dir / "Tiny.MEM.damaged"), content);
    EXPECT_EQ(readBytes(file), content);  // not written until a save

    // The browser and a load see the complete entries.
    std::vector<uint16_t> ids;
    EXPECT_EQ(db.ReadIdentities(ids), TDatabaseStatus::dsOk);
    std::vector<uint16_t> expectedIds;
    for (const TStoredEntry& e : kept)
        expectedIds.push_back(GetU16(e.Record.data()));
    EXPECT_EQ(ids, expectedIds);
    for (const TStoredEntry& e : kept) {
        TStoredEntry got;
        bool found = false;
        ASSERT_EQ(db.Load(GetU16(e.Record.data()), got, found), TDatabaseStatus::dsOk);
        ASSERT_TRUE(found);
        EXPECT_EQ(Flat(got), Flat(e));
    }

    // The first save leaves the rest out; the copy stays as it was, and nothing more is said.
    const TStoredEntry nine = Entry(9, "nine", 1, 90);
    ASSERT_EQ(db.Save(nine), TDatabaseStatus::dsOk);
    std::vector<TStoredEntry> after = kept;
    after.push_back(nine);
    EXPECT_EQ(readBytes(file), File(after));
    EXPECT_EQ(readBytes(dir / "Tiny.MEM.damaged"), content);
    EXPECT_EQ(notices.all().size(), 1u);
    TSystemDatabase next(TinyLayout(), file);
    EXPECT_EQ(next.Open(), TDatabaseStatus::dsOk);
}

namespace {
// The second entry's name, cut to its field.
TStoredEntry TwoNamedAcross()
{
    TStoredEntry e = Entry(2, "two", 1, 20);
    std::fill(e.Record.begin() + 2, e.Record.begin() + 9, 'x');
    return e;
}
TStoredEntry TwoWithListNameCut()
{
    TStoredEntry e = Entry(2, "two", 1, 20);
    std::fill(e.Lists[0].begin() + 2, e.Lists[0].begin() + 7, 'x');
    e.Lists[0][7] = 0;
    return e;
}
const size_t kSecond = 9 + 48 + 2 * 32;  // where the second entry of Good() starts
}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Cases, RecoveredFile,
    ::testing::Values(
        RecoveredCase{"LastEntryCutInsideAList", [] { Bytes b = Good(); b.resize(b.size() - 3); return b; },
                      {Entry(1, "one", 2, 10)}},
        RecoveredCase{"LastEntryCutInsideARecord", [] { Bytes b = Good(); b.resize(kSecond + 20); return b; },
                      {Entry(1, "one", 2, 10)}},
        RecoveredCase{"TrailingBytes", [] { Bytes b = Good(); b.push_back(0); return b; },
                      {Entry(1, "one", 2, 10), Entry(2, "two", 1, 20)}},
        RecoveredCase{"NegativeCountInTheFirst", [] { return WithCount(9, 2, -1); }, {}},
        RecoveredCase{"NegativeCountInTheLast", [] { return WithCount(kSecond, 4, -100); }, {Entry(1, "one", 2, 10)}},
        RecoveredCase{"HugeCount", [] { return WithCount(9, 0, 0x7FFFFFFF); }, {}},
        RecoveredCase{"CountOneTooMany", [] { return WithCount(kSecond, 1, 2); }, {Entry(1, "one", 2, 10)}},
        RecoveredCase{"NameWithoutTerminator",
                      [] { Bytes b = Good(); std::fill(b.begin() + kSecond + 2, b.begin() + kSecond + 10, 'x'); return b; },
                      {Entry(1, "one", 2, 10), TwoNamedAcross()}},
        RecoveredCase{"ListNameWithoutTerminator",
                      [] { Bytes b = Good(); std::fill(b.begin() + kSecond + 48 + 2, b.begin() + kSecond + 48 + 8, 'x'); return b; },
                      {Entry(1, "one", 2, 10), TwoWithListNameCut()}}),
    [](const auto& info) { return std::string(info.param.name); });

// An earlier copy of other bytes is never written over: the file is kept under the next name before
// it is written over; and the box is shown once however often the file is read.
TEST_F(SystemDatabase, AnEarlierDamagedCopyIsLeftAsItIs)
{
    const Bytes earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
    writeBytes(dir / "Tiny.MEM.damaged", earlier);
    Bytes content = Good();
    content.resize(content.size() - 3);
    writeBytes(file, content);
    EXPECT_EQ(db.Open(), TDatabaseStatus::dsRecovered);
    ASSERT_EQ(notices.all().size(), 1u);
    EXPECT_NE(notices.all()[0].Text.find("kept as " + (dir / "Tiny.MEM.damaged.2").string()), std::string::npos);
    TStoredEntry got;
    bool found = false;
    EXPECT_EQ(db.Load(2, got, found), TDatabaseStatus::dsOk);
    EXPECT_FALSE(found);
    ASSERT_EQ(db.Save(Entry(9, "nine", 0, 0)), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file), File({Entry(1, "one", 2, 10), Entry(9, "nine", 0, 0)}));
    EXPECT_EQ(readBytes(dir / "Tiny.MEM.damaged"), earlier);
    EXPECT_EQ(readBytes(dir / "Tiny.MEM.damaged.2"), content);
    EXPECT_EQ(notices.all().size(), 1u);
}

// Where the damaged file is kept, by what lies beside it already: a copy of exactly its bytes counts
// as kept; anything else there is left alone and the next free name is taken.
namespace {
Bytes CutGood()
{
    Bytes b = Good();
    b.resize(b.size() - 3);
    return b;
}
struct CopyCase {
    const char* name;
    std::vector<std::pair<std::string, Bytes>> there;  // files beside the database before the run
    bool folderInTheWay;                               // "Tiny.MEM.damaged" is a folder
    std::string keptAs;                                // the copy that holds the file afterwards
    bool madeNow;                                      // written by this run (else found there)
};
void PrintTo(const CopyCase& c, std::ostream* os) { *os << c.name; }
}  // namespace

class DamagedCopyName : public Fixture, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(DamagedCopyName, TakesTheFirstFreeNameOrAnExactCopy)
{
    const CopyCase& c = GetParam();
    const Bytes content = CutGood();
    writeBytes(file, content);
    if (c.folderInTheWay)
        std::filesystem::create_directory(dir / "Tiny.MEM.damaged");
    for (const auto& [name, bytes] : c.there)
        writeBytes(dir / name, bytes);

    EXPECT_EQ(db.Open(), TDatabaseStatus::dsRecovered);
    ASSERT_EQ(notices.all().size(), 1u);
    const std::string& text = notices.all()[0].Text;
    EXPECT_NE(text.find((c.madeNow ? "kept as " : "kept before as ") + (dir / c.keptAs).string() + "."),
              std::string::npos)
        << text;
    ASSERT_EQ(db.Save(Entry(9, "nine", 0, 0)), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file), File({Entry(1, "one", 2, 10), Entry(9, "nine", 0, 0)}));

    EXPECT_EQ(readBytes(dir / c.keptAs), content);
    for (const auto& [name, bytes] : c.there) {
        if (name != c.keptAs) {
            EXPECT_EQ(readBytes(dir / name), bytes) << name;
        }
    }
    // Nothing else was made: the folder holds the database, what was there and the one new copy.
    size_t files = 0;
    for (const auto& f : std::filesystem::directory_iterator(dir.path()))
        files += f.is_regular_file();
    EXPECT_EQ(files, 1 + c.there.size() + (c.madeNow ? 1 : 0));
    EXPECT_EQ(notices.all().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedCopyName,
    ::testing::Values(
        CopyCase{"NothingThere", {}, false, "Tiny.MEM.damaged", true},
        CopyCase{"OtherBytesThere", {{"Tiny.MEM.damaged", {1, 2, 3, 4, 5, 6, 7, 8}}}, false, "Tiny.MEM.damaged.2", true},
        CopyCase{"TwoOthersThere", {{"Tiny.MEM.damaged", {1}}, {"Tiny.MEM.damaged.2", {2}}}, false, "Tiny.MEM.damaged.3", true},
        CopyCase{"SameSizeOtherBytes", {{"Tiny.MEM.damaged", [] { Bytes b = CutGood(); b.back() ^= 1; return b; }()}},
                 false, "Tiny.MEM.damaged.2", true},
        CopyCase{"LongerWithTheSameStart", {{"Tiny.MEM.damaged", [] { Bytes b = CutGood(); b.push_back(0); return b; }()}},
                 false, "Tiny.MEM.damaged.2", true},
        CopyCase{"FolderInTheWay", {}, true, "Tiny.MEM.damaged.2", true},
        CopyCase{"ExactCopyThere", {{"Tiny.MEM.damaged", CutGood()}}, false, "Tiny.MEM.damaged", false},
        CopyCase{"ExactCopyUnderTheSecondName", {{"Tiny.MEM.damaged", {1}}, {"Tiny.MEM.damaged.2", CutGood()}}, false,
                 "Tiny.MEM.damaged.2", false}),
    [](const auto& info) { return std::string(info.param.name); });

// Damaged again while the window runs, after a copy was kept: the new bytes are kept as well before
// the next save writes them over, and nothing more is said.
TEST_F(SystemDatabase, FileDamagedAgainWhileRunningIsKeptAgain)
{
    const Bytes first = CutGood();
    writeBytes(file, first);
    EXPECT_EQ(db.Open(), TDatabaseStatus::dsRecovered);
    ASSERT_EQ(db.Save(Entry(9, "nine", 0, 0)), TDatabaseStatus::dsOk);
    const Bytes second = WithCount(kSecond, 3, 1000);
    writeBytes(file, second);
    ASSERT_EQ(db.Save(Entry(9, "nine", 0, 0)), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file), File({Entry(1, "one", 2, 10), Entry(9, "nine", 0, 0)}));
    EXPECT_EQ(readBytes(dir / "Tiny.MEM.damaged"), first);
    EXPECT_EQ(readBytes(dir / "Tiny.MEM.damaged.2"), second);
    EXPECT_EQ(notices.all().size(), 1u);
}

// A damaged file that cannot be kept (here the copy cannot be written whole: the process may write no
// more than a few bytes per file) is never written over in the run; the one box says so and why.
TEST_F(SystemDatabase, DamagedFileThatCannotBeKeptIsNotWrittenOver)
{
    const Bytes content = CutGood();
    writeBytes(file, content);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        RecordedNotices said;
        TSystemDatabase child(TinyLayout(), file);
        child.SetReport(&said);
        int fault = 0;
        if (child.Open() != TDatabaseStatus::dsRecovered)
            fault |= 1;
        TStoredEntry got;
        bool found = false;
        if (child.Load(1, got, found) != TDatabaseStatus::dsOk || !found)
            fault |= 2;
        for (int i = 0; i < 3; ++i)
            if (child.Save(Entry(9, "nine", 0, 0)) != TDatabaseStatus::dsNotSaved)
                fault |= 4;
        const std::string text = said.all().empty() ? "" : said.all()[0].Text;
        if (said.all().size() != 1 || text.find("cannot be saved") == std::string::npos ||
            text.find("File too large") == std::string::npos)
            fault |= 8;
        ::_exit(fault);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1 open, 2 load, 4 save, 8 box";
    EXPECT_EQ(readBytes(file), content);
    EXPECT_FALSE(std::filesystem::exists(dir / "Tiny.MEM.damaged"));
}

// An old headerless file with a trailing fragment: its complete entries are converted, the file as it
// was is kept first.
TEST_F(SystemDatabase, OldFileWithATrailingFragmentIsConvertedWithoutIt)
{
    Bytes old = OldEntries();
    old.resize(40, 0x77);
    writeBytes(file, old);
    EXPECT_EQ(db.Open(), TDatabaseStatus::dsConverted);
    EXPECT_TRUE(db.InUse());
    ASSERT_EQ(notices.all().size(), 1u);
    EXPECT_EQ(notices.all()[0].Caption, "Warning");
    EXPECT_EQ(readBytes(dir / "Tiny.MEM.damaged"), old);
    const Bytes converted = readBytes(file);
    ASSERT_EQ(converted.size(), 9u + 48);
    EXPECT_EQ(GetU16(converted.data() + 9), 3);
    EXPECT_EQ(GetU16(converted.data() + 9 + 32), 2026);  // the conversion's time
}

TEST_F(SystemDatabase, HeaderWithoutItsVersionByteIsAcceptedAndSaveAddsIt)
{
    const Bytes bare(kHeader.begin(), kHeader.end() - 1);
    writeBytes(file, bare);
    EXPECT_EQ(db.Open(), TDatabaseStatus::dsOk);
    EXPECT_TRUE(db.InUse());
    EXPECT_TRUE(notices.all().empty());
    TStoredEntry got;
    bool found = true;
    EXPECT_EQ(db.Load(4, got, found), TDatabaseStatus::dsOk);
    EXPECT_FALSE(found);
    EXPECT_EQ(readBytes(file), bare);
    const TStoredEntry four = Entry(4, "four", 1, 40);
    ASSERT_EQ(db.Save(four), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file), File({four}));
}

TEST_F(SystemDatabase, FileThatCouldNotBeCreatedAtStartIsTriedAgainByLoadAndSave)
{
    // The new file cannot be made where the temporary file should go.
    std::filesystem::create_directories(dir / "Tiny_Temp.MEM" / "x");
    EXPECT_EQ(db.Open(), TDatabaseStatus::dsCantCreate);
    ASSERT_EQ(notices.all().size(), 1u);
    EXPECT_EQ(notices.all()[0].Text, "The database file can't be created!");
    EXPECT_TRUE(db.InUse());

    // Still impossible: each attempt says so.
    TStoredEntry got;
    bool found = true;
    EXPECT_EQ(db.Load(1, got, found), TDatabaseStatus::dsCantCreate);
    EXPECT_FALSE(found);
    ASSERT_EQ(notices.all().size(), 2u);
    EXPECT_EQ(notices.all()[1].Text, "Cannot access the special database file!");
    EXPECT_EQ(notices.all()[1].Caption, "Fatal Error");
    EXPECT_EQ(db.Save(Entry(1, "one", 1, 10)), TDatabaseStatus::dsCantAccess);
    EXPECT_EQ(notices.all().size(), 3u);
    EXPECT_FALSE(std::filesystem::exists(file));

    // Possible again: the file is created and the system stored.
    std::filesystem::remove_all(dir / "Tiny_Temp.MEM");
    const TStoredEntry one = Entry(1, "one", 1, 10);
    ASSERT_EQ(db.Save(one), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file), File({one}));
    EXPECT_EQ(db.Load(1, got, found), TDatabaseStatus::dsOk);
    EXPECT_TRUE(found);
    EXPECT_EQ(got.Record, one.Record);
}

TEST_F(SystemDatabase, FileThatCannotBeReadIsReportedNotCalledDamaged)
{
    // A directory in its place opens but gives no bytes.
    std::filesystem::create_directory(file);
    if (DirectorySize(file) < kHeader.size())
        GTEST_SKIP() << "directories here are too small to be read as the header";
    EXPECT_EQ(db.Open(), TDatabaseStatus::dsCantOpen);
    EXPECT_TRUE(db.InUse());
    TStoredEntry got;
    bool found = true;
    EXPECT_EQ(db.Load(1, got, found), TDatabaseStatus::dsCantOpen);
    EXPECT_FALSE(found);
    ASSERT_EQ(notices.all().size(), 2u);
    EXPECT_EQ(notices.all()[0].Text, "The database file can't be opened!");
    EXPECT_EQ(notices.all()[1].Text, "Cannot access the special database file!");
    for (const auto& b : notices.all())
        EXPECT_EQ(b.Text.find("damaged"), std::string::npos);
}

// Damaged after the start: the save finds it, keeps it and writes the complete entries.
TEST_F(SystemDatabase, SaveKeepsAFileDamagedWhileRunning)
{
    ASSERT_EQ(db.Open(), TDatabaseStatus::dsCreated);
    Bytes bad = WithCount(kSecond, 3, 1000);
    writeBytes(file, bad);
    EXPECT_EQ(db.Save(Entry(9, "nine", 0, 0)), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file), File({Entry(1, "one", 2, 10), Entry(9, "nine", 0, 0)}));
    EXPECT_EQ(readBytes(dir / "Tiny.MEM.damaged"), bad);
    EXPECT_TRUE(db.InUse());
    ASSERT_EQ(notices.all().size(), 1u);
    EXPECT_EQ(notices.all()[0].Caption, "Warning");
}

// A writable file in a folder where no new file can be made (here the temporary file's name is taken
// by a folder): the save writes the file itself, whole.
TEST_F(SystemDatabase, SaveWhereNoTemporaryFileCanBeMadeWritesTheFileInPlace)
{
    writeBytes(file, Good());
    ASSERT_EQ(db.Open(), TDatabaseStatus::dsOk);
    std::filesystem::create_directory(dir / "Tiny_Temp.MEM");
    std::filesystem::create_directory(dir / "Tiny_Temp.MEM" / "x");
    const TStoredEntry one = Entry(1, "one+", 3, 40);
    EXPECT_EQ(db.Save(one), TDatabaseStatus::dsOk);
    EXPECT_TRUE(notices.all().empty());
    EXPECT_EQ(readBytes(file), File({Entry(2, "two", 1, 20), one}));
    // Shorter than before: the file is cut to its new length.
    const TStoredEntry two = Entry(2, "two", 0, 0);
    EXPECT_EQ(db.Save(two), TDatabaseStatus::dsOk);
    EXPECT_EQ(readBytes(file), File({one, two}));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "Tiny_Temp.MEM" / "x"));
}

// The same when the file cannot grow (the process may write no more than its present length, as on a
// full disk): the save fails, says so, and the file holds what it held.
TEST_F(SystemDatabase, SaveInPlaceThatCannotWriteLeavesTheFile)
{
    writeBytes(file, Good());
    std::filesystem::create_directory(dir / "Tiny_Temp.MEM");
    std::filesystem::create_directory(dir / "Tiny_Temp.MEM" / "x");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{Good().size(), Good().size()};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        RecordedNotices said;
        TSystemDatabase child(TinyLayout(), file);
        child.SetReport(&said);
        child.Open();
        const bool refused = child.Save(Entry(7, "seven", 3, 70)) == TDatabaseStatus::dsCantAccess;
        const bool told = said.all().size() == 1 && said.all()[0].Text == "Cannot access the special database file!" &&
                          said.all()[0].Caption == "Fatal Error" &&
                          said.all()[0].Kind == TNoticeKind::nkError && said.all()[0].Icon;
        ::_exit(refused && told ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readBytes(file), Good());
}

TEST_F(SystemDatabase, ConversionWhereNoTemporaryFileCanBeMadeIsWrittenInPlace)
{
    const Bytes old = OldEntries();
    writeBytes(file, old);
    std::filesystem::create_directory(dir / "Tiny_Temp.MEM");
    std::filesystem::create_directory(dir / "Tiny_Temp.MEM" / "x");
    EXPECT_EQ(db.Open(), TDatabaseStatus::dsConverted);
    EXPECT_TRUE(notices.all().empty());
    EXPECT_TRUE(db.InUse());
    const Bytes now = readBytes(file);
    ASSERT_EQ(now.size(), 9u + 48);
    EXPECT_EQ(Bytes(now.begin(), now.begin() + 9), kHeader);
    EXPECT_EQ(GetU16(now.data() + 9), 3);
}

// A child process replaces the file and is killed at the k-th step of the replacement, for every k
// until it gets through; after each kill the file is either the old one or the new one, whole.
namespace {

int KillAtStep(int k, const std::function<void()>& work)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        int seen = 0;
        TSystemDatabase::SetStepHook([&](TReplaceStep) {
            if (++seen == k)
                ::raise(SIGKILL);
        });
        work();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

}  // namespace

TEST_F(SystemDatabase, KilledSaveLeavesTheOldOrTheNewFile)
{
    const TStoredEntry a = Entry(1, "one", 2, 10), b = Entry(2, "two", 1, 20), a2 = Entry(1, "one+", 3, 40);
    const Bytes before = File({a, b}), after = File({b, a2});
    int killed = 0, newFiles = 0;
    for (int k = 1; k < 100; ++k) {
        writeBytes(file, before);
        int status = KillAtStep(k, [&] {
            TSystemDatabase child(TinyLayout(), file);
            child.Save(a2);
        });
        const Bytes now = readBytes(file);
        EXPECT_TRUE(now == before || now == after) << "killed at step " << k;
        newFiles += now == after;
        if (WIFEXITED(status)) {
            EXPECT_EQ(now, after);
            break;
        }
        ++killed;
        TSystemDatabase check(TinyLayout(), file);
        EXPECT_EQ(check.Open(), TDatabaseStatus::dsOk) << "killed at step " << k;
    }
    EXPECT_GE(killed, 5);   // temp opened, parts written, written, synced, renamed
    EXPECT_GE(newFiles, 2); // killed after the rename, and the run that finished
}

TEST_F(SystemDatabase, KilledConversionLeavesTheOldOrTheNewFile)
{
    Bytes old = OldEntries();
    Append(old, OldEntries());
    PutU16(old.data() + 32, 4);
    int killed = 0;
    Bytes converted;
    for (int k = 1; k < 100; ++k) {
        writeBytes(file, old);
        int status = KillAtStep(k, [&] {
            TSystemDatabase child(TinyLayout(), file);
            child.SetTimeSource([] { return kNow; });
            child.Open();
        });
        const Bytes now = readBytes(file);
        if (WIFEXITED(status)) {
            converted = now;
            break;
        }
        ++killed;
        EXPECT_TRUE(now == old || now.size() == 9 + 2 * 48) << "killed at step " << k;
        // A later start either converts the old file or finds the new one good.
        TSystemDatabase again(TinyLayout(), file);
        again.SetTimeSource([] { return kNow; });
        TDatabaseStatus st = again.Open();
        EXPECT_TRUE(now == old ? st == TDatabaseStatus::dsConverted : st == TDatabaseStatus::dsOk);
    }
    EXPECT_GE(killed, 5);
    ASSERT_EQ(converted.size(), 9u + 2 * 48);
    EXPECT_EQ(GetU16(converted.data() + 9 + 48), 4);
}

// The image in memory goes the same road as the file: what Open leaves, what Save writes and what the
// browser reads are the same bytes and answers for the file's bytes held in memory.
TEST(SystemDatabaseImage, AgreesWithTheFile)
{
    const Bytes bare(kHeader.begin(), kHeader.end() - 1);
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"current", Good()},
        {"header only", kHeader},
        {"header without version", bare},
        {"old", OldEntries()},
        {"empty", {}},
        {"cut inside a list", [] { Bytes b = Good(); b.resize(b.size() - 3); return b; }()},
        {"negative count", WithCount(9, 2, -1)},
        {"huge count", WithCount(9, 0, 0x7FFFFFFF)},
        {"old list past the end", [] { Bytes b = OldEntries(); PutI32(b.data() + 28, 1); return b; }()},
    };
    const TStoredEntry saved = Entry(2, "two+", 2, 60);
    for (const auto& [name, content] : cases) {
        SCOPED_TRACE(name);
        TempDir dir;
        const auto file = dir / "Tiny.MEM";
        RecordedNotices notices;
        TSystemDatabase db{TinyLayout(), file};
        db.SetReport(&notices);
        db.SetTimeSource([] { return kNow; });
        writeBytes(file, content);

        Bytes current;
        const TDatabaseStatus checked = db.CheckImage(content, current);
        // A file with damaged entries is left as it is by both; Open says what it found.
        const TDatabaseStatus opened = db.Open();
        ASSERT_EQ(opened == TDatabaseStatus::dsRecovered ? TDatabaseStatus::dsOk : opened, checked);
        EXPECT_TRUE(db.InUse() == (checked != TDatabaseStatus::dsDamaged));
        if (checked == TDatabaseStatus::dsDamaged) {
            EXPECT_TRUE(current.empty());
            Bytes image = content;
            EXPECT_EQ(db.SaveImage(image, saved), TDatabaseStatus::dsDamaged);
            EXPECT_EQ(image, content);
            continue;
        }
        EXPECT_EQ(readBytes(file), current);

        std::vector<uint16_t> fromFile, fromImage;
        EXPECT_EQ(db.ReadIdentities(Bytes{}, fromImage), TDatabaseStatus::dsDamaged);  // no header
        ASSERT_EQ(db.ReadIdentities(fromFile), db.ReadIdentities(current, fromImage));
        EXPECT_EQ(fromFile, fromImage);

        Bytes image = current;
        ASSERT_EQ(db.Save(saved), TDatabaseStatus::dsOk);
        ASSERT_EQ(db.SaveImage(image, saved), TDatabaseStatus::dsOk);
        EXPECT_EQ(readBytes(file), image);

        TStoredEntry got;
        bool found = false;
        ASSERT_EQ(db.ReadEntry(image, 2, got, found), TDatabaseStatus::dsOk);
        ASSERT_TRUE(found);
        EXPECT_EQ(Flat(got), Flat(saved));
    }
}

// A damaged database in a folder the user may not write in: one box says why nothing can be saved,
// the complete entries are still read, and no save writes the file or says more, whether the damage
// is found at the start or by a save.
class ReadOnlyFolder : public Fixture, public ::testing::WithParamInterface<bool> {};

TEST_P(ReadOnlyFolder, DamagedFileIsLeftWithOneBoxThatSaysWhy)
{
    const bool atStart = GetParam();
    const Bytes content = CutGood();
    writeBytes(file, atStart ? content : Good());
    UnwritableFolder readOnly(dir.path());
    if (!readOnly.Works())
        GTEST_SKIP() << "cannot make a folder unwritable: " << readOnly.Why();

    EXPECT_EQ(db.Open(), atStart ? TDatabaseStatus::dsRecovered : TDatabaseStatus::dsOk);
    if (!atStart)
        writeBytes(file, content);  // the file itself stays writable
    TStoredEntry got;
    bool found = false;
    EXPECT_EQ(db.Load(1, got, found), TDatabaseStatus::dsOk);
    EXPECT_TRUE(found);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(db.Save(Entry(9, "nine", 0, 0)), TDatabaseStatus::dsNotSaved);
    EXPECT_EQ(readBytes(file), content);
    ASSERT_EQ(notices.all().size(), 1u);
    const auto& box = notices.all()[0];
    EXPECT_EQ(box.Caption, "Fatal Error!");
    EXPECT_EQ(box.Kind, TNoticeKind::nkError);
    EXPECT_TRUE(box.Icon);
    EXPECT_NE(box.Text.find(file.string() + " is damaged"), std::string::npos) << box.Text;
    EXPECT_NE(box.Text.find("the folder " + dir.path().string() + " is read-only, so the damaged file cannot be "
                            "repaired there"),
              std::string::npos)
        << box.Text;
    EXPECT_NE(box.Text.find("the systems heard in this run cannot be saved"), std::string::npos) << box.Text;
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadOnlyFolder, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "FoundAtStart" : "FoundBySave"; });

// A read-only folder where an unrelated copy holds the first name: the box names the copy that could
// not be made, the next name, and the unrelated copy is left as it is.
TEST_F(SystemDatabase, DamagedFileInAReadOnlyFolderNamesTheCopyThatCouldNotBeMade)
{
    const Bytes content = CutGood();
    writeBytes(file, content);
    const Bytes unrelated = {1, 2, 3};
    writeBytes(dir / "Tiny.MEM.damaged", unrelated);
    UnwritableFolder readOnly(dir.path());
    if (!readOnly.Works())
        GTEST_SKIP() << "cannot make a folder unwritable: " << readOnly.Why();

    EXPECT_EQ(db.Open(), TDatabaseStatus::dsRecovered);
    EXPECT_EQ(db.Save(Entry(9, "nine", 0, 0)), TDatabaseStatus::dsNotSaved);
    ASSERT_EQ(notices.all().size(), 1u);
    const std::string& text = notices.all()[0].Text;
    EXPECT_NE(text.find("cannot be kept as " + (dir / "Tiny.MEM.damaged.2").string() + " because the folder"),
              std::string::npos)
        << text;
    EXPECT_EQ(readBytes(file), content);
    EXPECT_EQ(readBytes(dir / "Tiny.MEM.damaged"), unrelated);
}
