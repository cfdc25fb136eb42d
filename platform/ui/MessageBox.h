#pragma once
// Modal message boxes with the button, icon and default-button flags and the answers the system's code
// is written with. Shown with QMessageBox; in tests answered by an in-process handler, or, when the
// environment variable MSGBOX_LOG names a file, logged there and answered from MSGBOX_ANSWER without
// showing anything (so a test can follow the boxes of another process or of a plug-in):
//   MSGBOX_LOG=<file>       every box appends one line:
//                           {"pid":123,"caption":"...","text":"...","flags":48,"answer":1}
//   MSGBOX_ANSWER=<a,b,...> answers used in turn, one per box: ok, cancel, abort, retry, ignore, yes, no,
//                           default, or a numeric result; when the list runs out, or an answer is not
//                           one of the box's buttons, the box's default button answers.
// Where no one can answer (KORVANTA_HEADLESS set, or the offscreen platform unless MSGBOX_SHOW=1) a box
// is written to standard error as "caption: text" and answered with its default button at once; the
// same box asked more than three times in a row is then answered with Cancel, No or Abort, so that a
// "try again?" loop ends.
// When an error box (the stop icon, or "error" in its caption) is shown and MSGBOX_ERROR_MARK names a
// file, that file is made (empty, 0600, never through a link), so that a program running this one (orvhost --headless, for its
// plug-in and its applets) can tell that the run failed although every box was answered.
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace platform {

// Buttons
constexpr unsigned MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2, MB_YESNOCANCEL = 0x3,
                   MB_YESNO = 0x4, MB_RETRYCANCEL = 0x5, MB_TYPEMASK = 0xF;
// Icons
constexpr unsigned MB_ICONHAND = 0x10, MB_ICONQUESTION = 0x20, MB_ICONEXCLAMATION = 0x30,
                   MB_ICONASTERISK = 0x40, MB_ICONMASK = 0xF0;
constexpr unsigned MB_ICONERROR = MB_ICONHAND, MB_ICONSTOP = MB_ICONHAND, MB_ICONWARNING = MB_ICONEXCLAMATION,
                   MB_ICONINFORMATION = MB_ICONASTERISK;
// Default button
constexpr unsigned MB_DEFBUTTON1 = 0x000, MB_DEFBUTTON2 = 0x100, MB_DEFBUTTON3 = 0x200, MB_DEFMASK = 0xF00;
// Modality (every box is modal to the application here; kept so callers can say what they mean)
constexpr unsigned MB_APPLMODAL = 0x0000, MB_SYSTEMMODAL = 0x1000, MB_TASKMODAL = 0x2000;

// Answers
constexpr int IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7;

class MessageBox {
public:
    // Text and caption in UTF-8. Returns the answer (an ID... value).
    static int Show(const std::string& text, const std::string& caption, unsigned flags = MB_OK,
                    QWidget* owner = nullptr);

    // The buttons a box of these flags has, in order, and the answer of its default button.
    static std::vector<int> Buttons(unsigned flags);
    static int DefaultAnswer(unsigned flags);
    // "ok", "yes", "IDYES", "6", ... as an answer; 0 when the word is not one.
    static int ParseAnswer(const std::string& word);

    // A test handler in place of the real box; an empty function restores the normal behaviour.
    using Handler = std::function<int(const std::string& text, const std::string& caption, unsigned flags)>;
    static void SetHandler(Handler handler);
};

// Records every box shown while it lives and answers them in turn (default button once they run out).
class MessageBoxRecorder {
public:
    struct Box {
        std::string text, caption;
        unsigned flags = 0;
        int answer = 0;
    };
    explicit MessageBoxRecorder(std::vector<int> answers = {});
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const std::vector<Box>& boxes() const { return boxes_; }
    void answerNext(int answer) { answers_.push_back(answer); }

private:
    std::vector<Box> boxes_;
    std::vector<int> answers_;
    size_t next_ = 0;
};

}  // namespace platform
