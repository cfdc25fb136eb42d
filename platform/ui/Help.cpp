#include "Help.h"

#include "platform/ui/Application.h"
#include "platform/ui/MessageBox.h"

#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <filesystem>

namespace platform {

Help::~Help() = default;

namespace {
Help* gHelp = nullptr;
}  // namespace

Help& help()
{
    static HelpWindow window;
    return gHelp ? *gHelp : window;
}

void setHelp(Help* h) { gHelp = h; }

std::string HelpPage(const std::string& helpFile)
{
    if (helpFile.empty())
        return std::string();
    std::error_code ec;
    std::filesystem::path file(helpFile);
    std::filesystem::path candidates[] = {std::filesystem::path(helpFile + ".html"),
                                          std::filesystem::path(file).replace_extension(".html")};
    for (const auto& p : candidates)
        if (std::filesystem::is_regular_file(p, ec))
            return p.string();
    return std::string();
}

struct HelpWindow::Window {
    QPointer<QWidget> top;
    QTextBrowser* browser = nullptr;
};

HelpWindow::HelpWindow() = default;

HelpWindow::~HelpWindow()
{
    for (auto& [file, w] : windows_)
        if (w->top)
            delete w->top.data();
}

bool HelpWindow::ShowTopic(const std::string& helpFile, const std::string& topic)
{
    return show(helpFile, topic, "\"" + topic + "\"");
}

bool HelpWindow::ShowContext(const std::string& helpFile, int context)
{
    return show(helpFile, "context-" + std::to_string(context), "number " + std::to_string(context));
}

bool HelpWindow::show(const std::string& helpFile, const std::string& anchor, const std::string& topicText)
{
    std::string page = HelpPage(helpFile);
    if (page.empty()) {
        MessageBox::Show("Help topic " + topicText + " of \"" + helpFile + "\" is not available.",
                         Application::Title(), MB_OK | MB_ICONINFORMATION);
        return false;
    }
    auto& w = windows_[helpFile];
    if (!w)
        w = std::make_unique<Window>();
    if (!w->top) {
        auto* top = new QWidget(nullptr, Qt::Window);
        top->setAttribute(Qt::WA_DeleteOnClose);
        auto* layout = new QVBoxLayout(top);
        layout->setContentsMargins(0, 0, 0, 0);
        w->browser = new QTextBrowser(top);
        w->browser->setOpenExternalLinks(false);
        layout->addWidget(w->browser);
        top->resize(640, 480);
        w->top = top;
    }
    QUrl url = QUrl::fromLocalFile(QFileInfo(QString::fromStdString(page)).absoluteFilePath());
    url.setFragment(QString::fromStdString(anchor));
    w->browser->setSource(url);
    QString title = w->browser->documentTitle();
    w->top->setWindowTitle(title.isEmpty() ? QFileInfo(QString::fromStdString(helpFile)).completeBaseName() : title);
    w->top->show();
    w->top->raise();
    w->top->activateWindow();
    return true;
}

bool HelpWindow::IsOpen(const std::string& helpFile) const
{
    auto it = windows_.find(helpFile);
    return it != windows_.end() && it->second->top && it->second->top->isVisible();
}

void HelpWindow::Close(const std::string& helpFile)
{
    auto it = windows_.find(helpFile);
    if (it == windows_.end())
        return;
    if (it->second->top)
        delete it->second->top.data();
    windows_.erase(it);
}

QTextBrowser* HelpWindow::Browser(const std::string& helpFile) const
{
    auto it = windows_.find(helpFile);
    return it != windows_.end() && it->second->top ? it->second->browser : nullptr;
}

bool RecordingHelp::ShowTopic(const std::string& helpFile, const std::string& topic)
{
    requests.push_back({helpFile, topic, 0});
    if (!IsOpen(helpFile))
        open.push_back(helpFile);
    return true;
}

bool RecordingHelp::ShowContext(const std::string& helpFile, int context)
{
    requests.push_back({helpFile, std::string(), context});
    if (!IsOpen(helpFile))
        open.push_back(helpFile);
    return true;
}

bool RecordingHelp::IsOpen(const std::string& helpFile) const
{
    return std::find(open.begin(), open.end(), helpFile) != open.end();
}

void RecordingHelp::Close(const std::string& helpFile)
{
    open.erase(std::remove(open.begin(), open.end(), helpFile), open.end());
}

}  // namespace platform
