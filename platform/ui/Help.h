#pragma once
// Help for the windows: topics by name and by context number. The help for "<dir>/Name.hlp" is the
// page "<dir>/Name.hlp.html" (or "<dir>/Name.html"), shown in a help window of its own and scrolled to
// the topic's anchor: <a name="TopicName"> for a named topic, <a name="context-123"> for context 123.
// Without the page a message box names the topic that was asked for.
#include <map>
#include <memory>
#include <string>
#include <vector>

class QTextBrowser;

namespace platform {

class Help {
public:
    virtual ~Help();
    // Each returns true when the help window shows the topic.
    virtual bool ShowTopic(const std::string& helpFile, const std::string& topic) = 0;
    virtual bool ShowContext(const std::string& helpFile, int context) = 0;
    // Whether the help window of that help file is open.
    virtual bool IsOpen(const std::string& helpFile) const = 0;
    virtual void Close(const std::string& helpFile) = 0;
};

// The help in use; setHelp(nullptr) goes back to the help window.
Help& help();
void setHelp(Help* h);

// The page a help file is shown from, or "" when there is none.
std::string HelpPage(const std::string& helpFile);

class HelpWindow : public Help {
public:
    HelpWindow();
    ~HelpWindow() override;
    bool ShowTopic(const std::string& helpFile, const std::string& topic) override;
    bool ShowContext(const std::string& helpFile, int context) override;
    bool IsOpen(const std::string& helpFile) const override;
    void Close(const std::string& helpFile) override;
    // The browser showing the help file, nullptr when none (for tests and for the window's title).
    QTextBrowser* Browser(const std::string& helpFile) const;

private:
    bool show(const std::string& helpFile, const std::string& anchor, const std::string& topicText);
    struct Window;
    std::map<std::string, std::unique_ptr<Window>> windows_;
};

// Records what was asked for; the "window" is open from a shown topic until Close.
class RecordingHelp : public Help {
public:
    struct Request {
        std::string helpFile;
        std::string topic;  // empty for a context request
        int context = 0;
    };
    bool ShowTopic(const std::string& helpFile, const std::string& topic) override;
    bool ShowContext(const std::string& helpFile, int context) override;
    bool IsOpen(const std::string& helpFile) const override;
    void Close(const std::string& helpFile) override;
    std::vector<Request> requests;
    std::vector<std::string> open;
};

}  // namespace platform
