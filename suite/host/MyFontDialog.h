#pragma once
// The font dialog of the DTMF window's pane: a font name from the screen's fonts and a size from a
// short list.
#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class TFontComboBox;

class TMyFontDlg : public QDialog {
    Q_OBJECT
public:
    explicit TMyFontDlg(QWidget* parent = nullptr);

    TFontComboBox* FontComboBox1;
    QComboBox* ComboBox1;  // sizes
    QLabel* NameLabel;
    QLabel* SizeLabel;
    QPushButton* OkButton;      // modal result 1
    QPushButton* CancelButton;  // modal result 2

    // Selects the entry of that name or size; none when it is not in the list.
    void SelectFont(const QString& name);
    void SelectSize(int points);
    // The chosen name and size, or the given current ones when nothing is selected.
    QString ChosenFont(const QString& current) const;
    int ChosenSize(int current) const;
};
