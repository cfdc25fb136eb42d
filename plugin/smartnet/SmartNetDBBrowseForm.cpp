#include "SmartNetDBBrowseForm.h"

#include "AliasEditor.h"
#include "SmartNetEditorForm.h"
#include "SmartNetForm.h"
#include "SystemBrowse.h"
#include "platform/ui/Codepage.h"
#include "platform/ui/Application.h"

#include <cstdio>
#include <stdexcept>

namespace {

std::string Hex4(unsigned value)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", value & 0xFFFFu);
    return buf;
}

}  // namespace

std::string SmartNetRadioItem(const TSmartNetHeardRadio& radio) { return Hex4(radio.Identity) + " - " + radio.Alias; }

TOrvBrowseView SmartNetBrowseView(const TSmartNetSystemRecord& r)
{
    TOrvBrowseView v = BrowseSystemView(r);
    for (const TSmartNetHeardRadio& radio : r.HeardRadios)
        v.HeardRadios.push_back(SmartNetRadioItem(radio));
    TOrvAliasEditor::Sort(v.HeardRadios);
    return v;
}

int64_t SmartNetControlChannelFrequency(const TSmartNetSystemRecord& r, size_t k)
{
    return BrowseControlChannelFrequency(r, k);
}

void TSmartNetBrowseSource::SaveSystem() { owner_.SaveSystem(); }

std::vector<std::string> TSmartNetBrowseSource::SystemIDs()
{
    // A missing, locked or damaged file lists nothing, without a message.
    return BrowseSystemIDs(owner_.Database().Storage());
}

std::string TSmartNetBrowseSource::CurrentID()
{
    const uint16_t id = owner_.Record().SystemIdentity;
    return id == kSmartNetNoSystem ? std::string() : Hex4(id);
}

bool TSmartNetBrowseSource::ShowSystem(const std::string& id, TOrvBrowseView& view)
{
    TStoredEntry entry;
    if (!BrowseReadEntry(owner_.Database().Storage(), id, entry))
        return false;
    shown_ = DecodeSmartNetSystem(entry);
    view = SmartNetBrowseView(shown_);
    return true;
}

void TSmartNetBrowseSource::Tune(int32_t hz)
{
    if (owner_.RetToCtrlEnabled())
        owner_.RetToCtrlClick();
    owner_.TuneHost(hz, false);
}

TSmartNetDBBrowseForm::TSmartNetDBBrowseForm(TSmartNetForm& owner)
    : TSmartNetBrowseSourceHolder(owner),
      TOrvDBBrowseForm(&owner, platform::FromCp1252("Motorola SmartNet\xAE Database Browser"), Source,
                       TOrvBrowseLayout{382, false, true})
{
    setObjectName("SmartNetDBBrowseForm");
}

void TSmartNetForm::DBBrowseClick()
{
    SaveSystem();
    platform::processMessages();
    if (!BrowserWindow)
        BrowserWindow = new TSmartNetDBBrowseForm(*this);
    BrowserWindow->show();
    BrowserWindow->raise();
}

void TSmartNetForm::CloseBrowserEditor()
{
    if (BrowserWindow)
        BrowserWindow->close();
    if (EditorWindow)
        EditorWindow->close();
}
