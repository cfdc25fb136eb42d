// The tests of this program run under the decimal-comma locale the test run names (LC_ALL and
// LOCPATH), with the C library's locale set from the environment by Qt, as in every program of the
// system. A locale that cannot be set fails the run: nothing here would be tried without it.
#include <QCoreApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

namespace {

int cannotSet(const char* locale)
{
    const char* path = std::getenv("LOCPATH");
    std::fprintf(stderr,
                 "the locale %s cannot be set (LOCPATH=%s): the build compiles it into <build>/locale with "
                 "localedef from the locale sources of the package \"locales\" (scripts/deps installs it)\n",
                 locale, path ? path : "(unset)");
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    constexpr const char* kLocale = "de_DE.UTF-8";
    if (!std::setlocale(LC_ALL, kLocale))
        return cannotSet(kLocale);
    QCoreApplication app(argc, argv);  // sets the C library's locale from the environment again
    if (!std::setlocale(LC_ALL, kLocale) || std::strcmp(std::localeconv()->decimal_point, ",") != 0)
        return cannotSet(kLocale);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
