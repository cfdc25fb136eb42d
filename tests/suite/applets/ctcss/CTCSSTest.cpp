// The CTCSS window through the frame's fakes: detection shown on the grid and the status bar, the
// target tone, scan control pokes, the tone-gated recording and the settings.
#include "CTCSS.h"
#include "CTCSSTone.h"
#include "SuiteFakes.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/MessageBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>

#include <gmock/gmock.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>

namespace {

class CTCSSForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseFakeServices(&log, &store, &wave, &dde);
        AppletServices().ProcessMessages = [] { QCoreApplication::processEvents(); };
        platform::SetDialogHandler([this](platform::TCommonDialog& d) {
            auto& save = static_cast<platform::TSaveDialog&>(d);
            proposed = save.FileName;
            save.FileName = answer;
            return !answer.empty();
        });
    }
    void Create()
    {
        form = std::make_unique<TCTCSSForm>(3);
        form->LocalTime = [] {
            std::tm t{};
            t.tm_mday = 9, t.tm_mon = 11, t.tm_year = 126, t.tm_hour = 8, t.tm_min = 59, t.tm_sec = 13;
            return t;
        };
        form->FormCreate();
    }
    void TearDown() override
    {
        if (form)
            form->FormDestroy();
        form.reset();
        platform::SetDialogHandler(nullptr);
        AppletServices() = TAppletServices();
        std::filesystem::remove_all(dir);
    }
    void Deliver(const std::vector<int16_t>& b) { wave->OnData(0, b.data(), b.size()); }
    long Pokes() const { return std::count(log.begin(), log.end(), "poke 7 ScanState 2 -1"); }

    std::vector<std::string> log;
    TFakeSettingsStore store;
    TFakeDde* dde = nullptr;
    TFakeWaveIn* wave = nullptr;
    std::unique_ptr<TCTCSSForm> form;
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("ctcss-" + std::to_string(::getpid()));
    std::string answer;
    std::string proposed;
};

TEST_F(CTCSSForm, StartsWithTheGridAndTheHotLink)
{
    Create();
    EXPECT_FALSE(form->Failed());
    EXPECT_EQ(form->ToneLabels.size(), 41u);
    EXPECT_EQ(form->ToneLabels[14]->text().toStdString(), "100.0Hz");
    EXPECT_EQ(form->ToneLabels[9]->x(), form->ToneLabels[0]->x());  // rows of nine
    EXPECT_GT(form->ToneLabels[9]->y(), form->ToneLabels[8]->y() + form->ToneLabels[8]->height() - 1);
    EXPECT_EQ(form->ToneLabels[40]->x(), form->ToneLabels[4]->x());  // the last row holds five
    EXPECT_EQ(form->TargetTone(), 0);
    EXPECT_EQ(form->SelectionShape->geometry(), form->ToneLabels[0]->geometry().adjusted(-2, -2, 2, 2));
    EXPECT_THAT(log, ::testing::Contains("start 2x16384"));
    EXPECT_THAT(log, ::testing::Contains("advstart 7 ScanState 5000"));
    EXPECT_EQ(form->windowTitle().toStdString(), "CTCSS Decoder");
}

TEST_F(CTCSSForm, ShowsTheDetectedToneAndNoTone)
{
    Create();
    form->ToneLabelClick(14);
    Deliver(CTCSSTone(100.0));
    EXPECT_EQ(form->StatusPanel0->text().toStdString(), "100.0Hz");
    EXPECT_EQ(TCTCSSForm::ShapeColor(form->ToneLabels[14]), QColor(255, 255, 0));  // the target: yellow
    Deliver(CTCSSTone(203.5));
    EXPECT_EQ(TCTCSSForm::ShapeColor(form->ToneLabels[34]), QColor(0, 255, 0));  // another: lime
    EXPECT_NE(TCTCSSForm::ShapeColor(form->ToneLabels[14]), QColor(255, 255, 0));
    Deliver(std::vector<int16_t>(kCTCSSBlock, 0));
    EXPECT_EQ(form->StatusPanel0->text().toStdString(), "No tone");
    EXPECT_EQ(form->LitTone(), 34);
}

TEST_F(CTCSSForm, ScanControlPokesUntilTheHostScans)
{
    Create();
    form->ToneLabelClick(14);
    Deliver(CTCSSTone(203.5));
    EXPECT_EQ(Pokes(), 0) << "scan control is off";
    form->CheckBox2->setChecked(true);
    Deliver(CTCSSTone(203.5));
    EXPECT_EQ(Pokes(), 1);
    Deliver(std::vector<int16_t>(kCTCSSBlock, 0));
    EXPECT_EQ(Pokes(), 2) << "a channel without a tone is skipped";
    Deliver(CTCSSTone(100.0));
    EXPECT_EQ(Pokes(), 2) << "the target stays";
    std::vector<uint8_t> one = {'1', 0};
    EXPECT_EQ(form->DdeCallback({dde::XTYP_ADVDATA, 7, "Korvanta #3", "ScanState", one}), dde::DDE_FACK);
    EXPECT_TRUE(form->HostScanning());
    Deliver(CTCSSTone(203.5));
    EXPECT_EQ(Pokes(), 2);
}

TEST_F(CTCSSForm, RecordsOnlyTheTargetBuffers)
{
    std::filesystem::create_directories(dir);
    answer = (dir / "rec.wav").string();
    Create();
    form->ToneLabelClick(14);
    form->CheckBox1->setChecked(true);
    EXPECT_EQ(proposed, "100.0Hz D09-12-26 T08-59-13");
    ASSERT_TRUE(form->Recording());
    EXPECT_EQ(std::filesystem::file_size(answer), 44u);
    const std::vector<std::vector<int16_t>> buffers = {CTCSSTone(100.0), CTCSSTone(203.5), std::vector<int16_t>(kCTCSSBlock, 0),
                                                       CTCSSTone(100.0), CTCSSTone(100.0, kCTCSSBlock, 100)};
    for (const auto& b : buffers)
        Deliver(b);
    // Kept whole while it grows: the header already counts what was written.
    EXPECT_EQ(std::filesystem::file_size(answer), 44u + 2u * 16384u);
    {
        std::ifstream open(answer, std::ios::binary);
        uint8_t head[44];
        open.read(reinterpret_cast<char*>(head), 44);
        EXPECT_EQ(TWaveFileHeader::FromBytes(head).DataSize, 32768u);
    }
    form->CheckBox1->setChecked(false);
    EXPECT_FALSE(form->Recording());
    std::ifstream f(answer, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), {});
    ASSERT_EQ(bytes.size(), 44u + 2u * 16384u);
    const TWaveFileHeader h = TWaveFileHeader::FromBytes(bytes.data());
    EXPECT_TRUE(h.IsMonoPcm16());
    EXPECT_EQ(h.SamplesPerSec, 11025u);
    EXPECT_EQ(h.DataSize, 32768u);
    EXPECT_EQ(h.RiffSize, 32768u + 36);
    EXPECT_EQ(bytes[44], uint8_t(uint16_t(buffers[0][0])));
    EXPECT_EQ(bytes[44 + 16384 + 2], uint8_t(uint16_t(buffers[3][1])));
}

TEST_F(CTCSSForm, AnEmptyRecordingIsAHeaderAndACancelUnticks)
{
    std::filesystem::create_directories(dir);
    answer = (dir / "empty.wav").string();
    Create();
    form->CheckBox1->setChecked(true);
    form->CheckBox1->setChecked(false);
    EXPECT_EQ(std::filesystem::file_size(answer), 44u);
    answer.clear();  // the dialog is cancelled
    form->CheckBox1->setChecked(true);
    EXPECT_FALSE(form->CheckBox1->isChecked());
    EXPECT_FALSE(form->Recording());
    EXPECT_TRUE(form->StatusPanel1->text().isEmpty());
}

TEST_F(CTCSSForm, AFileThatCannotBeCreatedUnticksAndSaysSo)
{
    answer = (dir / "no" / "such" / "folder.wav").string();
    Create();
    platform::MessageBoxRecorder boxes;
    form->CheckBox1->setChecked(true);
    EXPECT_FALSE(form->CheckBox1->isChecked());
    EXPECT_FALSE(form->Recording());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_THAT(boxes.boxes()[0].text, ::testing::StartsWith("Cannot create file"));
}

TEST_F(CTCSSForm, SettingsAreKeptAndTheTargetClamped)
{
    Create();
    form->ToneLabelClick(22);
    form->CheckBox2->setChecked(true);
    form->FormDestroy();
    form.reset();
    auto& key = store.keys["\\Software\\Korvanta Communications\\Quenda\\CTCSS"];
    EXPECT_EQ(key.at("TargetTone"), "22");
    EXPECT_EQ(key.at("Scan"), "1");
    EXPECT_EQ(key.at("Log"), "0");
    for (auto [stored, target] : {std::pair{"-3", 0}, std::pair{"99", 40}, std::pair{"7", 7}}) {
        key["TargetTone"] = stored;
        Create();
        EXPECT_EQ(form->TargetTone(), target) << stored;
        EXPECT_TRUE(form->CheckBox2->isChecked());
        form->FormDestroy();
        form.reset();
    }
}

// A recording cut short by a kill is a whole WAV file holding every buffer recorded before it.
TEST(CTCSSRecording, SurvivesAKill)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("ctcss-kill-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "killed.wav").string();
    const std::string child = std::string(std::getenv("KORVANTA_BUILD_DIR")) + "/bin/ctcss_record_child";
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::execl(child.c_str(), child.c_str(), path.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    FILE* lines = ::fdopen(out[0], "r");
    long recorded = 0;
    char line[64];
    while (recorded < 6 && std::fgets(line, sizeof line, lines))
        recorded = std::atol(line);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::fclose(lines);
    ASSERT_EQ(recorded, 6) << "the child did not record";
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), {});
    ASSERT_GE(bytes.size(), 44u);
    const TWaveFileHeader h = TWaveFileHeader::FromBytes(bytes.data());
    EXPECT_TRUE(h.IsMonoPcm16());
    EXPECT_EQ(bytes.size(), 44u + h.DataSize) << "the header counts exactly the data in the file";
    EXPECT_EQ(h.RiffSize, h.DataSize + 36);
    EXPECT_GE(h.DataSize, 6u * 16384u);
    EXPECT_EQ(h.DataSize % 16384u, 0u);
    std::filesystem::remove_all(dir);
}

}  // namespace
