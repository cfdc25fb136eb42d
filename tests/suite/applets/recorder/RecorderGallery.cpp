// Pictures of the recorder: recording, paused, playing a minute-long file under its painted time
// scale, and the file properties box; with the layout checks every window passes.
#include "EventPump.h"
#include "Gallery.h"
#include "NewTrackBar.h"
#include "Recorder2.h"
#include "RecorderFakes.h"
#include "TestSupport.h"
#include "WavePropsUnit.h"
#include "platform/sound/WaveScript.h"
#include "platform/ui/Locale.h"
#include "tools/siggen/Wav.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <gmock/gmock.h>

namespace {

class RecorderGallery : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::setWaveScript(output);
        TAppletServices& s = AppletServices();
        s.MakeDdeClient = [this]() -> std::unique_ptr<TDdeClientPort> { return std::make_unique<TRecorderDde>(&log); };
        s.MakeWaveIn = [this]() -> std::unique_ptr<TWaveInPort> {
            auto w = std::make_unique<TRecorderWaveIn>(&log);
            wave = w.get();
            return w;
        };
        s.ProcessMessages = [] { QCoreApplication::processEvents(); };
        platform::SetDialogHandler([this](platform::TCommonDialog& d) {
            static_cast<platform::TOpenDialog&>(d).FileName = answer;
            return true;
        });
        form = std::make_unique<TRecorder2Form>(3);
        form->FormCreate();
        ASSERT_FALSE(form->Failed());
    }
    void TearDown() override
    {
        form->FormDestroy();
        form.reset();
        platform::SetDialogHandler(nullptr);
        AppletServices() = TAppletServices();
        platform::setWaveScript(nullptr);
    }
    void SaveChecked(QWidget& w, const std::string& name)
    {
        testsupport::gallerySave(w, name);
        EXPECT_THAT(testsupport::captionsThatDoNotFit(w), ::testing::IsEmpty()) << name;
        EXPECT_THAT(testsupport::overlappingControls(w), ::testing::IsEmpty()) << name;
    }
    std::filesystem::path MinuteFile()
    {
        siggen::Audio a;
        a.rate = 11025;
        a.samples.assign(11025 * 60, 0.1);
        const std::filesystem::path file = dir / "minute.wav";
        siggen::writeWav(file, a, 8);
        return file;
    }

    testsupport::TempDir dir;
    std::shared_ptr<platform::WaveScript> output = std::make_shared<platform::WaveScript>();
    std::vector<std::string> log;
    std::string answer;
    TRecorderWaveIn* wave = nullptr;
    std::unique_ptr<TRecorder2Form> form;
};

TEST_F(RecorderGallery, Stopped) { SaveChecked(*form, "recorder-stopped"); }

TEST_F(RecorderGallery, RecordingAndPaused)
{
    answer = (dir / "rec.wav").string();
    form->RecordButtonClick();
    const std::vector<uint8_t> b(4096, 128);
    for (int n = 0; n < 40; ++n)
        wave->Deliver(b.data(), b.size());
    EXPECT_EQ(form->StatusText(0), "Recording");
    SaveChecked(*form, "recorder-recording");
    form->PauseButtonClick();
    EXPECT_EQ(form->StatusText(0), "Rec paused");
    SaveChecked(*form, "recorder-recording-paused");
}

TEST_F(RecorderGallery, PlayingAMinuteUnderItsScale)
{
    answer = MinuteFile().string();
    form->Open1Click();
    ASSERT_TRUE(form->MediaPlayer().isOpen());
    EXPECT_EQ(form->TrackBar->maximum(), 600);
    EXPECT_EQ(form->ScaleRow(), 5);
    form->TrackBar->SetPosition(230);
    form->TrackBarChange();
    form->PlayButtonClick();
    form->PauseButtonClick();  // held, so that the picture shows playing at 23 s
    EXPECT_EQ(form->StatusText(0), "Play paused");
    SaveChecked(*form, "recorder-playing-paused");
}

TEST_F(RecorderGallery, PropertiesBox)
{
    answer = MinuteFile().string();
    form->Open1Click();
    platform::LocaleInfo english;
    platform::SetLocale(&english);
    TWavePropsForm props;
    props.SetFileName(form->MediaPlayer().file().string());
    props.FileSizeLabel->setText(QString::fromStdString(WithThousands(form->MediaPlayer().lengthBytes()) + " bytes"));
    props.SamplePerSecLabel->setText("11,025 Hz");
    props.BitsPerSampleLabel->setText("8");
    props.NumChannelsLabel->setText("1");
    EXPECT_EQ(props.FileSizeLabel->text(), "661,500 bytes");
    SaveChecked(props, "recorder-wave-properties");
    platform::SetLocale(nullptr);
}

}  // namespace
