#pragma once
// The text applets' log file: appended to, created when absent, flushed after every write; each period
// of logging begins with a "Logging started" line and ends with a "Logging stopped" line.
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

class TTextLog {
public:
    TTextLog();
    ~TTextLog();
    TTextLog(const TTextLog&) = delete;
    TTextLog& operator=(const TTextLog&) = delete;

    // The date-time of the started and stopped lines (the locale's short date and long time).
    std::function<std::string()> DateTimeText;

    // Opens the file for appending (creating it when absent) and writes the started line. False, with
    // ErrorText set and logging off, when the file cannot be opened or written.
    bool Start(const std::string& fileName);
    // Writes the bytes as they are and flushes. A failed write ends logging (the file is closed) and
    // returns false with ErrorText set.
    bool Write(std::string_view bytes);
    // Writes the stopped line and closes the file; false, with ErrorText set, when that line could not
    // be written. Nothing when logging is off.
    bool Stop();

    bool Active() const { return file_ != nullptr; }
    // The name logging was last started with, as given.
    const std::string& FileName() const { return fileName_; }
    const std::string& ErrorText() const { return error_; }
    // Whether the path names the file being logged to, relative names and links resolved.
    bool IsLogFile(const std::string& path) const;

private:
    bool fail(const std::string& action, int error);

    std::FILE* file_ = nullptr;
    std::string fileName_;
    std::string canonical_;
    std::string error_;
};
