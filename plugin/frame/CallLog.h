#pragma once
// A plug-in's call log: a text or comma-separated file chosen by the user, one line appended per call.
// The file is opened (or created) for appending, with every line written through to the disk. A failed
// open or write shows a box and leaves the log closed, and the caller then unchecks its "Log file" button.
#include <filesystem>
#include <functional>
#include <string>

// The log dialog's filter index: the kind of lines the file gets.
enum TLogFileType : int { lfText = 1, lfCommaSeparated = 2 };

// Run headless (no one sees the window), a call's line goes to standard output as well; the
// caller asks platform::runningHeadless() first, so the line is only made when it is wanted.
void PrintCallHeadless(const std::string& line);

class TCallLog {
public:
    TCallLog() = default;
    ~TCallLog();
    TCallLog(const TCallLog&) = delete;
    TCallLog& operator=(const TCallLog&) = delete;

    // Opens the file for appending (creating it when missing). When the file is empty and the type is
    // comma-separated, csvHeader is written first. False (after a box) when the log could not be opened
    // or the header not written; the log is then closed.
    bool Open(const std::filesystem::path& file, int filterIndex, const std::string& csvHeader);

    // Asks for the log file: fills the name and the filter index; false when the user cancelled.
    using TChooseFile = std::function<bool(std::filesystem::path& fileName, int& filterIndex)>;
    // The "Log file" button after it toggled. Unchecked: closes the log. Checked: once the window has
    // started, chooseFile asks for the file; before (restoring the last session) the given name and
    // index are used. Returns whether the button stays checked.
    bool LogFileClick(bool checked, bool started, std::filesystem::path& fileName, int& filterIndex,
                      const TChooseFile& chooseFile, const std::string& csvHeader);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int FilterIndex() const { return filterIndex_; }

    // Appends one line at the end of the file. False (after a box) when writing failed; the log is
    // then closed.
    bool Append(const std::string& line);

private:
    bool WriteOrClose(const std::string& text);
    int fd_ = -1;
    int filterIndex_ = lfText;
};
