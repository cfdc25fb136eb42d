// The recorder's rules apart from its window: states, the squelch gate, texts, the time scale and
// the stored settings.
#include "RecorderLogic.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;

namespace {

TEST(RecorderState, EachStateEnablesItsControlsAndNamesItself)
{
    struct Case {
        uint8_t state;
        bool hasFile;
        const char* text;
        bool play, stop, audioFormat, seek;  // Play stands for Record, New and Open; Stop for Pause
    };
    const std::vector<Case> cases = {
        {rsStopped, false, "Stopped", true, false, true, false},
        {rsStopped, true, "Stopped", true, false, true, true},
        {rsStopped | rsPaused | rsRecording, true, "Stopped", true, false, true, true},  // stopped wins
        {rsRecording, false, "Recording", false, true, false, false},
        {rsRecording, true, "Recording", false, true, false, false},
        {rsRecording | rsSquelched, false, "Squelched", false, true, false, false},
        {rsRecording | rsPaused, false, "Rec paused", false, true, false, false},
        {rsRecording | rsPaused | rsSquelched, false, "Rec paused", false, true, false, false},
        {rsPlaying, true, "Playing", false, true, true, true},
        {rsPlaying | rsPaused, true, "Play paused", false, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.state));
        EXPECT_EQ(StateText(c.state), c.text);
        const TRecorderControls e = EnabledControls(c.state, c.hasFile);
        EXPECT_EQ(e.Play, c.play);
        EXPECT_EQ(e.Record, c.play);
        EXPECT_EQ(e.New, c.play);
        EXPECT_EQ(e.Open, c.play);
        EXPECT_EQ(e.Stop, c.stop);
        EXPECT_EQ(e.Pause, c.stop);
        EXPECT_EQ(e.AudioFormat, c.audioFormat);
        EXPECT_EQ(e.Seek, c.seek);
    }
    EXPECT_EQ(NormalState(rsStopped | rsPlaying), rsStopped);
    EXPECT_EQ(NormalState(rsRecording | rsSquelched), rsRecording | rsSquelched);
}

TEST(RecorderState, SquelchGateAndWhatHoldsTheCapture)
{
    struct Case {
        bool controlled;
        int32_t strength, squelch;
        bool squelched;
    };
    for (const Case& c : std::vector<Case>{{true, 10, 20, true},
                                           {true, 20, 20, false},
                                           {true, 21, 20, false},
                                           {false, 10, 20, false},
                                           {true, -5, 0, true},  // signed comparison
                                           {true, INT32_MIN, INT32_MAX, true}})
        EXPECT_EQ(Squelched(c.controlled, c.strength, c.squelch), c.squelched)
            << c.controlled << " " << c.strength << " " << c.squelch;
    // Paused while squelched: the gate opening alone does not start the capture again.
    EXPECT_TRUE(CaptureRuns(rsRecording));
    EXPECT_FALSE(CaptureRuns(rsRecording | rsSquelched));
    EXPECT_FALSE(CaptureRuns(rsRecording | rsPaused));
    EXPECT_FALSE(CaptureRuns(rsRecording | rsPaused | rsSquelched));
}

TEST(RecorderTexts, TimeAndSize)
{
    const std::vector<std::pair<int64_t, const char*>> times = {
        {0, "0:00:00.0"},    {9, "0:00:00.9"},       {10, "0:00:01.0"},        {600, "0:01:00.0"},
        {35999, "0:59:59.9"}, {36000, "1:00:00.0"}, {1234567, "34:17:36.7"},
    };
    for (const auto& [tenths, text] : times)
        EXPECT_EQ(TimeText(tenths), text) << tenths;
    const std::vector<std::pair<uint64_t, const char*>> sizes = {
        {0, "0.0 MB"}, {52428, "0.0 MB"}, {52429, "0.1 MB"}, {1048576, "1.0 MB"}, {1572864, "1.5 MB"},
        {2146435072u, "2047.0 MB"}, {5ull << 40, "5242880.0 MB"},
    };
    for (const auto& [bytes, text] : sizes)
        EXPECT_EQ(SizeText(bytes), text) << bytes;
}

TEST(RecorderScale, RowForTheTrackBarsMaximum)
{
    const std::vector<std::pair<int, int>> cases = {{0, 0},   {15, 0},  {16, 1},        {600, 5},
                                                    {750, 5}, {751, 6}, {2700000, 17}, {2700001, -1}};
    for (const auto& [maximum, row] : cases)
        EXPECT_EQ(ScaleRowFor(maximum), row) << maximum;
    for (int row = 0; row < kScaleRows; ++row)
        EXPECT_EQ(ScaleLimit(row), 15 * ScaleFrequency(row));
    EXPECT_EQ(ScaleFrequency(17), 180000);
    EXPECT_EQ(ScaleFrequency(18), 0);
}

TEST(RecorderScale, LabelFormOfEachGroupOfRows)
{
    struct Case {
        int row;
        int64_t e;
        const char* text;
    };
    for (const Case& c : std::vector<Case>{{0, 5, "0.50"},       {2, 75, "7.50"},      {3, 100, "10.0"},
                                           {5, 750, "75.0"},     {6, 1500, "2:30"},    {8, 4500, "7:30"},
                                           {9, 18000, "30:00"},  {11, 45000, "75:00"}, {12, 90000, "2:30"},
                                           {14, 270000, "7:30"}, {15, 72000, "2:00"},  {17, 2700000, "75:00"}})
        EXPECT_EQ(ScaleLabel(c.row, c.e), c.text) << c.row << " " << c.e;
}

TEST(RecorderScale, SixtySecondFileIsLabelledUnderItsInteriorTicks)
{
    const int maximum = 600;
    const int row = ScaleRowFor(maximum);
    ASSERT_EQ(row, 5);
    ASSERT_EQ(ScaleFrequency(row), 50);
    const std::vector<TScaleLabel> all = ScaleLabels(row, maximum);
    ASSERT_EQ(all.size(), 7u);
    // The bar draws interior ticks at 50, 100 ... 550 tenths (indices 0 to 10); 0 and the end have none.
    const int interior = (maximum - 1) / ScaleFrequency(row);
    std::vector<std::string> shown;
    std::vector<int> at;
    for (const TScaleLabel& l : all)
        if (l.TickIndex >= 0 && l.TickIndex < interior) {
            shown.push_back(l.Text);
            at.push_back((l.TickIndex + 1) * ScaleFrequency(row));
        }
    EXPECT_THAT(shown, ElementsAre("10.0", "20.0", "30.0", "40.0", "50.0"));
    EXPECT_THAT(at, ElementsAre(100, 200, 300, 400, 500));
    EXPECT_TRUE(ScaleLabels(row, 0).empty());
    EXPECT_TRUE(ScaleLabels(-1, 600).empty());
}

TEST(RecorderSettings, StoredValuesAreCheckedAndShownByTheNearestChoice)
{
    for (const auto& [stored, used] : std::vector<std::pair<int32_t, int32_t>>{
             {8, 8}, {16, 16}, {0, 8}, {12, 8}, {24, 8}, {-16, 8}})
        EXPECT_EQ(CheckedBits(stored), used) << stored;
    for (const auto& [stored, used] : std::vector<std::pair<int32_t, int32_t>>{
             {16000, 16000}, {1, 1}, {0, 11025}, {-1, 11025}, {INT32_MIN, 11025}, {96000, 96000}})
        EXPECT_EQ(CheckedRate(stored), used) << stored;
    for (const auto& [rate, choice] : std::vector<std::pair<int32_t, int>>{
             {8000, 11025}, {11025, 11025}, {11026, 22050}, {16000, 22050}, {22050, 22050}, {22051, 44100}})
        EXPECT_EQ(RateChoice(rate), choice) << rate;
    EXPECT_EQ(BitsChoice(8), 8);
    EXPECT_EQ(BitsChoice(16), 16);
    for (const auto& [bytes, choice] : std::vector<std::pair<int32_t, int>>{{1048576, 1},
                                                                         {1048575, 2047},
                                                                         {5 * 1048576 + 7, 5},
                                                                         {1024 * 1048576, 1024},
                                                                         {3 * 1048576, 2047},
                                                                         {2047 * 1048576, 2047}})
        EXPECT_EQ(SizeChoiceMB(bytes), choice) << bytes;
    const TRecorderSettings defaults;
    EXPECT_EQ(defaults.BitsPerSample, 8);
    EXPECT_EQ(defaults.SamplingRate, 11025);
    EXPECT_EQ(defaults.MaximumFileSize, 2146435072);
    EXPECT_TRUE(defaults.SquelchControlled);
}

TEST(RecorderSettings, DriveSpaceIsJudgedIn64Bits)
{
    EXPECT_TRUE(DriveAlmostFull(0));
    EXPECT_TRUE(DriveAlmostFull(4999999));
    EXPECT_FALSE(DriveAlmostFull(5000000));
    // A large disk whose free bytes do not fit 32 bits is not "almost full".
    EXPECT_FALSE(DriveAlmostFull(uint64_t(1) << 32));
    EXPECT_FALSE(DriveAlmostFull((uint64_t(1) << 40) + 1));
}

}  // namespace
