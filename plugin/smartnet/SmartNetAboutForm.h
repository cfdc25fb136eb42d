#pragma once
// The SmartNet plug-in's about box.
#include "OrvAboutForm.h"
#include "platform/ui/Codepage.h"

class TSmartNetAboutForm : public TOrvAboutForm {
    Q_OBJECT
public:
    explicit TSmartNetAboutForm(QWidget* owner = nullptr)
        : TOrvAboutForm(platform::FromCp1252("Trunking Decoder - Motorola SmartNet\xAE"), owner)
    {
    }
};
