#include "DatabaseBoxes.h"

#include "platform/ui/MessageBox.h"

namespace {

// The box's button and icon flags for a notice.
unsigned Flags(const TDatabaseNotice& notice)
{
    if (!notice.Icon)
        return platform::MB_OK;
    return platform::MB_OK |
           (notice.Kind == TNoticeKind::nkWarning ? platform::MB_ICONWARNING : platform::MB_ICONERROR);
}

}  // namespace

void TDatabaseBoxes::Notify(const TDatabaseNotice& notice)
{
    platform::MessageBox::Show(notice.Text, notice.Caption, Flags(notice), notice.Owned ? owner_ : nullptr);
}
