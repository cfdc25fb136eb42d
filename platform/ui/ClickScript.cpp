#include "ClickScript.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMetaObject>
#include <QTimer>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace platform {

namespace {

void say(const std::string& line) { std::fprintf(stderr, "UI_CLICK_SCRIPT: %s\n", line.c_str()); }

// Waits for the first window to show, then schedules the steps from then.
class FirstShowWatch : public QObject {
public:
    FirstShowWatch(std::vector<ClickStep> steps, QObject* parent) : QObject(parent), steps_(std::move(steps)) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !started_) {
            auto* w = qobject_cast<QWidget*>(watched);
            if (w && w->isWindow()) {
                started_ = true;
                qApp->removeEventFilter(this);
                for (const ClickStep& step : steps_)
                    QTimer::singleShot(step.atMs, Qt::PreciseTimer, qApp, [name = step.objectName] {
                        std::string why;
                        if (!ClickNamed(name, &why))
                            say(why);
                    });
            }
        }
        return false;
    }

private:
    std::vector<ClickStep> steps_;
    bool started_ = false;
};

}  // namespace

std::optional<std::vector<ClickStep>> ParseClickScript(const std::string& text, std::string* error)
{
    std::vector<ClickStep> steps;
    std::istringstream in(text);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        std::string content = line.substr(0, line.find('#'));
        std::istringstream words(content);
        std::string ms, verb, name, extra;
        if (!(words >> ms))
            continue;  // blank or a comment
        words >> verb >> name >> extra;
        char* end = nullptr;
        errno = 0;
        const long at = std::strtol(ms.c_str(), &end, 10);
        if (*end != '\0' || errno != 0 || at < 0 || at > 24L * 3600 * 1000 || verb != "click" || name.empty() ||
            !extra.empty()) {
            if (error) {
                while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
                    line.pop_back();
                *error = "line " + std::to_string(number) + " is not \"<ms> click <objectName>\": " + line;
            }
            return std::nullopt;
        }
        steps.push_back({int(at), name});
    }
    std::stable_sort(steps.begin(), steps.end(), [](const ClickStep& a, const ClickStep& b) { return a.atMs < b.atMs; });
    return steps;
}

bool ClickNamed(const std::string& name, std::string* why)
{
    const QString wanted = QString::fromStdString(name);
    bool disabled = false;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible())
            continue;
        QList<QAbstractButton*> buttons = top->findChildren<QAbstractButton*>(wanted);
        if (auto* self = qobject_cast<QAbstractButton*>(top); self && top->objectName() == wanted)
            buttons.prepend(self);
        for (QAbstractButton* b : buttons) {
            if (b->isEnabled() && b->isVisible()) {
                b->click();
                return true;
            }
            disabled = true;
        }
        for (QAction* a : top->findChildren<QAction*>(wanted)) {
            if (a->isEnabled()) {
                a->trigger();
                return true;
            }
            disabled = true;
        }
        // Painted buttons that are not Qt buttons offer an invokable click() of their own.
        QList<QWidget*> widgets = top->findChildren<QWidget*>(wanted);
        if (top->objectName() == wanted)
            widgets.prepend(top);
        for (QWidget* w : widgets) {
            if (qobject_cast<QAbstractButton*>(w) || w->metaObject()->indexOfMethod("click()") < 0)
                continue;
            if (w->isEnabled() && w->isVisible()) {
                QMetaObject::invokeMethod(w, "click");
                return true;
            }
            disabled = true;
        }
    }
    if (why)
        *why = disabled ? "\"" + name + "\" is disabled; not clicked" : "no button or action named \"" + name + "\"";
    return false;
}

void InstallClickScript()
{
    const char* path = std::getenv("UI_CLICK_SCRIPT");
    if (!path || !*path || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    // Every library that carries this layer (a plug-in loaded into the host, say) comes here too:
    // the script runs once in a process.
    constexpr const char* kInstalled = "korvantaClickScriptInstalled";
    if (qApp->property(kInstalled).toBool())
        return;
    qApp->setProperty(kInstalled, true);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        say(std::string("cannot read ") + path);
        return;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    auto steps = ParseClickScript(text.str(), &error);
    if (!steps) {
        say(std::string(path) + ", " + error);
        return;
    }
    qApp->installEventFilter(new FirstShowWatch(std::move(*steps), qApp));
}

}  // namespace platform
