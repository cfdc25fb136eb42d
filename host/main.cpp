// orvhost: the receiver-control host that quenda's applets talk to.
#include "HostCore.h"
#include "HostDdeServer.h"
#include "HostScanner.h"
#include "HostWindow.h"
#include "PluginHost.h"
#include "PrimaryReceiver.h"
#include "platform/version/VersionInfo.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QMenuBar>
#include <QTimer>

#include <climits>
#include <cstdio>

namespace {

// Quenda beside this program, unless named.
std::string DefaultQuenda()
{
    return (QFileInfo(QCoreApplication::applicationFilePath()).absolutePath() + "/quenda").toStdString();
}

}  // namespace

int main(int argc, char** argv)
{
    bool headless = false;
    for (int i = 1; i < argc; ++i)
        if (QString(argv[i]) == "--headless")
            headless = true;
    // Qt takes "--plugin" for its own platform plug-ins, so ours is taken off before Qt sees it.
    QString pluginArg;
    bool pluginSet = false;
    for (int i = 1; i < argc; ++i) {
        const QString a(argv[i]);
        if ((a == "--plugin" || a == "-plugin") && i + 1 < argc) {
            pluginArg = QString::fromLocal8Bit(argv[i + 1]);
            pluginSet = true;
            for (int j = i; j + 2 <= argc; ++j)
                argv[j] = argv[j + 2];
            argc -= 2;
            --i;
        } else if (a.startsWith("--plugin=")) {
            pluginArg = a.mid(9);
            pluginSet = true;
            for (int j = i; j + 1 <= argc; ++j)
                argv[j] = argv[j + 1];
            argc -= 1;
            --i;
        }
    }
    if (headless && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("orvhost");
    if (const platform::VersionTable* version = platform::VersionTable::Module())
        QApplication::setApplicationVersion(QString::fromStdString(version->String("FileVersion").value_or("")));

    QCommandLineParser parser;
    parser.setApplicationDescription("Receiver-control host for Korvanta Quenda");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {"headless", "Run without a window."},
        {"receiver", "Receiver number (topic \"Korvanta #<n>\").", "n", "1"},
        {"quenda", "The quenda program to run.", "path"},
        {"get-applets", "List quenda's applets at start."},
        {"start", "Start the applet of this name.", "name"},
        {"script", "Schedule of value changes and disconnects.", "file"},
        {"trace", "Write a JSON-lines trace.", "file"},
        {"seconds", "End after this many seconds.", "n"},
        {"scan-state", "Initial ScanState.", "v"},
        {"signal-strength", "Initial SignalStrength.", "v"},
        {"squelch", "Initial Squelch.", "v"},
        {"mute", "Initial Mute.", "v"},
        {"frequency", "Start frequency of the receiver in Hz.", "hz"},
        {"scan-dwell", "Scan: stop on a channel after this many ms of scanning.", "ms"},
        {"scan-timeout", "Scan: resume by itself when no applet resumes it within this many ms.", "ms"},
    });
    parser.process(app);
    // --plugin PATH (taken off above): load an orv plug-in (a name such as "marlet", or a path) and start it.

    bool ok = false;
    const int receiver = parser.value("receiver").toInt(&ok);
    if (!ok) {
        std::fprintf(stderr, "orvhost: --receiver takes an integer\n");
        return 2;
    }
    const std::string quenda = parser.isSet("quenda") ? parser.value("quenda").toStdString() : DefaultQuenda();

    HostScript script;
    if (parser.isSet("script")) {
        QFile f(parser.value("script"));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "orvhost: cannot read %s\n", qPrintable(parser.value("script")));
            return 2;
        }
        std::string error;
        auto parsed = HostScript::parse(f.readAll().toStdString(), &error);
        if (!parsed) {
            std::fprintf(stderr, "orvhost: script %s\n", error.c_str());
            return 2;
        }
        script = *parsed;
    }

    // The receiver library writes its calls into the same trace, so the trace names one usable file.
    std::string tracePath;
    if (parser.isSet("trace")) {
        tracePath = QFileInfo(parser.value("trace")).absoluteFilePath().toStdString();
        qputenv("KVAPI32_TRACE", QByteArray::fromStdString(tracePath));
    }
    HostCore core(receiver, std::make_unique<HostDdeServer>(), tracePath);
    if (!tracePath.empty() && !core.trace().enabled()) {
        std::fprintf(stderr, "orvhost: cannot write the trace %s\n", tracePath.c_str());
        return 2;
    }
    if (parser.isSet("frequency")) {
        const qlonglong hz = parser.value("frequency").toLongLong(&ok);
        if (!ok || hz <= 0 || hz > INT32_MAX) {
            std::fprintf(stderr, "orvhost: --frequency takes a frequency in Hz\n");
            return 2;
        }
        core.state().setValue("Frequency", int32_t(hz));
    }
    PrimaryReceiver primary(core.state());
    if (!primary.open())
        std::fprintf(stderr, "orvhost: the receiver library has no receiver free; running without one\n");
    if (!core.serving())
        std::fprintf(stderr, "orvhost: cannot serve \"Korvanta\" (is another host running?)\n");
    for (const auto& [option, item] : {std::pair{"scan-state", "ScanState"}, std::pair{"signal-strength", "SignalStrength"},
                                       std::pair{"squelch", "Squelch"}, std::pair{"mute", "Mute"}}) {
        if (parser.isSet(option)) {
            const int v = parser.value(option).toInt(&ok);
            if (!ok) {
                std::fprintf(stderr, "orvhost: --%s takes an integer\n", option);
                return 2;
            }
            core.state().setValue(item, v);
        }
    }

    // The scanner runs when either of its times is given.
    std::unique_ptr<HostScanner> scanner;
    if (parser.isSet("scan-dwell") || parser.isSet("scan-timeout")) {
        int times[2] = {1000, 5000};
        const char* names[2] = {"scan-dwell", "scan-timeout"};
        for (int i = 0; i < 2; ++i) {
            if (!parser.isSet(names[i]))
                continue;
            times[i] = parser.value(names[i]).toInt(&ok);
            if (!ok || times[i] < 0) {
                std::fprintf(stderr, "orvhost: --%s takes milliseconds\n", names[i]);
                return 2;
            }
        }
        scanner = std::make_unique<HostScanner>(core.state(), times[0], times[1]);
        QObject::connect(scanner.get(), &HostScanner::timedOut, &core, [&core] {
            core.trace().write({TraceWriter::text("dir", "host"), TraceWriter::text("event", "scan resumed after time-out")});
        });
        scanner->start();
    }

    std::unique_ptr<HostWindow> window;
    if (!headless) {
        window = std::make_unique<HostWindow>(core, quenda);
        window->show();
    }

    const std::string start = parser.value("start").toStdString();
    const bool list = parser.isSet("get-applets");
    bool quitWhenDone = headless && !parser.isSet("seconds") && !pluginSet;

    // A plug-in: loaded now, started from the event loop; headless runs end with the audio file.
    std::unique_ptr<PluginHost> plugin;
    QString eofPath;
    if (pluginSet) {
        QString path = pluginArg;
        if (!path.contains('/'))
            path = QFileInfo(QCoreApplication::applicationFilePath()).absolutePath() + "/../lib/lib" + path + ".so";
        if (headless) {
            if (!qEnvironmentVariableIsSet("WAVE_IN_EOF_FILE"))
                qputenv("WAVE_IN_EOF_FILE",
                        (QDir::tempPath() + "/orvhost-eof-" + QString::number(QCoreApplication::applicationPid()))
                            .toUtf8());
            eofPath = qEnvironmentVariable("WAVE_IN_EOF_FILE");
            QFile::remove(eofPath);
        }
        plugin = std::make_unique<PluginHost>(core.trace(), core.state());
        std::string error;
        if (!plugin->load(path.toStdString(), &error)) {
            std::fprintf(stderr, "orvhost: %s\n", error.c_str());
            return 2;
        }
        auto startPlugin = [&plugin] {
            if (!plugin->attached())
                plugin->start();
        };
        if (window) {
            auto* menu = (new QMenuBar(window.get()))->addMenu("Plug-ins");
            menu->addAction(QString::fromStdString(plugin->name()), &app, startPlugin);
        }
        QTimer::singleShot(0, &app, startPlugin);
        if (headless) {
            QObject::connect(plugin.get(), &PluginHost::detached, &app, [] { QCoreApplication::quit(); });
            auto* watch = new QTimer(&app);
            QObject::connect(watch, &QTimer::timeout, &app, [&plugin, eofPath, watch] {
                if (QFile::exists(eofPath)) {
                    watch->stop();
                    plugin->close();
                    QFile::remove(eofPath);
                    QCoreApplication::quit();
                }
            });
            watch->start(100);
        }
    }
    auto startApplet = [&] {
        if (!start.empty())
            core.startApplet(start, quenda);
        else if (quitWhenDone)
            QCoreApplication::quit();
    };
    if (quitWhenDone)
        QObject::connect(&core, &HostCore::appletEnded, &app, [] { QCoreApplication::quit(); });
    if (list) {
        QObject::connect(&core, &HostCore::listed, &app, startApplet);
        core.runGetApplets(quenda);
    } else {
        QTimer::singleShot(0, &app, startApplet);
    }
    core.play(script);

    if (parser.isSet("seconds")) {
        const double seconds = parser.value("seconds").toDouble(&ok);
        if (!ok || seconds < 0) {
            std::fprintf(stderr, "orvhost: --seconds takes a number\n");
            return 2;
        }
        QTimer::singleShot(static_cast<int>(seconds * 1000), &app, [&] {
            if (plugin)
                plugin->close();
            core.endConversations();
            if (!core.appletRunning()) {
                QCoreApplication::quit();
                return;
            }
            // The applet closes when its conversation ends and writes its settings on the way out;
            // it is given a few seconds for that before the host ends anyway.
            QObject::connect(&core, &HostCore::appletEnded, &app, [] { QCoreApplication::quit(); });
            QTimer::singleShot(5000, &app, [] { QCoreApplication::quit(); });
        });
    }
    const int rc = app.exec();
    if (plugin)
        plugin->close();
    return rc;
}
