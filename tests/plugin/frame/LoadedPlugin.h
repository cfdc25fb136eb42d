#pragma once
// A plug-in library as a host sees it: loaded once per process with dlopen, after the environment it
// reads is set (a folder of its own, a silent scripted sound input), and driven through its exports.
#include "plugin/frame/OrvPlugin.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cctype>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>

struct TLoadedPlugin {
    OrvPluginInitFn init = nullptr;
    OrvPluginStartFn start = nullptr;
    OrvPluginNotifyFn notify = nullptr;
    OrvPluginDoneFn done = nullptr;
};

// The folder the plug-in runs in, for the whole process.
inline testsupport::TempDir& PluginTestDir()
{
    static testsupport::TempDir dir;
    return dir;
}

// Sets the environment and loads the library (once per process: keep the result in a static).
inline TLoadedPlugin LoadPluginForTest(const char* library)
{
    testsupport::TempDir& dir = PluginTestDir();
    ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    ::setenv("MSGBOX_LOG", (dir / "boxes.log").c_str(), 1);
    ::setenv("ORV_PLUGIN_PATH", dir.path().c_str(), 1);
    testsupport::writeFile(dir / "ok.script", "values 0 0 0 0\nsilence_at_end\n");
    ::setenv("WAVE_IN_SCRIPT", (dir / "ok.script").c_str(), 1);
    void* lib = dlopen(testsupport::libPath(library).c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(lib, nullptr) << dlerror();
    TLoadedPlugin q;
    if (lib) {
        q.init = reinterpret_cast<OrvPluginInitFn>(dlsym(lib, "orvPluginInit"));
        q.start = reinterpret_cast<OrvPluginStartFn>(dlsym(lib, "orvPluginStart"));
        q.notify = reinterpret_cast<OrvPluginNotifyFn>(dlsym(lib, "orvPluginNotify"));
        q.done = reinterpret_cast<OrvPluginDoneFn>(dlsym(lib, "orvPluginDone"));
    }
    return q;
}

// The names the library exports (defined, global); empty when they could not be listed.
inline std::set<std::string> ExportedNames(const char* library)
{
    std::string out;
    std::set<std::string> names;
    if (testsupport::runProgram({"/usr/bin/nm", "-D", "--defined-only", testsupport::libPath(library).string()}, {},
                                &out) != 0) {
        ADD_FAILURE() << "nm failed on " << library;
        return names;
    }
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string address, type, name;
        fields >> address >> type >> name;
        // A lower-case type is a local symbol: present in the table but bound to nothing outside.
        if (!name.empty() && type != "A" && !type.empty() && !std::islower(static_cast<unsigned char>(type[0])))
            names.insert(name);
    }
    return names;
}

// Lets the windows' posted work and deferred deletes run.
inline void PumpPluginEvents()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
