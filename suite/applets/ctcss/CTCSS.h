#pragma once
// The CTCSS decoder: which of 41 sub-audible tones the receiver's audio carries, with the target
// tone picked on a grid of labels, scan control that asks the host's scanner to move on from a
// channel without the target tone, and a recording of only the buffers that carry it.
#include "AppletForm.h"
#include "CTCSSDetector.h"
#include "WaveFileHeader.h"

#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

extern const char* const kCTCSSName;  // "CTCSS Decoder"

class TCTCSSForm : public TAppletForm {
    Q_OBJECT
public:
    explicit TCTCSSForm(int32_t receiver);
    ~TCTCSSForm() override;

    std::vector<QLabel*> ToneLabels;
    QFrame* SelectionShape = nullptr;
    QCheckBox* CheckBox2 = nullptr;  // "&Scan control"
    QCheckBox* CheckBox1 = nullptr;  // "&Record to wave file"
    QFrame* LED = nullptr;
    QLabel* Label1 = nullptr;        // "Rec"
    QPushButton* HelpButton = nullptr;
    QPushButton* Button2 = nullptr;  // "E&xit"
    QLabel* StatusPanel0 = nullptr;  // the detected tone
    QLabel* StatusPanel1 = nullptr;  // the recording file

    void ToneLabelClick(int tag);
    void CheckBox1Click();
    void HelpButtonClick();
    void Button2Click();
    // One capture buffer, as the sound input hands it over.
    void MMWimData(const int16_t* samples, size_t count);
    void CloseWaveFile();

    int TargetTone() const { return target_; }
    int LitTone() const { return lit_; }
    bool HostScanning() const { return hostScanning_; }
    bool Recording() const { return file_ != nullptr; }
    const TWaveFileHeader& Header() const { return header_; }
    const TCTCSSResult& LastResult() const { return last_; }
    static QColor ShapeColor(const QWidget* w);

    // The local time the proposed file name is made of; tests put their own.
    std::function<std::tm()> LocalTime;

protected:
    void CreateSteps() override;
    void LoadSettings(const TAppletSettings& s) override;
    void SaveSettings(TAppletSettings& s) override;
    TPcmFormat CaptureFormat() const override { return TPcmFormat{1, kCTCSSRate, 16}; }
    int CaptureBufferCount() const override { return 2; }
    int CaptureBufferBytes() const override { return kCTCSSBlock * 2; }
    void WaveInData(const int16_t* samples, size_t count) override { MMWimData(samples, count); }
    void ConnectHost() override;
    void AdviseValue(const std::string& item, int32_t value) override;
    void CloseRecordingFile() override { CloseWaveFile(); }
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildLayout();
    void SetColour(QWidget* w, const QColor& c);
    void WriteHeader();
    void StopRecording(const std::string& why);

    TCTCSSDetector detector_;
    TCTCSSResult last_;
    int target_ = 0;
    int lit_ = 0;
    bool hostScanning_ = false;
    int scanOnHandle_ = 0;  // the data handle holding "1"
    TWaveFileHeader header_ = TWaveFileHeader::Pcm(1, kCTCSSRate, 16);
    std::FILE* file_ = nullptr;
    std::vector<uint8_t> raw_;  // a recorded buffer's bytes, kept from one buffer to the next
    std::string fileName_;
    bool toggling_ = false;
};
