#pragma once
// The MPT1327 decoder window: the shared decoder frame with the MPT1327 panes.
#include "OrvDecoderForm.h"

class TQelRichEdit;

class TMPT1327Form : public TOrvDecoderForm {
    Q_OBJECT
public:
    TMPT1327Form(OrvHostWindow hostWindow, const OrvReceiverInfo* info, OrvHostCallback callback, uint32_t* flags,
                 OrvInstance instance);
    ~TMPT1327Form() override;

    static TOrvFormConfig MakeConfig();
    // Samples per bit and half a bit of the codeword receiver, from the input's rate.
    int32_t SamplesPerBit = 0;
    int32_t HalfBit = 0;
    int32_t TunedFrequency = 0;
    TQelRichEdit* RE1;

protected:
    void ResetReceiver() override;
    void SetTunedFrequency(int32_t frequency) override;
    QWidget* CreateAboutForm() override;
};

// The about box of this plug-in.
class TMPT1327AboutForm;
