#include "platform/settings/Registry.h"

#include "TestSupport.h"

#include <cstring>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::Registry;
using platform::RegistryDataType;
using platform::RegistryError;

namespace {

const std::string kDtmf = "\\Software\\Korvanta Communications\\Quenda\\DTMF";
const std::string kReceiver = "\\Software\\Korvanta Communications\\Tollan\\MPT1327\\Receiver 1";

class RegistryTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedEnv config{"XDG_CONFIG_HOME", dir.path().string()};
    fs::path base() const { return dir.path() / "Korvanta Communications"; }
};

// Strings that would break a line-based file if they were written raw.
const std::vector<std::string> kOddStrings = {
    "",
    "plain text",
    "a=b=c",
    "100% sure %41",
    "line one\r\nline two\n",
    "; not a comment",
    "[not a section]",
    "Motorola SmartNet\xAE",
    std::string("zero\0inside", 11),
    "tab\there \\ back\\slash",
};

double readDouble(const Registry& reg, const std::string& name)
{
    double d = 0;
    EXPECT_EQ(reg.ReadBinaryData(name, &d, sizeof d), sizeof d);
    return d;
}

TEST_F(RegistryTest, EveryValueTypeSurvivesIntoAnotherProcess)
{
    const std::vector<uint8_t> binary = {0, 1, 0, 0, 255, 0};
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int rc = 1;
        {
            Registry reg;
            if (reg.OpenKey(kDtmf, true)) {
                reg.WriteInteger("Left", -123);
                reg.WriteInteger("Min", INT32_MIN);
                reg.WriteInteger("Max", INT32_MAX);
                reg.WriteBool("Log", true);
                reg.WriteBool("Paused", false);
                for (size_t i = 0; i < kOddStrings.size(); ++i)
                    reg.WriteString("S" + std::to_string(i), kOddStrings[i]);
                reg.WriteString("odd=name;[x]\n", "value");
                reg.WriteBinaryData("Bytes", binary);
                reg.WriteBinaryData("Empty", nullptr, 0);
                double cursor = 12.625;
                reg.WriteBinaryData("Scope Cursor 1", &cursor, sizeof cursor);
                reg.CloseKey();
                rc = 0;
            }
        }
        ::_exit(rc);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_TRUE(fs::is_regular_file(base() / "Quenda" / "DTMF.ini"));
    Registry reg;
    ASSERT_TRUE(reg.OpenKey(kDtmf, false));
    EXPECT_EQ(reg.ReadInteger("Left"), -123);
    EXPECT_EQ(reg.ReadInteger("Min"), INT32_MIN);
    EXPECT_EQ(reg.ReadInteger("Max"), INT32_MAX);
    EXPECT_TRUE(reg.ReadBool("Log"));
    EXPECT_FALSE(reg.ReadBool("Paused"));
    for (size_t i = 0; i < kOddStrings.size(); ++i)
        EXPECT_EQ(reg.ReadString("S" + std::to_string(i)), kOddStrings[i]) << "string " << i;
    EXPECT_EQ(reg.ReadString("odd=name;[x]\n"), "value");
    EXPECT_EQ(reg.ReadBinaryData("Bytes"), binary);
    EXPECT_TRUE(reg.ReadBinaryData("Empty").empty());
    EXPECT_EQ(reg.GetDataType("Empty"), RegistryDataType::rdBinary);
    EXPECT_EQ(readDouble(reg, "Scope Cursor 1"), 12.625);
    // every file write went through a temporary that is gone now
    for (const auto& e : fs::directory_iterator(base() / "Quenda"))
        EXPECT_EQ(e.path().filename().string().rfind('.', 0), std::string::npos) << e.path();
}

TEST_F(RegistryTest, AbsentKeyIsNotCreatedWithoutAsking)
{
    Registry reg;
    EXPECT_FALSE(reg.KeyExists(kReceiver));
    EXPECT_FALSE(reg.OpenKey(kReceiver, false));
    EXPECT_FALSE(reg.HasCurrentKey());
    EXPECT_FALSE(fs::exists(base() / "Tollan"));

    ASSERT_TRUE(reg.OpenKey(kReceiver, true));
    EXPECT_EQ(reg.CurrentPath(), kReceiver);
    // the key exists at once, for another program too, even before a value is written
    EXPECT_TRUE(Registry().KeyExists(kReceiver));
    EXPECT_TRUE(fs::is_regular_file(base() / "Tollan" / "MPT1327" / "Receiver 1.ini"));
    EXPECT_TRUE(Registry().KeyExists("\\Software\\Korvanta Communications\\Tollan"));
    EXPECT_FALSE(Registry().KeyExists("\\Software\\Korvanta Communications\\Tollan\\SmartNet"));
}

TEST_F(RegistryTest, MissingOrMistypedValueIsAnError)
{
    Registry reg;
    ASSERT_TRUE(reg.OpenKey(kDtmf, true));
    reg.WriteInteger("Width", 640);
    reg.WriteBool("Toolbar", true);
    reg.WriteString("LogFileName", "DTMF.LOG");
    reg.WriteBinaryData("Cursor", std::vector<uint8_t>{1, 2});

    EXPECT_FALSE(reg.ValueExists("Method1"));
    EXPECT_EQ(reg.GetDataType("Method1"), RegistryDataType::rdUnknown);
    EXPECT_THROW(reg.ReadBool("Method1"), RegistryError);
    EXPECT_THROW(reg.ReadInteger("Width "), RegistryError);

    EXPECT_THROW(reg.ReadString("Width"), RegistryError);
    EXPECT_THROW(reg.ReadBinaryData("Width"), RegistryError);
    EXPECT_THROW(reg.ReadInteger("LogFileName"), RegistryError);
    EXPECT_THROW(reg.ReadBool("Cursor"), RegistryError);
    EXPECT_THROW(reg.ReadString("Cursor"), RegistryError);
    EXPECT_THROW(reg.ReadBinaryData("LogFileName"), RegistryError);
    // integer and Boolean are the same kind of number
    EXPECT_EQ(reg.ReadInteger("Toolbar"), 1);
    EXPECT_TRUE(reg.ReadBool("Width"));

    reg.CloseKey();
    EXPECT_THROW(reg.ReadInteger("Width"), RegistryError);
    EXPECT_THROW(reg.WriteInteger("Width", 1), RegistryError);
    EXPECT_FALSE(reg.ValueExists("Width"));
}

TEST_F(RegistryTest, UnsafeOrForeignPathsAreRefused)
{
    const std::vector<std::string> refused = {
        "\\Software\\Korvanta Communications\\..\\Escape",
        "\\Software\\Korvanta Communications\\Quenda\\..",
        "\\Software\\Korvanta Communications\\.\\X",
        "\\Software\\Korvanta Communications\\a/b",
        "\\Software\\Korvanta Communications\\\\Empty",
        std::string("\\Software\\Korvanta Communications\\nul\0x", 39),
        "\\Software\\Other Company\\Quenda",
        "\\Software",
        "\\Software\\Korvanta Communications",
        "",
    };
    for (const auto& path : refused) {
        Registry reg;
        EXPECT_FALSE(reg.OpenKey(path, true)) << path;
        EXPECT_FALSE(reg.HasCurrentKey()) << path;
    }
    EXPECT_FALSE(fs::exists(dir.path() / "Escape.ini"));
    EXPECT_FALSE(fs::exists(base() / "a"));
    EXPECT_FALSE(fs::exists(dir.path() / "Quenda.ini"));
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling)
{
    {
        Registry reg;
        ASSERT_TRUE(reg.OpenKey(kDtmf, true));
        reg.WriteInteger("LeftPosition", 10);
        reg.WriteInteger("leftposition", 11);
    }
    Registry reg;
    ASSERT_TRUE(reg.OpenKey("\\software\\korvanta communications\\QUENDA\\dtmf", false));
    EXPECT_EQ(reg.CurrentPath(), kDtmf);
    EXPECT_EQ(reg.ReadInteger("LEFTPOSITION"), 11);
    EXPECT_EQ(reg.GetValueNames(), std::vector<std::string>{"LeftPosition"});
}

TEST_F(RegistryTest, RelativePathOpensBelowTheCurrentKey)
{
    Registry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Korvanta Communications\\Tollan", true));
    ASSERT_TRUE(reg.OpenKey("MPT1327\\Receiver 1", true));
    EXPECT_EQ(reg.CurrentPath(), kReceiver);
    ASSERT_TRUE(reg.OpenKey("\\Software\\Korvanta Communications\\Tollan", false));
    EXPECT_EQ(reg.GetKeyNames(), std::vector<std::string>{"MPT1327"});
}

TEST_F(RegistryTest, DeleteValueAndConcurrentWritersMerge)
{
    Registry a, b;
    ASSERT_TRUE(a.OpenKey(kReceiver, true));
    ASSERT_TRUE(b.OpenKey(kReceiver, true));
    a.WriteInteger("Left", 5);
    a.WriteInteger("Top", 6);
    a.CloseKey();
    b.WriteString("Log File Name", "calls");
    b.CloseKey();  // changed different values: both survive

    ASSERT_TRUE(a.OpenKey(kReceiver, false));
    EXPECT_EQ(a.ReadInteger("Left"), 5);
    EXPECT_EQ(a.ReadString("Log File Name"), "calls");
    EXPECT_TRUE(a.DeleteValue("top"));
    EXPECT_FALSE(a.DeleteValue("Top"));
    EXPECT_FALSE(a.ValueExists("Top"));
    a.CloseKey();

    ASSERT_TRUE(b.OpenKey(kReceiver, false));
    EXPECT_FALSE(b.ValueExists("Top"));
    EXPECT_TRUE(b.ValueExists("Left"));
}

TEST_F(RegistryTest, DamagedLinesAreSkipped)
{
    fs::create_directories(base() / "Quenda");
    testsupport::writeFile(base() / "Quenda" / "DTMF.ini",
                           "; comment\n[section]\nWidth=int:640\nHeight=int:12x\nBad%G1=int:1\nNoEquals\n"
                           "Log=bool:1\nName=str:ok%2\nHex=hex:0g\nOdd=hex:012\nKind=float:1\n");
    Registry reg;
    ASSERT_TRUE(reg.OpenKey(kDtmf, false));
    EXPECT_EQ(reg.ReadInteger("Width"), 640);
    EXPECT_TRUE(reg.ReadBool("Log"));
    EXPECT_EQ(reg.GetValueNames().size(), 2u);
}

TEST_F(RegistryTest, FallsBackToHomeConfigFolder)
{
    testsupport::TempDir home;
    testsupport::ScopedEnv noXdg("XDG_CONFIG_HOME", "");
    testsupport::ScopedEnv homeEnv("HOME", home.path().string());
    EXPECT_EQ(Registry::BaseFolder(), home.path() / ".config" / "Korvanta Communications");
    Registry reg;
    ASSERT_TRUE(reg.OpenKey(kDtmf, true));
    EXPECT_TRUE(fs::exists(home.path() / ".config" / "Korvanta Communications" / "Quenda" / "DTMF.ini"));
}

// Settings that cannot be written are not lost without a word: standard error names the folder,
// once in a run however many keys fail, and the keys are refused.
TEST_F(RegistryTest, FolderThatCannotBeMadeIsToldOnceOnStandardError)
{
    testsupport::writeFile(dir.path() / "plain-file", "not a folder");
    testsupport::ScopedEnv blocked("XDG_CONFIG_HOME", (dir.path() / "plain-file").string());
    EXPECT_EXIT(
        {
            Registry reg;
            const bool opened = reg.OpenKey(kDtmf, true) || reg.OpenKey(kReceiver, true) || reg.OpenKey(kDtmf, true);
            std::exit(opened ? 1 : 0);
        },
        ::testing::ExitedWithCode(0),
        "^[^\n]*: settings are not saved: cannot create the folder [^\n]*/plain-file/Korvanta Communications/Quenda "
        "\\(Not a directory\\)\n$");
}

}  // namespace
