#pragma once
// The DTMF decoder applet: the digits heard on the receiver's audio as text, one line per burst,
// in the text decoder window.
#include "DTMFDecoder.h"
#include "TextDecoderForm.h"

#include <memory>

extern const char* const kDTMFName;  // "DTMF Decoder"

// The DTMF window's row of the text window.
TTextWindowConfig DTMFWindowConfig();
TAppletTraits DTMFTraits();

class TDTMFForm : public TTextDecoderForm {
    Q_OBJECT
public:
    explicit TDTMFForm(int32_t receiver);

    void N11Click();  // "Method &1"
    void N21Click();  // "Method &2"
    TDTMFDecoder& Decoder() { return *decoder_; }
    QAction* Method1Item() const { return method1_; }
    QAction* Method2Item() const { return method2_; }

protected:
    TPcmFormat CaptureFormat() const override { return TPcmFormat{1, kDTMFRate, 16}; }
    int CaptureBufferCount() const override { return 2; }
    int CaptureBufferBytes() const override { return kDTMFBufferSamples * 2; }
    void DecodeBuffer(const int16_t* samples, size_t count) override;
    void OwnMenuClick(const std::string& name, QAction* action) override;
    void NewExtras() override;
    void LoadOwnSettings(const TAppletSettings& s) override;
    void SaveOwnSettings(TAppletSettings& s) override;

private:
    void setMethod(bool method1);

    std::unique_ptr<TDTMFDecoder> decoder_;
    QAction* method1_ = nullptr;
    QAction* method2_ = nullptr;
};

bool CreateDTMFApplet(int32_t receiver);
