// The start-up binding of the receiver-control library, with and without the library.
#include "Kvapi2.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>

#include <set>
#include <string>

namespace {

int32_t CallEntry(const TKvapiEntry& e)
{
    switch (e.ArgCount) {
    case 0: return reinterpret_cast<TKvapiFn0>(e.Fn)();
    case 1: return reinterpret_cast<TKvapiFn1>(e.Fn)(1);
    case 2: return reinterpret_cast<TKvapiFn2>(e.Fn)(1, 2);
    case 3: return reinterpret_cast<TKvapiFn3>(e.Fn)(1, 2, 3);
    default: return reinterpret_cast<TKvapiFn4>(e.Fn)(1, 2, 3, 4);
    }
}

TEST(KvapiBinding, AbsentLibraryBindsAStubReturningZeroForEveryName)
{
    EXPECT_FALSE(KvapiLoad("libkvapi32-absent.so"));
    EXPECT_FALSE(KvapiLoaded());
    std::set<std::string> names;
    for (int i = 0; i < kKvapiEntryCount; ++i) {
        const TKvapiEntry& e = *KvapiEntry(i);
        names.insert(e.Name);
        EXPECT_FALSE(e.FromLibrary) << e.Name;
        ASSERT_NE(e.Fn, nullptr) << e.Name;
        EXPECT_GE(e.ArgCount, 0);
        EXPECT_LE(e.ArgCount, 4);
        EXPECT_EQ(CallEntry(e), 0) << e.Name;
    }
    EXPECT_EQ(names.size(), 51u);
    EXPECT_EQ(std::string(KvapiEntry(0)->Name), "OpenRadioDevice");
    EXPECT_EQ(std::string(KvapiEntry(50)->Name), "OpenRadioCount");
    // An index outside the table gives nothing rather than memory beside it.
    for (int outside : {-1, kKvapiEntryCount, kKvapiEntryCount + 1000, INT32_MIN, INT32_MAX})
        EXPECT_EQ(KvapiEntry(outside), nullptr) << outside;
    EXPECT_EQ(KvapiGetModeString(), KvapiFind("GetModeStringA")->Fn);
}

TEST(KvapiBinding, LibraryEntriesAreBoundAndTheRestStubbedUntilFreed)
{
    const std::string lib = testsupport::libPath("libkvapi_probe.so").string();
    {
        TKvapiBinding binding(lib.c_str());
        ASSERT_TRUE(KvapiLoaded());
        const TKvapiEntry* set = KvapiFind("SetFrequency");
        ASSERT_TRUE(set && set->FromLibrary);
        EXPECT_EQ(CallEntry(*set), 7);
        EXPECT_EQ(CallEntry(*KvapiFind("GetModeStringA")), 9);
        EXPECT_EQ(KvapiGetModeString(), KvapiFind("GetModeStringA")->Fn);
        EXPECT_FALSE(KvapiFind("SetMode")->FromLibrary);
        EXPECT_EQ(CallEntry(*KvapiFind("SetMode")), 0);
    }
    EXPECT_FALSE(KvapiLoaded());
    EXPECT_FALSE(KvapiFind("SetFrequency")->FromLibrary);
    EXPECT_EQ(CallEntry(*KvapiFind("SetFrequency")), 0);
}

TEST(KvapiBinding, ReceiverLibraryFoundByNameBindsEveryEntry)
{
    {
        TKvapiBinding binding;
        ASSERT_TRUE(KvapiLoaded());
        for (int i = 0; i < kKvapiEntryCount; ++i) {
            const TKvapiEntry& e = *KvapiEntry(i);
            EXPECT_TRUE(e.FromLibrary) << e.Name << " was stubbed";
        }
        EXPECT_EQ(KvapiGetModeString(), KvapiFind("GetModeStringA")->Fn);
        EXPECT_NE(KvapiFind("OpenRadioCount")->Fn, reinterpret_cast<void*>(&KvapiNullStub0));
        EXPECT_EQ(reinterpret_cast<TKvapiFn0>(KvapiFind("OpenRadioCount")->Fn)(), 0);  // nothing opened yet
    }
    EXPECT_FALSE(KvapiLoaded());
    EXPECT_FALSE(KvapiFind("OpenRadioCount")->FromLibrary);
}

}  // namespace
