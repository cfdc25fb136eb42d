#include "DatabaseBoxes.h"

#include "platform/ui/MessageBox.h"

unsigned TDatabaseBoxes::Flags(const TDatabaseNotice& notice)
{
    if (!notice.Icon)
        return platform::MB_OK;
    return platform::MB_OK |
           (notice.Kind == TNoticeKind::nkWarning ? platform::MB_ICONWARNING : platform::MB_ICONERROR);
}

void TDatabaseBoxes::Notify(const TDatabaseNotice& notice)
{
    platform::MessageBox::Show(notice.Text, notice.Caption, Flags(notice), notice.Owned ? owner_ : nullptr);
}
