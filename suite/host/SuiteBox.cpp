#include "SuiteBox.h"

#include "platform/ui/MessageBox.h"

namespace suitebox {

static_assert(Ok == platform::MB_OK && YesNo == platform::MB_YESNO && IconStop == platform::MB_ICONSTOP &&
              IconExclamation == platform::MB_ICONEXCLAMATION);
static_assert(IdOk == platform::IDOK && IdYes == platform::IDYES && IdNo == platform::IDNO);

namespace {

Handler& Current()
{
    static Handler handler;
    return handler;
}

}  // namespace

int Show(QWidget* owner, const std::string& text, const std::string& caption, unsigned flags)
{
    return Current() ? Current()(owner, text, caption, flags) : platform::MessageBox::Show(text, caption, flags, owner);
}

void SetHandler(Handler handler) { Current() = std::move(handler); }

}  // namespace suitebox
