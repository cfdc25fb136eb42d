// The window shows the system database's notices as the boxes the database has always shown: the
// same text, caption, button and icon, whatever failure the database meets.
#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

#include "DatabaseBoxes.h"
#include "SystemDatabase.h"
#include "TestSupport.h"
#include "db/UnwritableFolder.h"
#include "platform/ui/MessageBox.h"

using testsupport::TempDir;
using testsupport::writeBytes;
using Bytes = std::vector<unsigned char>;

namespace {

// Record: identity (0), five counts (4..23); one-byte list entries.
TDatabaseLayout SmallLayout()
{
    TDatabaseLayout l;
    l.Header = "Small DB ";
    l.RecordSize = 24;
    l.OldRecordSize = 24;
    l.Lists = {{{4, 1, 1, {}}, {8, 1, 1, {}}, {12, 1, 1, {}}, {16, 1, 1, {}}, {20, 1, 1, {}}}};
    l.TempName = "Small_Temp.MEM";
    l.OtherHeaders = {"Other DB "};
    return l;
}

const Bytes kHeader = {'S', 'm', 'a', 'l', 'l', ' ', 'D', 'B', ' ', '1'};

// A file with one whole record and a second one cut short.
Bytes WithACutRecord()
{
    Bytes b = kHeader;
    b.resize(b.size() + 24 + 3, 0);
    b[kHeader.size() + 24] = 7;  // the second record's identity
    return b;
}

struct Box {
    std::string text, caption;
    unsigned flags;
};

// The one box of a file refused and left as it is; why says what the file is.
std::vector<Box> Refused(const std::filesystem::path& file, const std::string& why)
{
    return {{"The database file " + file.string() + why +
                 " It is left unchanged, and the systems heard in this session are not saved.",
             "Fatal Error!", platform::MB_OK | platform::MB_ICONERROR}};
}

struct BoxCase {
    const char* name;
    // Sets up the folder and drives the database to its failure; false when this machine cannot.
    std::function<bool(const TempDir&, TSystemDatabase&)> run;
    std::function<std::vector<Box>(const std::filesystem::path& file)> expected;
};
void PrintTo(const BoxCase& c, std::ostream* os) { *os << c.name; }

class DatabaseBoxes : public ::testing::TestWithParam<BoxCase> {};

using namespace platform;

}  // namespace

TEST_P(DatabaseBoxes, ShowEachNoticeAsTheBoxItHasAlwaysBeen)
{
    TempDir dir;
    const auto file = dir / "Small.MEM";
    MessageBoxRecorder shown;
    TDatabaseBoxes boxes(nullptr);
    TSystemDatabase db(SmallLayout(), file);
    db.SetReport(&boxes);
    if (!GetParam().run(dir, db))
        GTEST_SKIP() << "this failure cannot be made here";
    const std::vector<Box> expected = GetParam().expected(file);
    ASSERT_EQ(shown.boxes().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(shown.boxes()[i].text, expected[i].text) << i;
        EXPECT_EQ(shown.boxes()[i].caption, expected[i].caption) << i;
        EXPECT_EQ(shown.boxes()[i].flags, expected[i].flags) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DatabaseBoxes,
    ::testing::Values(
        BoxCase{"CannotBeCreated",
                [](const TempDir& dir, TSystemDatabase& db) {
                    std::filesystem::create_directories(dir / "Small_Temp.MEM" / "x");
                    db.Open();
                    TStoredEntry e;
                    bool found = false;
                    db.Load(1, e, found);
                    return true;
                },
                [](const std::filesystem::path&) {
                    return std::vector<Box>{{"The database file can't be created!", "Fatal Error!", MB_OK},
                                            {"Cannot access the special database file!", "Fatal Error",
                                             MB_OK | MB_ICONERROR}};
                }},
        BoxCase{"CannotBeOpened",
                [](const TempDir& dir, TSystemDatabase& db) {
                    std::filesystem::create_directory(dir / "Small.MEM");
                    struct stat st {};
                    if (::stat((dir / "Small.MEM").c_str(), &st) != 0 || uint64_t(st.st_size) < kHeader.size())
                        return false;
                    db.Open();
                    return true;
                },
                [](const std::filesystem::path&) {
                    return std::vector<Box>{{"The database file can't be opened!", "Fatal Error!", MB_OK}};
                }},
        BoxCase{"NoDatabase",
                [](const TempDir& dir, TSystemDatabase& db) {
                    writeBytes(dir / "Small.MEM", {'h', 'e', 'l', 'l', 'o'});
                    db.Open();
                    return true;
                },
                [](const std::filesystem::path& file) { return Refused(file, " is damaged!"); }},
        BoxCase{"DamagedEntries",
                [](const TempDir& dir, TSystemDatabase& db) {
                    writeBytes(dir / "Small.MEM", WithACutRecord());
                    db.Open();
                    return true;
                },
                [](const std::filesystem::path& file) {
                    return std::vector<Box>{{"The database file " + file.string() +
                                                 " is damaged: its complete entries are used, and what cannot be "
                                                 "read is left out when the file is next written. The file as it "
                                                 "was is kept as " +
                                                 file.string() + ".damaged.",
                                             "Warning", MB_OK | MB_ICONWARNING}};
                }},
        BoxCase{"OtherDatabase",
                [](const TempDir& dir, TSystemDatabase& db) {
                    Bytes b = {'O', 't', 'h', 'e', 'r', ' ', 'D', 'B', ' ', '1'};
                    b.resize(b.size() + 48, 0);
                    writeBytes(dir / "Small.MEM", b);
                    db.Open();
                    return true;
                },
                [](const std::filesystem::path& file) {
                    return Refused(file, " holds another database (\"Other DB\"), not a \"Small DB\" file!");
                }},
        BoxCase{"DamagedInAReadOnlyFolder",
                [](const TempDir& dir, TSystemDatabase& db) {
                    writeBytes(dir / "Small.MEM", WithACutRecord());
                    UnwritableFolder readOnly(dir.path());
                    if (!readOnly.Works())
                        return false;
                    db.Open();
                    db.Save(TStoredEntry{std::vector<uint8_t>(24, 0), {}});
                    return true;
                },
                [](const std::filesystem::path& file) {
                    return std::vector<Box>{{"The database file " + file.string() +
                                                 " is damaged: its complete entries are used. It cannot be kept as " +
                                                 file.string() + ".damaged because the folder " +
                                                 file.parent_path().string() +
                                                 " is read-only, so the damaged file cannot be repaired there. It is "
                                                 "left as it is, and the systems heard in this run cannot be saved.",
                                             "Fatal Error!", MB_OK | MB_ICONERROR}};
                }}),
    [](const auto& info) { return std::string(info.param.name); });
