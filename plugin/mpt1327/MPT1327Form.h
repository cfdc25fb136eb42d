#pragma once
// The MPT1327 decoder window: the shared decoder frame with the MPT1327 panes, holding the
// codeword receiver and interpreter, the current system's database record, the call log and the
// secondary receiver with its traffic scan. The window only passes events on to them and shows
// what they report.
#include "DatabaseBoxes.h"
#include "MPT1327Browse.h"
#include "MPT1327Database.h"
#include "MPT1327Decoder.h"
#include "MPT1327Log.h"
#include "MPT1327Receiver.h"
#include "MPT1327RecordAccess.h"
#include "OrvBrowseForms.h"
#include "OrvDecoderForm.h"
#include "OrvOnAirGrid.h"
#include "QelAFSKDemod.h"
#include "SecondaryReceiver.h"
#include "TrafficScan.h"

#include <QPointer>
#include <QWidget>

#include <algorithm>

class TQelRichEdit;
class TMPT1327Form;

// The "On air:" call list: four columns of 61 pixels, rows of 17, the caption row fixed, and a
// scroll bar beside them.
class TMPT1327OnAirGrid : public TOrvOnAirGrid {
    Q_OBJECT
public:
    static constexpr int kColumnWidth = 61;

    TMPT1327OnAirGrid(TMPT1327Decoder& decoder, QWidget* parent);
};

class TMPT1327Form : public TOrvDecoderForm,
                     public TMPT1327DecoderClient {
    Q_OBJECT
public:
    TMPT1327Form(OrvHostWindow hostWindow, const OrvReceiverInfo* info, OrvHostCallback callback, uint32_t* flags,
                 OrvInstance instance, TReceiverLibrary& receivers = Kvapi32Library());
    ~TMPT1327Form() override;

    static TOrvFormConfig MakeConfig();
    // Samples per bit and half a bit of the codeword receiver, from the input's rate.
    int32_t SamplesPerBit = 0;
    int32_t HalfBit = 0;
    TQelRichEdit* RE1;
    TMPT1327OnAirGrid* Disp;

    TMPT1327Decoder& Decoder() { return decoder_; }
    TMPT1327Database& Database() { return database_; }
    TSecondaryReceiver& Secondary() { return secondary_; }

    // "Database": saves the current system and shows the browser; "System information edit": the editor.
    void DBBrowseClick();
    void SysEditClick();
    QPointer<TOrvDBBrowseForm> BrowserWindow;
    QPointer<TOrvEditorForm> EditorWindow;

    void RetToCtrlClick();

    // TMPT1327DecoderClient
    void TuneHost(int32_t frequency, int32_t mode) override;
    bool SecondaryInUse() override { return secondary_.InUse(); }
    int32_t SecondaryFrequency() override { return int32_t(secondary_.Frequency()); }
    void SecondarySetFrequency(int32_t frequency) override { secondary_.SetFrequency(uint32_t(frequency)); }
    void SecondarySetMute(bool mute) override { secondary_.SetMute(mute); }
    bool AutoTuneChecked() override;
    TMPT1327LocalTime LocalTime() override;
    TMPT1327LocalTime HeardTime(const TMPT1327LocalTime& now) override;
    void SelectSystem(uint16_t identity) override;
    void WriteLogEntry(const TMPT1327LocalTime& time, const TMPT1327Call& call) override;
    void PrintLine(const TMPT1327TextLine& line) override;
    void SetAccFramesText(const std::string& text) override;
    void SetCtrlChanText(const std::string& text) override;
    void EnableSystemControls() override;
    void ChannelSizeShown(bool is12k5) override;
    void RetToCtrlChanged(bool enabled) override;
    void SetGridRows(int rows) override { Disp->SetRowCount(rows); }
    void RepaintGrid() override { Disp->update(); }

    // TSecondaryWindow
    bool RetToCtrlEnabled() override { return decoder_.RetToCtrl(); }
    void DisableRetToCtrl() override { decoder_.SetRetToCtrl(false); }
    void TuneHostToControlChannel() override;

protected:
    void SetChannelSize(int32_t size) override;
    void InitDecoder() override;
    void OpenDatabase() override;
    void LogFileClick() override;
    void ResetReceiver() override;
    void SetTunedFrequency(int32_t frequency) override;
    void ProcessSamples(const int16_t* first, uint32_t count, uint32_t stride) override;
    void TrafficScanTick() override { scan_.Tick(secondary_, scanContext_); }
    void StartSecondaryReceiver() override;
    void StopSecondaryReceiver() override { secondary_.StopSecondaryReceiver(); }
    void SecondarySetAttenuator(bool on) override { secondary_.SetAttenuator(on ? 1 : 0); }
    void SecondarySetVolume(int32_t volume) override { secondary_.SetVolume(volume); }
    void ClearCallList() override { decoder_.ClearCalls(); }
    void SaveCurrentSystem() override;
    void CloseBrowserEditor() override;
    QWidget* CreateAboutForm() override;

private:
    // What the traffic scan reads and counts: the window's channels, the record and the call list.
    class TScanContext : public TTrafficScanContext {
    public:
        explicit TScanContext(TMPT1327Form& form) : form_(form) {}
        bool RetToCtrlEnabled() override { return form_.decoder_.RetToCtrl(); }
        bool SystemCurrent() override { return form_.database_.HasSystem(); }
        int32_t ControlChannel() override { return form_.decoder_.ControlChannel(); }
        int32_t HostSignalLevel() override { return form_.HostSignalLevel; }
        int32_t ChannelSize() override { return form_.decoder_.ChannelSize(); }
        int32_t BaseFrequency() override { return form_.database_.Record().BaseFrequency; }
        bool IsTrafficChannel(int32_t channel) override;
        void CountScanTick() override { ++form_.database_.Record().ScanTicks; }
        void CountOccupancy(int32_t channel) override;
        size_t CallCount() override { return form_.decoder_.Calls().size(); }
        int32_t CallChannel(size_t index) override { return form_.decoder_.Calls().at(index).Channel; }
        void RemoveCall(size_t index) override { form_.decoder_.RemoveCall(index); }

    private:
        TMPT1327Form& form_;
    };

    // The browser's view of the database file: the stored systems and the one shown.
    class TBrowseSource : public TOrvBrowseSource {
    public:
        explicit TBrowseSource(TMPT1327Form& form) : form_(form) {}
        void SaveSystem() override { form_.SaveCurrentSystem(); }
        std::vector<std::string> SystemIDs() override;
        bool ShowSystem(const std::string& id, TOrvBrowseView& view) override;
        int64_t ControlFrequency() override { return shown_.ControlChannelFrequency; }
        int64_t ControlChannelFrequency(size_t k) override { return MPT1327ControlChannelFrequency(shown_, k); }
        void Tune(int32_t hz) override;
        const TMPT1327SystemRecord& Shown() const { return shown_; }

    private:
        TMPT1327Form& form_;
        TMPT1327SystemRecord shown_;
    };

    TMPT1327Channels channels() const;

    TDatabaseBoxes databaseBoxes_{this};  // the database's notices, shown as boxes
    TMPT1327Database database_;
    TMPT1327RecordAccess record_;
    TMPT1327Decoder decoder_;
    TMPT1327Receiver receiver_;
    TQelAFSKDemod afsk1_, afsk2_;  // control and traffic inputs
    TMPT1327Log log_;
    TSecondaryReceiver secondary_;
    TTrafficScan scan_;
    TScanContext scanContext_{*this};
    TBrowseSource browseSource_{*this};
    std::unique_ptr<TMPT1327Editor> editorModel_;
};

// The about box of this plug-in.
class TMPT1327AboutForm;
