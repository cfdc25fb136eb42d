#pragma once
// The message boxes the suite shows, behind one replaceable function so the start-up and the
// sound-input opener can be driven without a display.
#include <functional>
#include <string>

class QWidget;

namespace suitebox {
// Button and icon flags and results, with the values the boxes have always used.
constexpr unsigned Ok = 0x00;
constexpr unsigned YesNo = 0x04;
constexpr unsigned IconStop = 0x10;
constexpr unsigned IconExclamation = 0x30;
constexpr int IdOk = 1;
constexpr int IdYes = 6;
constexpr int IdNo = 7;

// owner nullptr = the desktop
using Handler = std::function<int(QWidget* owner, const std::string& text, const std::string& caption,
                                  unsigned flags)>;

int Show(QWidget* owner, const std::string& text, const std::string& caption, unsigned flags);
// nullptr restores the default handler.
void SetHandler(Handler handler);
}  // namespace suitebox
