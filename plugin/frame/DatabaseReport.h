#pragma once
// What the system database has to tell the user, apart from how it is shown: the decoder window
// shows each notice as a message box (DatabaseBoxes.h), a test records them.
#include <string>

enum class TNoticeKind { nkError, nkWarning };

struct TDatabaseNotice {
    TNoticeKind Kind = TNoticeKind::nkError;
    std::string Text;
    std::string Caption;
    bool Icon = true;    // shown with its kind's icon (the start-up errors show none)
    bool Owned = false;  // owned by the decoder window (the start-up messages), else by no window
};

class TDatabaseReport {
public:
    virtual ~TDatabaseReport() = default;
    virtual void Notify(const TDatabaseNotice& notice) = 0;
};
