#pragma once
// The packet-radio applet ("Packet Radio Decoder"): the text window with the data-rate choice, the
// receiver-state panel and the 300 bit/s tuning indicator; captured sound goes to the decoding
// thread, and what the thread prints comes back to the pane and the log.
#include "PacketDecodeThread.h"
#include "TextDecoderForm.h"

#include <memory>

class QAction;

extern const char* const kPacketName;  // "Packet Radio Decoder"

// The packet window's row of the text window.
TTextWindowConfig PacketConfig();
TAppletTraits PacketTraits();

class TPacketForm : public TTextDecoderForm {
    Q_OBJECT
public:
    explicit TPacketForm(int32_t receiver);
    ~TPacketForm() override;

    void N300bpsHF1Click();
    void N1200bpsVHF1Click();
    // Paints the tuning indicator into status panel 3 (only while 300 bps (HF) is checked).
    void StatusBar1DrawPanel();

    QAction* N300bpsHF1 = nullptr;
    QAction* N1200bpsVHF1 = nullptr;
    TPacketDecodeThread& Thread() { return *thread_; }
    int32_t LowerTone() const { return lowerTone_; }
    int32_t UpperTone() const { return upperTone_; }
    // Takes what the decoding thread handed back: printed frames to the pane and the log, status.
    void CollectOutput();

protected:
    TPcmFormat CaptureFormat() const override { return TPcmFormat{1, 44100, 16}; }
    int CaptureBufferCount() const override { return 8; }
    int CaptureBufferBytes() const override { return 8192; }
    void DecodeBuffer(const int16_t* samples, size_t count) override;
    void OwnMenuClick(const std::string& name, QAction* action) override;
    void LoadOwnSettings(const TAppletSettings& s) override;
    void SaveOwnSettings(TAppletSettings& s) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void StopThread();

    std::unique_ptr<TPacketDecodeThread> thread_;
    int32_t lowerTone_ = 0, upperTone_ = 0;
};

bool CreatePacketApplet(int32_t receiver);
