#pragma once
// The MPT1327 plug-in's about box.
#include "OrvAboutForm.h"

class TMPT1327AboutForm : public TOrvAboutForm {
    Q_OBJECT
public:
    explicit TMPT1327AboutForm(QWidget* owner = nullptr) : TOrvAboutForm("Trunking Decoder - MPT1327", owner) {}
};
