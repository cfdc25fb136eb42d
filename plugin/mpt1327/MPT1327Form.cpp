#include "MPT1327Form.h"

#include "MPT1327AboutForm.h"
#include "QelRichEdit.h"

#include <QLabel>

TOrvFormConfig TMPT1327Form::MakeConfig()
{
    TOrvFormConfig c;
    c.Name = "MPT1327";
    c.RegistryKey = "\\Software\\Korvanta Communications\\Tollan\\MPT1327\\Receiver ";
    c.HelpFile = "Marlet.hlp";
    c.HelpTopic = "mpt1327_system_monitor";
    c.LogFileName = "MPT1327_Log";
    c.RecFileName = "MPT1327.wav";
    c.AboutLine = "Trunking Decoder - MPT1327";
    c.SamplesPerSec = 11025;
    c.InBufferSize = 8192;
    c.ValidThreshold = 5;
    return c;
}

TMPT1327Form::TMPT1327Form(OrvHostWindow hostWindow, const OrvReceiverInfo* info, OrvHostCallback callback,
                           uint32_t* flags, OrvInstance instance)
    : TOrvDecoderForm(MakeConfig(), hostWindow, info, callback, flags, instance)
{
    auto* messages = new QLabel("Messages:", this);
    messages->setGeometry(10, 4, 200, 16);
    messages->setStyleSheet("color: white");
    RE1 = new TQelRichEdit(this);
    RE1->setGeometry(10, 20, 390, 150);
    RE1->setReadOnly(true);
    auto* onAir = new QLabel("On air:", this);
    onAir->setGeometry(10, 176, 200, 16);
    onAir->setStyleSheet("color: white");
}

TMPT1327Form::~TMPT1327Form() { RunCloseSequence(); }

void TMPT1327Form::ResetReceiver()
{
    const int32_t rate = int32_t(WaveIn->SamplesPerSec);
    SamplesPerBit = (rate + 600) / 1200;
    HalfBit = SamplesPerBit / 2;
}

void TMPT1327Form::SetTunedFrequency(int32_t frequency) { TunedFrequency = frequency; }

QWidget* TMPT1327Form::CreateAboutForm() { return new TMPT1327AboutForm(this); }
