#pragma once
// The SmartNet decoder window: the shared decoder frame with the SmartNet panes, holding the
// transition detector, the outbound-word receiver and interpreter, the current system's record
// and the secondary receiver. The window only passes events on to them and shows what they report.
#include "DatabaseBoxes.h"
#include "OrvDecoderForm.h"
#include "OrvOnAirGrid.h"
#include "QelFSKDecoder.h"
#include "QelResampler.h"
#include "SecondaryReceiver.h"
#include "SmartNetDatabase.h"
#include "SmartNetDecoder.h"
#include "SmartNetLog.h"
#include "SmartNetReceiver.h"

#include <QPointer>
#include <QWidget>


class TSmartNetForm;
class TSmartNetDBBrowseForm;
class TSmartNetEditorForm;

// The on-air grid: three columns ("ID", "Ch.", "Time") in 13-pixel Arial, rows of 17 pixels with
// one-pixel lines, the caption row fixed; the identity column left-aligned.
class TSmartNetOnAirGrid : public TOrvOnAirGrid {
    Q_OBJECT
public:
    static constexpr int kDefaultColumnWidth = 64;

    TSmartNetOnAirGrid(TSmartNetDecoder& decoder, QWidget* parent);
};

class TSmartNetForm : public TOrvDecoderForm, public TSmartNetDecoderClient {
    Q_OBJECT
public:
    TSmartNetForm(OrvHostWindow hostWindow, const OrvReceiverInfo* info, OrvHostCallback callback, uint32_t* flags,
                  OrvInstance instance, TReceiverLibrary& receivers = Kvapi32Library());
    ~TSmartNetForm() override;

    static TOrvFormConfig MakeConfig();

    TSmartNetDecoder& Decoder() { return decoder_; }
    TSmartNetReceiver& Receiver() { return receiver_; }
    TQelFSKDecoder& FSKDec() { return fsk_; }
    TQelResampler& Resample() { return resample_; }
    TSmartNetSystemRecord& Record() { return record_; }
    TSmartNetDatabase& Database() { return database_; }
    TSecondaryReceiver& Secondary() { return secondary_; }

    TSmartNetOnAirGrid* Disp;
    TQelButton* AutoFollow;
    TQelStaticText *SysTypeLabel, *SysTime, *SysSite;

    void RetToCtrlClick() { decoder_.RetToCtrlClick(); }
    void Clear1Click();
    // "Database" and "System information edit": the browser and the editor, made on first use.
    void DBBrowseClick();
    void SysEditClick();
    QPointer<TSmartNetDBBrowseForm> BrowserWindow;
    QPointer<TSmartNetEditorForm> EditorWindow;
    void FSKDecTransition(TQelFSKDecoder*, uint32_t position, int32_t value)
    {
        receiver_.FSKDecTransition(position, value);
    }

    // TSmartNetDecoderClient
    void TuneHost(int32_t frequency, bool selfCaused) override;
    bool SecondaryInUse() override { return secondary_.InUse(); }
    uint32_t SecondaryFrequency() override { return secondary_.Frequency(); }
    void SecondaryFollow(uint32_t frequency) override { secondary_.Follow(frequency); }
    void SecondaryPark() override { secondary_.Park(); }
    uint16_t SecondarySignalStrength() override { return secondary_.SignalStrength(); }
    bool AutoTuneChecked() override;
    TSmartNetLocalTime LocalTime() override;
    TSmartNetDateNames DateNames() override;
    void SelectSystem(uint16_t identity) override;
    void SaveSystem() override;
    void WriteLogEntry(const TSmartNetLocalTime& time, uint16_t system, const TSmartNetOnAirEntry& entry) override;
    void SetText(TSmartNetLabel label, const std::string& text) override;
    void EnableSystemControls(bool enabled) override;
    void RetToCtrlChanged(bool enabled) override;
    void SetGridRows(int rows) override
    {
        if (Disp)
            Disp->SetRowCount(rows);
    }
    void RepaintGrid() override
    {
        if (Disp)
            Disp->update();
    }

    // TSecondaryWindow
    bool RetToCtrlEnabled() override { return decoder_.RetToCtrl(); }
    void DisableRetToCtrl() override { decoder_.SetRetToCtrl(false); }
    void TuneHostToControlChannel() override;

protected:
    void SetChannelSize(int32_t size) override;
    void InitDecoder() override;
    void ReadExtraSettings(platform::Registry& reg) override;
    void OpenDatabase() override;
    void LogFileClick() override;
    void WriteExtraSettings(platform::Registry& reg) override;
    void ResetReceiver() override;
    void SetTunedFrequency(int32_t frequency) override { decoder_.TunedFrequency = frequency; }
    void ProcessSamples(const int16_t* first, uint32_t count, uint32_t stride) override;
    void TrafficScanTick() override { decoder_.TimerTick(); }
    void StartSecondaryReceiver() override { secondary_.StartSecondaryReceiver(); }
    void StopSecondaryReceiver() override { secondary_.StopSecondaryReceiver(); }
    void SecondarySetAttenuator(bool on) override { secondary_.SetAttenuator(on ? 1 : 0); }
    void SecondarySetVolume(int32_t volume) override { secondary_.SetVolume(volume); }
    void ClearCallList() override { decoder_.ClearCalls(); }
    void SaveCurrentSystem() override { SaveSystem(); }
    void CloseBrowserEditor() override;
    void NotifyAction(int32_t code, int32_t value) override;
    QWidget* CreateAboutForm() override;

private:
    void layOut();

    TSmartNetSystemRecord record_;
    TDatabaseBoxes databaseBoxes_{this};  // the database's notices, shown as boxes
    TSmartNetDatabase database_;
    TSmartNetLog log_;
    TSmartNetDecoder decoder_;
    TSmartNetReceiver receiver_;
    TQelFSKDecoder fsk_;
    TQelResampler resample_;
    TSecondaryReceiver secondary_;
};
