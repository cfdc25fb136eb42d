#pragma once
// The SmartNet system information editor: the current system's description and the aliases of its
// heard radios, edited in memory; the next save of the system takes them into "SmartNet.MEM".
#include "AliasEditor.h"
#include "OrvBrowseForms.h"
#include "SmartNetSystemRecord.h"

class TSmartNetForm;

// The editor's list of radios, filled from the current record; nothing reaches the record before Apply.
class TSmartNetEditor : public TOrvAliasEditor {
public:
    explicit TSmartNetEditor(const TSmartNetSystemRecord& record);
    // OK: the description and each radio's alias into the record. An item belongs to the radio whose
    // identity its first four characters are (one item to one radio, when a radio is listed twice).
    void Apply(TSmartNetSystemRecord& record) const;
};

// The model comes before the window, which shows it as it is made.
struct TSmartNetEditorHolder {
    explicit TSmartNetEditorHolder(const TSmartNetSystemRecord& record) : Model(record) {}
    TSmartNetEditor Model;
};

class TSmartNetEditorForm : private TSmartNetEditorHolder, public TOrvEditorForm {
public:
    explicit TSmartNetEditorForm(TSmartNetForm& owner);
    const TSmartNetEditor& Editor() const { return Model; }
};
