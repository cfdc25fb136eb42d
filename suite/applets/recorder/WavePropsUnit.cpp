#include "WavePropsUnit.h"

#include "AboutUnit.h"
#include "platform/ui/Locale.h"

#include <QLabel>
#include <QPushButton>

TWavePropsForm::TWavePropsForm(QWidget* parent) : QDialog(parent)
{
    setObjectName("WavePropsForm");
    setWindowTitle("Wave File Properties");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(237, 150);

    FilenameLabel = new QLabel(this);
    FilenameLabel->setObjectName("FilenameLabel");
    FilenameLabel->setGeometry(8, 8, 221, 16);
    FilenameLabel->setTextFormat(Qt::PlainText);

    const char* captions[4] = {"File size:", "Sampling rate:", "Bits per sample:", "Number of channels:"};
    const char* names[4] = {"FileSizeLabel", "SamplePerSecLabel", "BitsPerSampleLabel", "NumChannelsLabel"};
    QLabel** values[4] = {&FileSizeLabel, &SamplePerSecLabel, &BitsPerSampleLabel, &NumChannelsLabel};
    for (int i = 0; i < 4; ++i) {
        auto* caption = new QLabel(captions[i], this);
        caption->setObjectName(QString("Caption") + names[i]);
        caption->setGeometry(8, 32 + 18 * i, 126, 16);
        auto* value = new QLabel(this);
        value->setObjectName(names[i]);
        value->setGeometry(136, 32 + 18 * i, 95, 16);
        *values[i] = value;
    }
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("OkButton");
    ok->setDefault(true);
    ok->setGeometry(81, 114, 75, 25);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    CentreOnScreen(this);
}

void TWavePropsForm::SetFileName(const std::string& path)
{
    // A long path is cut at the left, where it matters least; the whole of it is the tool tip.
    const QString full = QString::fromStdString(path);
    FilenameLabel->setText(FilenameLabel->fontMetrics().elidedText(full, Qt::ElideLeft, FilenameLabel->width()));
    FilenameLabel->setToolTip(full);
}

std::string WithThousands(uint64_t value)
{
    std::string digits = std::to_string(value);
    const char sep = platform::Locale().ThousandSeparator;
    if (!sep)
        return digits;
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += sep;
        out += digits[i];
    }
    return out;
}
