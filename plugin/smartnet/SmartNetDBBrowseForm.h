#pragma once
// The SmartNet database browser: the systems stored in "SmartNet.MEM", one of them shown with its
// channels and heard radios, and its control channels to tune the receiver to.
#include "BrowseView.h"
#include "OrvBrowseForms.h"
#include "SmartNetSystemRecord.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TSmartNetForm;

// "IIII - alias": a heard radio by its identity (4 hex digits); the alias starts at character 8.
std::string SmartNetRadioItem(const TSmartNetHeardRadio& radio);
// The browser's texts and lists for one stored system (radios sorted, channels in channel order).
TOrvBrowseView SmartNetBrowseView(const TSmartNetSystemRecord& record);
// Frequency of the (k+1)-th channel of the control-channel map, or -1 when there is none or the
// record's base frequency or channel step is not known.
int64_t SmartNetControlChannelFrequency(const TSmartNetSystemRecord& record, size_t k);

// The browser's view of the database file, through the decoder window that owns it.
class TSmartNetBrowseSource : public TOrvBrowseSource {
public:
    explicit TSmartNetBrowseSource(TSmartNetForm& owner) : owner_(owner) {}
    void SaveSystem() override;
    std::vector<std::string> SystemIDs() override;
    std::string CurrentID() override;
    bool ShowSystem(const std::string& id, TOrvBrowseView& view) override;
    int64_t ControlFrequency() override { return shown_.ControlChannelFrequency; }
    int64_t ControlChannelFrequency(size_t k) override { return SmartNetControlChannelFrequency(shown_, k); }
    // A user's retune: a followed call is left first, and the window takes the tune as the user's.
    void Tune(int32_t hz) override;
    const TSmartNetSystemRecord& Shown() const { return shown_; }

private:
    TSmartNetForm& owner_;
    TSmartNetSystemRecord shown_;
};

// The source comes before the window, which reads through it as it is made.
struct TSmartNetBrowseSourceHolder {
    explicit TSmartNetBrowseSourceHolder(TSmartNetForm& owner) : Source(owner) {}
    TSmartNetBrowseSource Source;
};

class TSmartNetDBBrowseForm : private TSmartNetBrowseSourceHolder, public TOrvDBBrowseForm {
public:
    explicit TSmartNetDBBrowseForm(TSmartNetForm& owner);
    const TSmartNetBrowseSource& BrowseSource() const { return Source; }
};
