#pragma once
// Test tooling: presses named buttons and triggers named actions on a schedule, so that a test can
// drive a window in another process (one that orvhost starts, say).
//
// UI_CLICK_SCRIPT names a file, one step a line: "<ms> click <objectName>", ms counted from when the
// program shows its first window; blank lines and everything after "#" are skipped. The step presses
// the enabled button, or triggers the enabled action, of that object name among the program's
// windows; a painted control that is not a Qt button is pressed through an invokable click(). A malformed line, a file that cannot be read, and a step that finds nothing enabled to
// press are each said on standard error as one line starting "UI_CLICK_SCRIPT: ".
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct ClickStep {
    int atMs = 0;
    std::string objectName;
};

// The steps of a script's text, in time order; nullopt with *error naming the first bad line.
std::optional<std::vector<ClickStep>> ParseClickScript(const std::string& text, std::string* error);

// Presses the enabled button (a Qt button, or a widget with an invokable click()) or triggers the
// enabled action named name in any of the application's windows. False, with *why saying so, when there is none.
bool ClickNamed(const std::string& name, std::string* why);

// Runs the script UI_CLICK_SCRIPT names, if any, once the first window shows (done at the start of
// every widget application).
void InstallClickScript();

}  // namespace platform
