#pragma once
// The signal classifier: each time the host's scanner stops, one short capture is measured for
// silence, noise and data, and the host is asked to scan on when the class is one the user ticked.
#include "AppletForm.h"
#include "ClassifierAnalysis.h"
#include "LevelMeter.h"

class QCheckBox;
class QFrame;
class QPushButton;

extern const char* const kClassifierName;  // "Signal Classifier"
extern const char* const kScanStateItem;   // "ScanState"

class TClassifierForm : public TAppletForm {
    Q_OBJECT
public:
    explicit TClassifierForm(int32_t receiver);

    // The scanner stopped: one capture is queued.
    void StartClick();
    // The same capture, analysed without asking the host anything.
    void TestClick();
    void HelpButtonClick();
    void ExitButtonClick();

    TLevelMeter* LM1 = nullptr;  // silence
    TLevelMeter* LM2 = nullptr;  // noise
    TLevelMeter* LM3 = nullptr;  // data
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QCheckBox* CheckBox4 = nullptr;  // "Resume scan for unrecognized signal"
    QFrame* GateIndicator = nullptr;
    QFrame* SkipChannel = nullptr;
    QPushButton* Test = nullptr;
    QPushButton* HelpButton = nullptr;
    QPushButton* ExitButton = nullptr;

    bool CapturePending() const { return capturePending_; }
    bool TestMode() const { return testMode_; }
    const TClassifierResult& LastResult() const { return result_; }
    static QColor IndicatorColor(const QFrame* shape);

protected:
    TPcmFormat CaptureFormat() const override { return TPcmFormat{1, 11025, 16}; }
    int CaptureBufferCount() const override { return 1; }
    int CaptureBufferBytes() const override { return int(kClassifierSamples * sizeof(int16_t)); }
    int CaptureBuffersQueuedAtStart() const override { return 0; }
    bool RequeueAfterData() const override { return false; }
    void WaveInData(const int16_t* samples, size_t count) override;
    void ConnectHost() override;
    void AdviseValue(const std::string& item, int32_t value) override;

private:
    void BuildLayout();
    void ResumeScan();
    static void SetIndicator(QFrame* shape, const QColor& c);

    TClassifierAnalysis analysis_;
    TClassifierResult result_;
    bool capturePending_ = false;
    bool testMode_ = false;
    int resumeData_ = 0;  // the owned data handle "1"
};

bool CreateClassifierApplet(int32_t receiver);
