#pragma once
// The plug-ins' about box: the product title, the decoder's line and the version, each title over
// a shadow copy of itself, and an OK button.
#include <QDialog>

class QLabel;

class TOrvAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TOrvAboutForm(const QString& decoderLine, QWidget* owner = nullptr);
    QLabel* Title;
    QLabel* TitleShadow;
    QLabel* Decoder;
    QLabel* Version;
    QLabel* VersionShadow;
};
