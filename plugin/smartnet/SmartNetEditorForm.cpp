#include "SmartNetEditorForm.h"

#include "QelStaticText.h"
#include "SmartNetDBBrowseForm.h"
#include "SmartNetForm.h"
#include "platform/ui/Codepage.h"

#include <cstdio>

namespace {

constexpr size_t kRadioAliasAt = 7;  // character 8, counted from 0
constexpr size_t kRadioAliasMax = 252;
constexpr size_t kDescriptionMax = 255;

}  // namespace

TSmartNetEditor::TSmartNetEditor(const TSmartNetSystemRecord& r)
    : TOrvAliasEditor(0, 0, kRadioAliasAt, kRadioAliasMax)
{
    Description = r.Description;
    for (const TSmartNetHeardRadio& radio : r.HeardRadios)
        RadioItems.push_back(SmartNetRadioItem(radio));
    Sort(RadioItems);
}

void TSmartNetEditor::Apply(TSmartNetSystemRecord& r) const
{
    r.Description = Description.substr(0, kDescriptionMax);
    std::vector<bool> taken(r.HeardRadios.size(), false);
    for (size_t row = 0; row < RadioItems.size(); ++row) {
        const std::string& item = RadioItems[row];
        // The item's own identity, as a whole: its four digits and nothing more before the alias.
        if (item.size() > 4 && item[4] != ' ')
            continue;
        for (size_t i = 0; i < r.HeardRadios.size(); ++i) {
            char head[8];
            std::snprintf(head, sizeof head, "%04X", unsigned(r.HeardRadios[i].Identity));
            if (!taken[i] && item.compare(0, 4, head) == 0) {
                r.HeardRadios[i].Alias = RadioAlias(row);
                taken[i] = true;
                break;
            }
        }
    }
}

TSmartNetEditorForm::TSmartNetEditorForm(TSmartNetForm& owner)
    : TSmartNetEditorHolder(owner.Record()),
      TOrvEditorForm(
          &owner, platform::FromCp1252("Motorola SmartNet\xAE System Information Editor"), Model,
          [this, &owner] {
              Model.Apply(owner.Record());
              owner.SysDescr->SetText(platform::FromCp1252(owner.Record().Description));
          },
          false)
{
    setObjectName("SmartNetEditorForm");
}

void TSmartNetForm::SysEditClick()
{
    if (!EditorWindow)
        EditorWindow = new TSmartNetEditorForm(*this);
    EditorWindow->show();
    EditorWindow->raise();
}
