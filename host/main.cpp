// orvhost: the receiver-control host that plug-ins and quenda's applets talk to.
#include "Band.h"
#include "BandLink.h"
#include "BandServer.h"
#include "HostCore.h"
#include "HostDdeServer.h"
#include "HostScanner.h"
#include "HostWindow.h"
#include "PluginHost.h"
#include "PrimaryReceiver.h"
#include "platform/sound/PlayedMark.h"
#include "platform/sound/Recording.h"
#include "platform/sound/WaveIn.h"
#include "platform/text/NumberText.h"
#include "platform/ui/Application.h"
#include "platform/version/VersionInfo.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <unistd.h>

void SetBandInput(Band* band);  // InputHook.cpp

namespace {

const char* const kDescription = R"(Receiver-control host for Korvanta plug-ins and Quenda.

Decode a recording:   orvhost --plugin build/lib/libmarlet.so --input recording.wav
Decode a sound card:  orvhost --plugin build/lib/libmarlet.so
Without a display add --headless: no window, message boxes go to standard error with their
default answer, what the windows decode goes to standard output, and the run ends with the
recording or the band (or after --seconds).

--input takes any recording libsndfile reads (WAV of 8, 16, 24, 32-bit or float samples, FLAC, ...)
at any rate; it is converted to what the plug-in opens.

--band FILE lists stations, one a line: "<frequency Hz> <recording> [<level>]". The receiver
hears the station it is tuned to (noise elsewhere), on the right channel of a stereo input, and
its signal level follows; the receiver library's receivers read the same levels. The band, not
--input or WAVE_IN_FILE, is then the sound input of the plug-in and of the applets orvhost starts;
like a sound card's capture it has one listener at a time, the first to open it. Of a station's
stereo recording the band plays the left channel, or the right with --input-channel right; a
station whose recording is silent on the channel played is named on standard error.

--script FILE schedules changes, one a line: "<seconds> <what> [<value>]" with what one of
SignalStrength, Squelch, ScanState, Mute, Frequency, Mode, Volume, Attenuator, Power,
station-off <hz>, station-on <hz>, disconnect. Levels are 0..65535 (S9 = 32768, 512 a dB).

A recording or the band plays at real time, as a sound card would. --pace 4 plays it at four times
real time, keeping time like a card: a decoder slower than that loses sound, as it would on a card.
--pace fast plays it as fast as the decoder takes it and loses nothing, but for the Packet Radio
Decoder, which hands the sound to a decoding thread that keeps only a few seconds of it waiting:
above real time it may lose frames. --seconds and --script count seconds of the clock, whatever
the pace, and so do the times in the logs.
On a terminal, standard error shows how much of the recording has played.

Environment:
  WAVE_IN_FILE       a recording as the sound input (what --input sets)
  WAVE_IN_CHANNEL    left or right: the channel of a stereo recording for a mono input
  WAVE_IN_PACE       fast, or a factor of real time, for a recording or the band (real time when unset)
  WAVE_IN_BAND       set by orvhost for the applets: the socket it serves the band on
  KVAPI32_RIGS       the receivers, "model[:port],..." (two simulated rigs when unset)
  KVAPI32_FAKE       a scripted receiver pool for tests (--band writes its own)
  ORV_PLUGIN_PATH    the folder where the plug-ins keep their system database
  XDG_CONFIG_HOME    settings go to $XDG_CONFIG_HOME/Korvanta Communications/)";

// Every option orvhost takes; those with a value name take a value.
struct OptionSpec {
    const char* name;
    const char* help;
    const char* value = nullptr;
    const char* byDefault = nullptr;
};
const OptionSpec kOptions[] = {
    {"plugin", "Load this orv plug-in (a path, or a name such as \"marlet\") and start it.", "path"},
    {"input", "Take the sound input from this recording (any common kind, any rate); not with --band.", "file"},
    {"input-channel", "The channel of a stereo recording (or of each station's, on the band) a mono input takes: left or right.", "side"},
    {"band", "Simulate a band of stations (see above).", "file"},
    {"frequency", "Start frequency of the receiver in Hz.", "hz"},
    {"headless", "Run without a window: boxes go to standard error, what is decoded to standard output; end with the recording or the band, or after --seconds."},
    {"seconds", "End after this many seconds (of the clock, whatever the pace).", "n"},
    {"pace", "Play the recording or the band at this many times real time, or \"fast\" (as fast as the decoder takes it); real time when not given (see above).", "factor"},
    {"script", "Schedule of changes (see above).", "file"},
    {"trace", "Write a JSON-lines trace of everything that passes through the host.", "file"},
    {"receiver", "Receiver number (DDE topic \"Korvanta #<n>\").", "n", "1"},
    {"quenda", "The quenda program to run.", "path"},
    {"get-applets", "List quenda's applets at start (headless: one a line on standard output)."},
    {"start", "Start the applet of this name.", "name"},
    {"scan-state", "Initial ScanState.", "v"},
    {"signal-strength", "Initial SignalStrength.", "v"},
    {"squelch", "Initial Squelch.", "v"},
    {"mute", "Initial Mute.", "v"},
    {"scan-dwell", "Scan: stop on a channel after this many ms of scanning.", "ms"},
    {"scan-timeout", "Scan: resume by itself when no applet resumes it within this many ms.", "ms"},
};

// The option of that spelling ("--name" or "-name"), or null.
const OptionSpec* FindOption(const std::string& arg)
{
    const size_t dashes = arg.rfind("--", 0) == 0 ? 2 : arg.rfind('-', 0) == 0 ? 1 : 0;
    if (dashes == 0)
        return nullptr;
    for (const OptionSpec& o : kOptions)
        if (arg.compare(dashes, std::string::npos, o.name) == 0)
            return &o;
    return nullptr;
}

// The refusal of the first option that needs a value and has none (the last argument, an empty
// "--name=", or followed by another of the options); empty when every one has its value.
std::string MissingValue(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--", 0) == 0 && a.find('=') == a.size() - 1) {
            if (const OptionSpec* o = FindOption(a.substr(0, a.size() - 1)); o && o->value)
                return a.substr(0, a.size() - 1) + " needs a value (" + o->value + ")";
            continue;
        }
        const OptionSpec* o = FindOption(a);
        if (!o || !o->value)
            continue;
        if (i + 1 >= argc || FindOption(argv[i + 1]))
            return "--" + std::string(o->name) + " needs a value (" + o->value + ")";
        ++i;  // its value, whatever it looks like
    }
    return {};
}

// Quenda beside this program, unless named.
QString DefaultQuenda() { return QFileInfo(QCoreApplication::applicationFilePath()).absolutePath() + "/quenda"; }

bool HasDisplay()
{
    for (const char* v : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* s = std::getenv(v); s && *s)
            return true;
    return false;
}

// Why the sound input a plug-in takes cannot be opened; empty when it can.
std::string SoundInputProblem()
{
    if (platform::waveInDeviceCount() == 0)
        return "no sound card and no recording (give --input FILE)";
    platform::WaveInHandle handle = 0;
    const uint32_t rc = platform::waveInOpen(&handle, platform::kWaveMapper, platform::WaveFormat::pcm(11025, 16, 2),
                                             nullptr);
    if (rc != platform::kWaveNoError)
        return platform::waveInErrorText(rc);
    platform::waveInClose(handle);
    return {};
}

// The folder of this run's own files, the marks the sound inputs of this process and of the applets
// leave for it: made new under TMPDIR (or /tmp) with a name no one can foresee, for this user alone
// (0700), so that no one else can put a file or a link where they are written; taken away with what
// it holds when the run ends.
class RunFolder {
public:
    RunFolder()
    {
        const char* tmp = std::getenv("TMPDIR");
        const std::string base = tmp && *tmp == '/' ? tmp : "/tmp";
        std::string name = base + "/orvhost-XXXXXX";
        if (::mkdtemp(name.data()))
            path_ = name;
        else
            why_ = "cannot make a folder for the run's files in " + base + ": " + std::strerror(errno);
    }
    ~RunFolder()
    {
        std::error_code ec;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ec);  // links in it are taken away, not followed
    }
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    bool made() const { return !path_.empty(); }
    const std::string& why() const { return why_; }
    QString file(const char* name) const { return QString::fromStdString(path_ + "/" + name); }

private:
    std::string path_;
    std::string why_;
};

// The file the sound input makes when the recording or the band has come to its end (WAVE_IN_EOF_FILE,
// inherited by the applets), named now in the run's folder unless the caller named one, and not there yet.
QString FreshEndOfInputMark(const RunFolder& folder)
{
    if (qEnvironmentVariableIsEmpty("WAVE_IN_EOF_FILE"))
        qputenv("WAVE_IN_EOF_FILE", folder.file("eof").toUtf8());
    const QString path = qEnvironmentVariable("WAVE_IN_EOF_FILE");
    QFile::remove(path);
    return path;
}

// What a pace faster than real time costs the applet of that name; empty when nothing. The packet
// decoder works on a thread of its own behind a bounded queue: sound it has not taken in time is
// dropped, so frames are lost when its thread is slower than the pace. The other applets and the
// plug-ins decode each buffer before they take the next: at fast they lose nothing, and at a factor
// only what a card would lose to a decoder slower than that.
std::string PaceWarning(const std::string& applet, const std::string& pace)
{
    const bool faster = pace == "fast" || platform::ParseNumber(pace).value_or(1) > 1;
    if (!faster || QString::fromStdString(applet).simplified().compare("Packet Radio Decoder", Qt::CaseInsensitive) != 0)
        return {};
    return "at --pace " + pace +
           " the Packet Radio Decoder may lose frames: its decoding thread keeps only a few seconds of sound "
           "waiting and drops what it cannot keep up with (real time loses none)";
}

// "1:05", or "1:02:05" from an hour on.
std::string Clock(double seconds)
{
    const long s = long(seconds);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

// On a terminal, one line of standard error that updates tells how much of the recording (or the
// band) has played: the sound input, in this program or in the applet's, marks it in a file.
class PlayedLine {
public:
    PlayedLine(bool playing, double length, const RunFolder& folder) : length_(length)
    {
        if (!playing || !::isatty(STDERR_FILENO))
            return;
        file_ = folder.file("played").toStdString();
        std::remove(file_.c_str());
        qputenv("WAVE_IN_PLAYED_FILE", QByteArray::fromStdString(file_));
        QObject::connect(&timer_, &QTimer::timeout, [this] { show(); });
        timer_.start(250);
    }
    ~PlayedLine() { finish(); }
    PlayedLine(const PlayedLine&) = delete;
    PlayedLine& operator=(const PlayedLine&) = delete;

    // The last count, and the line ended.
    void finish()
    {
        if (file_.empty())
            return;
        timer_.stop();
        show();
        if (shown_)
            std::fputs("\n", stderr);
        std::remove(file_.c_str());
        file_.clear();
    }

private:
    void show()
    {
        double seconds = platform::sound::readPlayedMark(file_);
        if (seconds < 0)
            return;
        if (length_ > 0)
            seconds = std::min(seconds, length_);
        const std::string of = length_ > 0 ? " of " + Clock(length_) : "";
        // Back at the line's start afterwards, so what a decoder prints meanwhile writes over it.
        std::fprintf(stderr, "orvhost: played %s%s\x1b[K\r", Clock(seconds).c_str(), of.c_str());
        std::fflush(stderr);
        shown_ = true;
    }

    double length_;
    std::string file_;
    QTimer timer_;
    bool shown_ = false;
};

// How long an applet is given after its recording ends, for the buffers it still holds.
constexpr int kAppletTailMs = 1500;
// How long an applet is given, once its conversation has ended, to decode what it still holds, write
// it out and close; past that it is stopped and the run fails. Generous, for a loaded machine.
constexpr int kAppletEndMs = 10000;

// The run's exit statuses (the README's table says what each means).
constexpr int kFailed = 1;         // the plug-in or the applet did not start, or the applet failed
constexpr int kCommandLine = 2;    // a mistake on the command line
constexpr int kErrorShown = 3;     // headless, the plug-in or the applet showed an error message
constexpr int kAppletStopped = 4;  // the applet did not end in time and was stopped: output lost

// One line on standard error for a run that fails, and the status it ends with.
int Fail(int status, const std::string& line)
{
    std::fprintf(stderr, "orvhost: %s\n", line.c_str());
    return status;
}

int Refuse(const std::string& line) { return Fail(kCommandLine, line); }

// The options that take a number, the numbers each takes, and what it says of any other.
struct NumberOption {
    const char* name;
    bool fraction;      // seconds may have one; the rest are whole numbers
    double low, high;   // high keeps a time in milliseconds within a timer's int
    const char* takes;
};
constexpr NumberOption kNumberOptions[] = {
    {"receiver", false, INT_MIN, INT_MAX, "an integer"},
    {"seconds", true, 0, INT_MAX / 1000.0, "a number of seconds"},
    {"frequency", false, 1, INT32_MAX, "a frequency in Hz"},
    {"scan-state", false, INT_MIN, INT_MAX, "an integer"},
    {"signal-strength", false, INT_MIN, INT_MAX, "an integer"},
    {"squelch", false, INT_MIN, INT_MAX, "an integer"},
    {"mute", false, INT_MIN, INT_MAX, "an integer"},
    {"scan-dwell", false, 0, INT_MAX, "milliseconds"},
    {"scan-timeout", false, 0, INT_MAX, "milliseconds"},
};

// The refusal of the first number option given something it does not take; empty when all are good.
std::string BadNumberOption(const QCommandLineParser& parser)
{
    for (const NumberOption& option : kNumberOptions) {
        if (!parser.isSet(option.name))
            continue;
        bool ok = false;
        const QString text = parser.value(option.name);
        const double v = option.fraction ? text.toDouble(&ok) : double(text.toLongLong(&ok));
        if (!ok || !(v >= option.low && v <= option.high))
            return std::string("--") + option.name + " takes " + option.takes;
    }
    return {};
}

// Calls done once, from the event loop, when the sound input has come to its end: the recording's
// end-of-input mark is there, or the band has ended.
void WhenInputEnds(QObject* parent, const QString& mark, const Band* band, const std::function<void()>& done)
{
    auto* watch = new QTimer(parent);
    QObject::connect(watch, &QTimer::timeout, parent, [mark, band, watch, done] {
        if (QFile::exists(mark) || (band && band->ended())) {
            watch->stop();
            done();
        }
    });
    watch->start(100);
}

}  // namespace

int main(int argc, char** argv)
{
    // Before Qt takes any of them: an option without its value would otherwise be taken for nothing.
    if (const std::string missing = MissingValue(argc, argv); !missing.empty())
        return Refuse(missing);
    bool headless = false;
    bool help = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        headless = headless || a == "--headless";
        help = help || a == "--help" || a == "-h" || a == "--version" || a == "-v";
    }
    // Qt takes "--plugin" for its own platform plug-ins, so ours is taken off before Qt sees it.
    QString pluginArg;
    bool pluginSet = false;
    for (int i = 1; i < argc; ++i) {
        const QString a(argv[i]);
        int taken = 0;
        if ((a == "--plugin" || a == "-plugin") && i + 1 < argc) {
            pluginArg = QString::fromLocal8Bit(argv[i + 1]);
            taken = 2;
        } else if (a.startsWith("--plugin=")) {
            pluginArg = a.mid(9);
            taken = 1;
        }
        if (taken > 0) {  // argv[argc], the null at the end, moves down too
            pluginSet = true;
            std::copy(argv + i + taken, argv + argc + 1, argv + i);
            argc -= taken;
            --i;
        }
    }
    if (headless || help) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // Message boxes of this process, its plug-ins and the applets it starts never wait for anyone.
        if (headless)
            qputenv("KORVANTA_HEADLESS", "1");
    } else if (!HasDisplay()) {
        return Refuse("no display to show the window on (DISPLAY is not set); run with --headless");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("orvhost");
    if (const platform::VersionTable* version = platform::VersionTable::Module())
        QApplication::setApplicationVersion(QString::fromStdString(version->String("FileVersion").value_or("")));

    QCommandLineParser parser;
    parser.setApplicationDescription(kDescription);
    parser.addHelpOption();
    parser.addVersionOption();
    for (const OptionSpec& o : kOptions) {
        QCommandLineOption option(o.name, o.help);
        if (o.value) {
            option.setValueName(o.value);
            if (o.byDefault)
                option.setDefaultValue(o.byDefault);
        }
        parser.addOption(option);
    }
    if (!parser.parse(QCoreApplication::arguments()))
        return Refuse(parser.errorText().toStdString() + " (see --help)");
    if (parser.isSet("help"))
        parser.showHelp(0);
    if (parser.isSet("version"))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        return Refuse("unexpected argument \"" + parser.positionalArguments().first().toStdString() + "\" (see --help)");

    if (const std::string bad = BadNumberOption(parser); !bad.empty())
        return Refuse(bad);
    const int receiver = parser.value("receiver").toInt();
    const QString quenda = parser.isSet("quenda") ? parser.value("quenda") : DefaultQuenda();
    const std::string start = parser.value("start").toStdString();
    const bool list = parser.isSet("get-applets");
    if ((list || !start.empty()) && !QFileInfo(quenda).isExecutable())
        return Refuse("cannot run quenda: \"" + quenda.toStdString() + "\" is not an executable program");

    const double seconds = parser.isSet("seconds") ? parser.value("seconds").toDouble() : -1;

    // The pace of the recording or the band, for this program and the applets it starts.
    if (parser.isSet("pace")) {
        const QString pace = parser.value("pace");
        // Read as the sound input reads it, so that a factor taken here is the factor played.
        const std::optional<double> factor = platform::ParseNumber(pace.toStdString());
        if (pace != "fast" && !(factor && *factor > 0 && *factor < 1e6))
            return Refuse("--pace takes a factor of real time above 0, or fast");
        qputenv("WAVE_IN_PACE", pace.toUtf8());
        if (const std::string warning = PaceWarning(start, pace.toStdString()); !warning.empty())
            std::fprintf(stderr, "orvhost: %s\n", warning.c_str());
    }

    // The sound input: a recording is checked now, so a bad one is named before anything starts.
    if (parser.isSet("input-channel")) {
        const QString side = parser.value("input-channel");
        if (side != "left" && side != "right")
            return Refuse("--input-channel takes left or right");
        qputenv("WAVE_IN_CHANNEL", side.toUtf8());
    }
    if (parser.isSet("input"))
        qputenv("WAVE_IN_FILE", QFileInfo(parser.value("input")).absoluteFilePath().toUtf8());
    const platform::sound::ChannelChoice choice = platform::sound::channelChoiceFromEnv();
    const QString inputFile = qEnvironmentVariable("WAVE_IN_FILE");
    double inputSeconds = 0;
    if (!inputFile.isEmpty() && !parser.isSet("band")) {
        std::string why;
        const auto recording = platform::sound::Recording::open(inputFile.toStdString(), 11025, 2, choice, &why);
        if (!recording)
            return Refuse("no sound input: " + why);
        // Nothing to decode: the run would end at once as if it had done its job, or wait for ever.
        if (recording->fileFrames() == 0)
            return Refuse("no sound input: Recording \"" + inputFile.toStdString() + "\" holds no samples.");
        inputSeconds = recording->seconds();
    }

    HostScript script;
    if (parser.isSet("script")) {
        QFile f(parser.value("script"));
        if (!f.open(QIODevice::ReadOnly))
            return Refuse("cannot read the script " + parser.value("script").toStdString());
        std::string error;
        auto parsed = HostScript::parse(f.readAll().toStdString(), &error);
        if (!parsed)
            return Refuse("script " + parser.value("script").toStdString() + ", " + error);
        script = *parsed;
    }

    // Where the sound inputs leave their marks for this program; an error box of this run is marked
    // there too, by the applet as by the plug-in.
    const RunFolder runFolder;
    if (!runFolder.made())
        return Fail(kFailed, runFolder.why());
    if (headless)
        qputenv("MSGBOX_ERROR_MARK", runFolder.file("error-shown").toUtf8());
    int exitCode = 0;

    std::unique_ptr<Band> band;
    QTemporaryDir bandDir;
    std::unique_ptr<BandServer> bandServer;
    if (parser.isSet("band")) {
        QFile f(parser.value("band"));
        if (!f.open(QIODevice::ReadOnly))
            return Refuse("cannot read the band " + parser.value("band").toStdString());
        std::string error;
        auto stations = Band::parse(f.readAll().toStdString(),
                                    QFileInfo(parser.value("band")).absolutePath().toStdString(), &error);
        if (!stations)
            return Refuse("band " + parser.value("band").toStdString() + ", " + error);
        band = std::make_unique<Band>(*stations, choice);
        std::vector<std::string> warnings;
        if (!band->check(&error, &warnings))
            return Refuse("band " + parser.value("band").toStdString() + ", " + error);
        for (const std::string& warning : warnings)
            std::fprintf(stderr, "orvhost: band %s, %s\n", parser.value("band").toStdString().c_str(), warning.c_str());
        if (!bandDir.isValid())
            return Refuse("no temporary folder for the band's receiver levels");
        // The receivers of the library read the band's levels.
        qputenv("KVAPI32_FAKE", (bandDir.path() + "/receivers").toUtf8());
        SetBandInput(band.get());
        // The applets, in processes of their own, hear the band through its socket.
        bandServer = std::make_unique<BandServer>(*band);
        if (!bandServer->listen((bandDir.path() + "/band").toStdString(), &error))
            return Refuse("cannot serve the band to the applets: " + error);
        qputenv("WAVE_IN_BAND", QByteArray::fromStdString(bandServer->path()));
    }

    // The receiver library writes its calls into the same trace, so the trace names one usable file.
    std::string tracePath;
    if (parser.isSet("trace")) {
        tracePath = QFileInfo(parser.value("trace")).absoluteFilePath().toStdString();
        qputenv("KVAPI32_TRACE", QByteArray::fromStdString(tracePath));
    }
    HostCore core(receiver, std::make_unique<HostDdeServer>(), tracePath);
    if (!tracePath.empty() && !core.trace().enabled())
        return Refuse("cannot write the trace " + tracePath);
    if (!tracePath.empty())  // the library's lines count their time from the host's start too
        qputenv("KVAPI32_TRACE_EPOCH_MS", QByteArray::number(qlonglong(core.trace().startMs())));
    if (!core.serving())
        std::fprintf(stderr, "orvhost: cannot serve \"Korvanta\" (is another host running?)\n");
    for (const auto& [option, item] : {std::pair{"frequency", "Frequency"}, std::pair{"scan-state", "ScanState"},
                                       std::pair{"signal-strength", "SignalStrength"}, std::pair{"squelch", "Squelch"},
                                       std::pair{"mute", "Mute"}})
        if (parser.isSet(option))
            core.state().setValue(item, parser.value(option).toInt());
    std::unique_ptr<BandLink> bandLink;
    if (band) {
        bandLink = std::make_unique<BandLink>(*band, core, (bandDir.path() + "/receivers").toStdString());
        if (!bandLink->poolWritten())
            return Refuse("cannot write the band's receiver levels in " + bandDir.path().toStdString());
    }
    PrimaryReceiver primary(core.state());
    if (!primary.open())
        std::fprintf(stderr, "orvhost: the receiver library has no receiver free; running without one\n");

    // The scanner runs when either of its times is given.
    std::unique_ptr<HostScanner> scanner;
    if (parser.isSet("scan-dwell") || parser.isSet("scan-timeout")) {
        const int dwell = parser.isSet("scan-dwell") ? parser.value("scan-dwell").toInt() : 1000;
        const int timeout = parser.isSet("scan-timeout") ? parser.value("scan-timeout").toInt() : 5000;
        scanner = std::make_unique<HostScanner>(core.state(), dwell, timeout);
        QObject::connect(scanner.get(), &HostScanner::timedOut, &core, [&core] {
            core.trace().write({TraceWriter::text("dir", "host"), TraceWriter::text("event", "scan resumed after time-out")});
        });
        scanner->start();
    }

    // A plug-in: loaded now, started from the event loop.
    std::unique_ptr<PluginHost> plugin;
    QString eofPath;
    if (pluginSet) {
        QString path = pluginArg;
        if (!path.contains('/'))
            path = QFileInfo(QCoreApplication::applicationFilePath()).absolutePath() + "/../lib/lib" + path + ".so";
        if (!QFileInfo::exists(path))
            return Refuse("no plug-in " + path.toStdString());
        if (headless)
            eofPath = FreshEndOfInputMark(runFolder);
        plugin = std::make_unique<PluginHost>(core.trace(), core.state());
        std::string error;
        if (!plugin->load(path.toStdString(), &error)) {
            if (plugin->refused() && platform::waveInDeviceCount() == 0)
                return Refuse("no sound input: no sound card and no recording (give --input FILE)");
            return Refuse("cannot load the plug-in: " + error);
        }
    }

    std::unique_ptr<HostWindow> window;
    bool appletStopped = false;
    // The end of the run: the plug-in closed, the conversations ended, the applet given its time.
    bool ending = false;
    auto endRun = [&] {
        if (ending)
            return;
        ending = true;
        if (plugin)
            plugin->close();
        core.endConversations();
        if (!core.appletRunning()) {
            QCoreApplication::quit();
            return;
        }
        // The applet closes when its conversation ends, once it has decoded and written out what it
        // holds, and writes its settings on the way out; it is given a while for that, and then stopped.
        QObject::connect(&core, &HostCore::appletEnded, &app, [] { QCoreApplication::quit(); });
        QTimer::singleShot(kAppletEndMs, &app, [&] {
            if (!core.appletRunning())
                return;
            appletStopped = true;  // said here, not as an applet that failed
            core.killApplet();
            const std::string applet = start.empty() ? "the applet" : "the applet \"" + start + "\"";
            exitCode = Fail(kAppletStopped, applet + " did not end within " + std::to_string(kAppletEndMs / 1000) +
                                                " s of the end of the run and was stopped; what it had not written is lost");
            QCoreApplication::exit(kAppletStopped);
        });
    };
    if (!headless) {
        window = std::make_unique<HostWindow>(core, quenda.toStdString(), plugin.get());
        window->show();
    }

    if (plugin) {
        QTimer::singleShot(0, &app, [&] {
            if (plugin->start())
                return;
            const std::string problem = SoundInputProblem();
            const std::string line = problem.empty() ? "the plug-in \"" + plugin->name() +
                                                           "\" did not start (see its message above)"
                                                     : "no sound input: " + problem;
            if (headless) {
                exitCode = Fail(kFailed, line);
                QCoreApplication::exit(kFailed);
            }
        });
        if (headless) {
            // The run ends when the plug-in closes, or with the recording or the band; an applet still
            // running is given its time to end.
            auto finish = [&core, &endRun] {
                if (core.appletRunning())
                    endRun();
                else
                    QCoreApplication::quit();
            };
            QObject::connect(plugin.get(), &PluginHost::detached, &app, finish);
            WhenInputEnds(&app, eofPath, band.get(), [&plugin, eofPath, finish] {
                plugin->close();
                QFile::remove(eofPath);
                finish();
            });
        }
    }

    const bool quitWhenDone = headless && seconds < 0 && !pluginSet;
    auto startApplet = [&] {
        if (!start.empty())
            core.startApplet(start, quenda.toStdString());
        else if (quitWhenDone)
            QCoreApplication::quit();
    };
    if (quitWhenDone)
        QObject::connect(&core, &HostCore::appletEnded, &app, [] { QCoreApplication::quit(); });
    // Headless, the applet of --start that did not start (quenda's status says so), or that failed,
    // ends the run, with one line; so does one that had to be stopped (said where it is stopped).
    if (headless && !start.empty())
        QObject::connect(&core, &HostCore::appletEnded, &app, [&exitCode, &appletStopped, start](int code, bool crashed) {
            if ((code == 0 && !crashed) || appletStopped)
                return;
            if (crashed)
                exitCode = Fail(kFailed, "the applet \"" + start + "\" was ended by signal " + std::to_string(code));
            else if (code == 1)
                exitCode = Fail(kFailed, "the applet \"" + start + "\" did not start (see its message above)");
            else
                exitCode = Fail(kFailed, "the applet \"" + start + "\" ended with status " + std::to_string(code));
            QCoreApplication::exit(kFailed);
        });
    if (list) {
        // Headless, the list is the run's result: one name a line.
        if (headless)
            QObject::connect(&core, &HostCore::listed, &app, [&core, &quenda, &exitCode] {
                for (const HostApplet& a : core.applets())
                    std::printf("%s\n", a.name.c_str());
                std::fflush(stdout);
                if (core.applets().empty())
                    exitCode = Fail(kFailed, quenda.toStdString() + " listed no applets");
            });
        QObject::connect(&core, &HostCore::listed, &app, startApplet);
        core.runGetApplets(quenda.toStdString());
    } else {
        QTimer::singleShot(0, &app, startApplet);
    }
    core.play(script);

    if (seconds >= 0)
        QTimer::singleShot(static_cast<int>(seconds * 1000), &app, endRun);
    // Headless, an applet's run without --seconds ends with its recording or the band, once the
    // applet has had a moment for the last buffers it holds.
    QString appletEof;
    if (headless && !start.empty() && !pluginSet && seconds < 0) {
        appletEof = FreshEndOfInputMark(runFolder);
        WhenInputEnds(&app, appletEof, band.get(), [&app, &endRun] { QTimer::singleShot(kAppletTailMs, &app, endRun); });
    }
    PlayedLine played(!inputFile.isEmpty() || band, inputSeconds, runFolder);
    const int rc = app.exec();
    played.finish();
    if (!appletEof.isEmpty())
        QFile::remove(appletEof);
    if (plugin)
        plugin->close();
    window.reset();
    SetBandInput(nullptr);
    // An applet still running now (the run ended another way) is stopped; headless, what it had not
    // written is lost, and the run says so unless it failed already.
    const bool stoppedNow = !appletStopped && core.appletRunning();
    appletStopped = appletStopped || stoppedNow;
    core.killApplet();
    platform::letPooledThreadsEnd();
    if (rc != 0)
        return rc;
    if (stoppedNow && headless && !start.empty() && exitCode == 0)
        exitCode = Fail(kAppletStopped,
                        "the applet \"" + start + "\" was still running at the end of the run and was stopped");
    // Headless, no one saw an error box (this program's, the plug-in's or the applet's, each marked in
    // the run's folder): the status tells the script that runs this.
    if (exitCode == 0 && headless && QFileInfo::exists(runFolder.file("error-shown")))
        exitCode = Fail(kErrorShown, "the run showed an error message (see above)");
    return exitCode;
}
