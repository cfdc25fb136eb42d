#include "MessageBox.h"

#include "Application.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <sstream>
#include <unistd.h>

namespace platform {

namespace {

std::mutex gMutex;
MessageBox::Handler gHandler;
// Position in MSGBOX_ANSWER, started again when its value changes.
std::string gAnswerList;
size_t gAnswerNext = 0;

// Whether a box tells of an error: the stop icon, or a caption that says so ("Fatal Error!" boxes
// carry no icon).
bool isErrorBox(const std::string& caption, unsigned flags)
{
    if ((flags & MB_ICONMASK) == MB_ICONHAND)
        return true;
    std::string lower;
    for (char c : caption)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("error") != std::string::npos;
}

// An error box is about to be shown: marked in MSGBOX_ERROR_MARK's file.
void noteError(const std::string& caption, unsigned flags)
{
    if (!isErrorBox(caption, flags))
        return;
    const char* mark = std::getenv("MSGBOX_ERROR_MARK");
    if (!mark || !*mark)
        return;
    // Made new, never opened through a link; one already there (an earlier box) says the same.
    const int fd = ::open(mark, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
}

std::string jsonString(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

int answerFromEnvironment(unsigned flags)
{
    int answer = 0;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        const char* env = std::getenv("MSGBOX_ANSWER");
        std::string list = env ? env : "";
        if (list != gAnswerList) {
            gAnswerList = list;
            gAnswerNext = 0;
        }
        std::vector<std::string> words;
        std::stringstream ss(list);
        for (std::string w; std::getline(ss, w, ',');)
            words.push_back(w);
        if (gAnswerNext < words.size())
            answer = MessageBox::ParseAnswer(words[gAnswerNext++]);
    }
    std::vector<int> buttons = MessageBox::Buttons(flags);
    if (std::find(buttons.begin(), buttons.end(), answer) == buttons.end())
        answer = MessageBox::DefaultAnswer(flags);
    return answer;
}

void logBox(const char* file, const std::string& text, const std::string& caption, unsigned flags, int answer)
{
    std::string line = "{\"pid\":" + std::to_string(::getpid()) + ",\"caption\":" + jsonString(caption) +
                       ",\"text\":" + jsonString(text) + ",\"flags\":" + std::to_string(flags) +
                       ",\"answer\":" + std::to_string(answer) + "}\n";
    std::lock_guard<std::mutex> lock(gMutex);
    // One write per line in append mode, so boxes from several processes do not interleave.
    if (FILE* f = std::fopen(file, "a")) {
        std::fwrite(line.data(), 1, line.size(), f);
        std::fclose(f);
    }
}

QMessageBox::StandardButton standardButton(int id)
{
    switch (id) {
    case IDOK: return QMessageBox::Ok;
    case IDCANCEL: return QMessageBox::Cancel;
    case IDABORT: return QMessageBox::Abort;
    case IDRETRY: return QMessageBox::Retry;
    case IDIGNORE: return QMessageBox::Ignore;
    case IDYES: return QMessageBox::Yes;
    case IDNO: return QMessageBox::No;
    default: return QMessageBox::NoButton;
    }
}

// No one can answer a box: a program run headless (KORVANTA_HEADLESS, which orvhost --headless sets for
// itself, its plug-ins and the applets it starts) or on the offscreen platform. MSGBOX_SHOW=1 shows
// real boxes even offscreen, for tests of the box itself.
bool nobodyToAnswer()
{
    if (runningHeadless())
        return true;
    if (const char* show = std::getenv("MSGBOX_SHOW"); show && std::string(show) == "1")
        return false;
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}

// The answer where no one can give one: the default button; but a box asked again at once, over and
// over (a "try again?" whose default is yes), is answered with its way out after kMaxRepeats, as a
// user would, so that a loop around it ends.
int unattendedAnswer(const std::string& text, const std::string& caption, unsigned flags)
{
    constexpr int kMaxRepeats = 3;
    static std::string lastBox;
    static int repeats = 0;
    const std::string box = caption + '\0' + text + '\0' + std::to_string(flags);
    int asked = 0;  // read under the lock: boxes may come from several threads
    {
        std::lock_guard<std::mutex> lock(gMutex);
        repeats = box == lastBox ? repeats + 1 : 1;
        lastBox = box;
        asked = repeats;
    }
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    if (asked <= kMaxRepeats)
        return MessageBox::DefaultAnswer(flags);
    const std::vector<int> buttons = MessageBox::Buttons(flags);
    for (int way : {IDCANCEL, IDNO, IDABORT})
        if (std::find(buttons.begin(), buttons.end(), way) != buttons.end())
            return way;
    return MessageBox::DefaultAnswer(flags);
}

int showReal(const std::string& text, const std::string& caption, unsigned flags, QWidget* owner)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || nobodyToAnswer())
        return unattendedAnswer(text, caption, flags);  // said on the standard error
    QMessageBox box(owner);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    switch (flags & MB_ICONMASK) {
    case MB_ICONHAND: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONASTERISK: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    std::vector<int> buttons = MessageBox::Buttons(flags);
    for (int id : buttons)
        box.addButton(standardButton(id));
    box.setDefaultButton(standardButton(MessageBox::DefaultAnswer(flags)));
    // Escape closes a box only when it has a way out that means "no action".
    for (int id : {IDCANCEL, IDOK})
        if (std::find(buttons.begin(), buttons.end(), id) != buttons.end()) {
            box.setEscapeButton(standardButton(id));
            break;
        }
    box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (int id : buttons)
        if (clicked && box.standardButton(clicked) == standardButton(id))
            return id;
    return std::find(buttons.begin(), buttons.end(), IDCANCEL) != buttons.end() ? IDCANCEL
                                                                                : MessageBox::DefaultAnswer(flags);
}

}  // namespace

std::vector<int> MessageBox::Buttons(unsigned flags)
{
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    default: return {IDOK};
    }
}

int MessageBox::DefaultAnswer(unsigned flags)
{
    std::vector<int> buttons = Buttons(flags);
    size_t index = (flags & MB_DEFMASK) >> 8;
    return index < buttons.size() ? buttons[index] : buttons.front();
}

int MessageBox::ParseAnswer(const std::string& word)
{
    std::string w;
    for (char c : word)
        if (!std::isspace(static_cast<unsigned char>(c)))
            w += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (w.rfind("id", 0) == 0 && w.size() > 2 && !std::isdigit(static_cast<unsigned char>(w[2])))
        w = w.substr(2);
    static const std::pair<const char*, int> names[] = {{"ok", IDOK},         {"cancel", IDCANCEL},
                                                        {"abort", IDABORT},   {"retry", IDRETRY},
                                                        {"ignore", IDIGNORE}, {"yes", IDYES},
                                                        {"no", IDNO}};
    for (const auto& [name, id] : names)
        if (w == name)
            return id;
    if (!w.empty() && w.size() <= 2 && std::all_of(w.begin(), w.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return std::atoi(w.c_str());
    return 0;
}

void MessageBox::SetHandler(Handler handler)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gHandler = std::move(handler);
}

int MessageBox::Show(const std::string& text, const std::string& caption, unsigned flags, QWidget* owner)
{
    Handler handler;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        handler = gHandler;
    }
    if (handler)
        return handler(text, caption, flags);
    noteError(caption, flags);
    if (const char* log = std::getenv("MSGBOX_LOG"); log && *log) {
        int answer = answerFromEnvironment(flags);
        logBox(log, text, caption, flags, answer);
        return answer;
    }
    return showReal(text, caption, flags, owner);
}

MessageBoxRecorder::MessageBoxRecorder(std::vector<int> answers) : answers_(std::move(answers))
{
    MessageBox::SetHandler([this](const std::string& text, const std::string& caption, unsigned flags) {
        int answer = next_ < answers_.size() ? answers_[next_++] : MessageBox::DefaultAnswer(flags);
        boxes_.push_back(Box{text, caption, flags, answer});
        return answer;
    });
}

MessageBoxRecorder::~MessageBoxRecorder() { MessageBox::SetHandler(nullptr); }

}  // namespace platform
