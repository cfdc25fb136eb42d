#pragma once
// The "ACARS Decoder" applet: captures 44100 Hz audio, decodes ACARS messages and prints them field
// by field into the text window, with the parity filter, the syntax check and four look-ups.
#include "ACARSDemod.h"
#include "ACARSPrinter.h"
#include "TextDecoderForm.h"

class QAction;

extern const char* const kACARSName;  // "ACARS Decoder"

// The ACARS window's row of the text window.
TTextWindowConfig ACARSConfig();
TAppletTraits ACARSTraits();

class TACARSForm : public TTextDecoderForm {
    Q_OBJECT
public:
    explicit TACARSForm(int32_t receiver);
    ~TACARSForm() override;

    TACARSDemod& Demod() { return demod_; }
    TACARSPrinter& Printer() { return printer_; }
    // The six own items of the Options menu, in menu order.
    QAction* ParityFilter1 = nullptr;
    QAction* SyntaxCheck1 = nullptr;
    QAction* LabelsDetails1 = nullptr;
    QAction* MessageNoDetails1 = nullptr;
    QAction* RegistrationDetails1 = nullptr;
    QAction* FlightDetails1 = nullptr;

    // A completed message: printed when the framer lets it through.
    void PrintFrame(int len);

protected:
    TPcmFormat CaptureFormat() const override;
    int CaptureBufferCount() const override { return 64; }
    int CaptureBufferBytes() const override { return 8192; }
    void DecodeBuffer(const int16_t* samples, size_t count) override;
    void NewExtras() override;
    void LoadOwnSettings(const TAppletSettings& s) override;
    void SaveOwnSettings(TAppletSettings& s) override;

private:

    TACARSDemod demod_;
    TACARSPrinter printer_;
};

bool CreateACARSApplet(int32_t receiver);
