#include "SuiteBox.h"

#include <QMessageBox>

namespace suitebox {
namespace {

int DefaultShow(QWidget* owner, const std::string& text, const std::string& caption, unsigned flags)
{
    QMessageBox box(owner);
    box.setText(QString::fromStdString(text));
    box.setWindowTitle(QString::fromStdString(caption));
    box.setIcon((flags & 0xF0) == IconStop ? QMessageBox::Critical : QMessageBox::Warning);
    if ((flags & 0x0F) == YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? IdYes : IdNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return IdOk;
}

Handler& Current()
{
    static Handler handler;
    return handler;
}

}  // namespace

int Show(QWidget* owner, const std::string& text, const std::string& caption, unsigned flags)
{
    return Current() ? Current()(owner, text, caption, flags) : DefaultShow(owner, text, caption, flags);
}

void SetHandler(Handler handler) { Current() = std::move(handler); }

}  // namespace suitebox
