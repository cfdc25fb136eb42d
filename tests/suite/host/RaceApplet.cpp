// A quenda with one applet that stays open for a while, for starting two runs at the same moment.
// QUENDA_TEST_START_AT (nanoseconds of the real-time clock) holds each run back, once its
// application is made and just before the single-applet lock, until that instant; the applet appends "running <pid>" to the file QUENDA_TEST_MARK names and closes after
// QUENDA_TEST_HOLD_MS (default 300) milliseconds.
#include "ProgramMain.h"
#include "QuendaStart.h"
#include "RegApplet.h"

#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

bool CreateWaiting(int32_t)
{
    if (const char* mark = std::getenv("QUENDA_TEST_MARK")) {
        std::ofstream out(mark, std::ios::app);
        out << "running " << ::getpid() << "\n";
    }
    const char* hold = std::getenv("QUENDA_TEST_HOLD_MS");
    auto* window = new QWidget;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    QTimer::singleShot(hold ? std::atoi(hold) : 300, window, &QWidget::close);
    return true;
}

TAppletRegistrar waiting("Waiting Test Applet", CreateWaiting);

void WaitForTheStart()
{
    const char* at = std::getenv("QUENDA_TEST_START_AT");
    if (!at)
        return;
    const long long ns = std::atoll(at);
    const timespec when{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    while (::clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &when, nullptr) != 0) {
    }
}

}  // namespace

int main(int argc, char** argv)
{
    return QuendaRun(argc, argv, [](TProgramServices& s) {
        s.InitApplication = [init = s.InitApplication](const std::string& title, const std::string& helpFile) {
            init(title, helpFile);
            WaitForTheStart();
        };
    });
}
