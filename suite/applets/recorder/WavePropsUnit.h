#pragma once
// The recorder's "Wave File Properties" box: the played file's name, size and format.
#include <QDialog>

#include <cstdint>
#include <string>

class QLabel;

class TWavePropsForm : public QDialog {
    Q_OBJECT
public:
    explicit TWavePropsForm(QWidget* parent = nullptr);
    void SetFileName(const std::string& path);
    QLabel* FilenameLabel = nullptr;
    QLabel* FileSizeLabel = nullptr;
    QLabel* SamplePerSecLabel = nullptr;
    QLabel* BitsPerSampleLabel = nullptr;
    QLabel* NumChannelsLabel = nullptr;
};

// A count with the locale's thousands separator ("1,234,567").
std::string WithThousands(uint64_t value);
