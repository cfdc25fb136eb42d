// The browser's texts and lists of a stored system, the k-th set bit of a map, and the editor's
// updates, wrap-around, OK and Cancel on a model.
#include <gtest/gtest.h>

#include "MPT1327Browse.h"
#include "MPT1327Database.h"
#include "SystemBrowse.h"
#include "TestSupport.h"
#include "tests/plugin/frame/db/RecordedNotices.h"

namespace {

TMPT1327SystemRecord System(int32_t base, uint16_t step)
{
    TMPT1327SystemRecord r;
    r.SystemIdentity = 0x2A51;
    r.BaseFrequency = base;
    r.ChannelSize = step;
    r.ControlChannelFrequency = 450012500;
    r.Description = "Harbour net";
    SetMapBit(r.ControlChannelMap, 20);
    SetMapBit(r.ControlChannelMap, 33);
    SetMapBit(r.TrafficChannelMap, 3);
    SetMapBit(r.TrafficChannelMap, 17);
    SetMapBit(r.PrefixMap, 0x7F);
    SetMapBit(r.PrefixMap, 0x01);
    r.GroupAliases[1] = "Taxi";
    r.HeardRadios = {{0x00C8, 1, "Car 2"}, {0x0064, 1, "Car 1"}, {0x1FFF, 0x7F, ""}};
    return r;
}

TEST(MPT1327Browse, ItemsAndTextsOfAStoredSystem)
{
    struct Case {
        int32_t base;
        uint16_t step;
        std::string baseText, index, chanSize;
        std::vector<std::string> control, traffic;
    };
    const Case cases[] = {
        {449512500, 25000, "449.5125 MHz", "20", "25.0000 kHz ", {"20 - 450.0125", "33 - 450.3375"},
         {"3 - 449.5875", "17 - 449.9375"}},
        {449762500, 12500, "449.7625 MHz", "20", "12.5000 kHz ", {"20 - 450.0125", "33 - 450.1750"},
         {"3 - 449.8000", "17 - 449.9750"}},
        // Base not known: numbers only, no base and no index.
        {-1, 25000, "", "", "25.0000 kHz ", {"20", "33"}, {"3", "17"}},
        // A channel step of 0 from a damaged record: no frequencies and no index, nothing divides.
        {449512500, 0, "449.5125 MHz", "", "0.0000 kHz ", {"20", "33"}, {"3", "17"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.base);
        const TOrvBrowseView v = MPT1327BrowseView(System(c.base, c.step));
        EXPECT_EQ(v.Description, "Harbour net");
        EXPECT_EQ(v.BaseFreq, c.baseText);
        EXPECT_EQ(v.CtrlChanFreq, "450.0125 MHz");
        EXPECT_EQ(v.CtrlChanIdx, c.index);
        EXPECT_EQ(v.ChanSize, c.chanSize);
        EXPECT_EQ(v.CtrlChans, c.control);
        EXPECT_EQ(v.TrafficChans, c.traffic);
        EXPECT_EQ(v.HeardGroups, (std::vector<std::string>{"01 - Taxi", "7F - "}));
        EXPECT_EQ(v.HeardRadios, (std::vector<std::string>{"01:0064 - Car 1", "01:00C8 - Car 2", "7F:1FFF - "}));
    }
    // No control-channel frequency: neither frequency nor index.
    TMPT1327SystemRecord none = System(449512500, 25000);
    none.ControlChannelFrequency = 0;
    EXPECT_EQ(MPT1327BrowseView(none).CtrlChanFreq, "");
    EXPECT_EQ(MPT1327BrowseView(none).CtrlChanIdx, "");
}

TEST(MPT1327Browse, TheKthSetBitAndItsFrequency)
{
    std::array<uint8_t, 128> map{};
    for (unsigned n : {0u, 9u, 1023u})
        SetMapBit(map, n);
    EXPECT_EQ(BrowseNthSetBit(map.data(), map.size(), 0), 0);
    EXPECT_EQ(BrowseNthSetBit(map.data(), map.size(), 1), 9);
    EXPECT_EQ(BrowseNthSetBit(map.data(), map.size(), 2), 1023);
    EXPECT_EQ(BrowseNthSetBit(map.data(), map.size(), 3), -1);

    const TMPT1327SystemRecord known = System(449512500, 25000);
    EXPECT_EQ(MPT1327ControlChannelFrequency(known, 1), 449512500 + 33 * 25000);
    EXPECT_EQ(MPT1327ControlChannelFrequency(known, 2), -1);
    // Unknown base or step: no frequency to tune to (not n * step - 1).
    EXPECT_EQ(MPT1327ControlChannelFrequency(System(-1, 25000), 0), -1);
    EXPECT_EQ(MPT1327ControlChannelFrequency(System(449512500, 0), 0), -1);
}

TEST(MPT1327Editor, UpdatesWrapAroundAndOnlyOKStoresThem)
{
    const TMPT1327SystemRecord original = System(449512500, 25000);
    TMPT1327SystemRecord record = original;
    TMPT1327Editor ed(record);
    ASSERT_EQ(ed.GroupItems.size(), 128u);
    EXPECT_EQ(ed.GroupItems[1], "01 - Taxi");
    EXPECT_EQ(ed.GroupItems[127], "7F - ");

    // Enter on row 127 writes it and moves to row 0.
    ed.GroupListClick(127);
    ed.GroupEdit = "Fleet";
    ed.GroupUpdate();
    EXPECT_EQ(ed.GroupItems[127], "7F - Fleet");
    EXPECT_EQ(ed.GroupSelected, 0);
    EXPECT_EQ(ed.GroupEdit, "");
    ed.GroupListClick(1);
    EXPECT_EQ(ed.GroupEdit, "Taxi");
    ed.GroupClear();
    EXPECT_EQ(ed.GroupEdit, "");

    // Station aliases: the last row wraps to the first.
    ASSERT_EQ(ed.RadioItems.size(), 3u);
    ed.RadioListClick(2);
    ed.RadioEdit = "Base";
    ed.RadioUpdate();
    EXPECT_EQ(ed.RadioItems[2], "7F:1FFF - Base");
    EXPECT_EQ(ed.RadioSelected, 0);
    EXPECT_EQ(ed.RadioEdit, "Car 1");

    // Nothing selected: an update does nothing.
    TMPT1327Editor idle(record);
    idle.GroupEdit = "x";
    idle.GroupUpdate();
    idle.RadioUpdate();
    EXPECT_EQ(idle.GroupItems, TMPT1327Editor(record).GroupItems);

    // Cancel: the record is as it was. OK: all 128 group aliases as the list shows them.
    EXPECT_EQ(record, original);
    ed.Description = "Harbour net, north";
    ed.Apply(record);
    EXPECT_EQ(record.Description, "Harbour net, north");
    EXPECT_EQ(record.GroupAliases[127], "Fleet");
    EXPECT_EQ(record.GroupAliases[1], "Taxi");
    EXPECT_EQ(record.GroupAliases[5], "");
    EXPECT_EQ(record.HeardRadios[2].Alias, "Base");
    EXPECT_EQ(record.HeardRadios[1].Alias, "Car 1");
}

TEST(MPT1327Editor, AnAliasNamingAnotherStationStaysWithItsOwn)
{
    TMPT1327SystemRecord record = System(449512500, 25000);
    // 01:0064 comes first in the heard list; 01:00C8's new alias names it.
    record.HeardRadios = {{0x0064, 1, "Car 1"}, {0x00C8, 1, "Car 2"}};
    TMPT1327Editor ed(record);
    ed.RadioListClick(1);
    ASSERT_EQ(ed.RadioEdit, "Car 2");
    ed.RadioEdit = "relay for 01:0064";
    ed.RadioUpdate();
    ed.Apply(record);
    EXPECT_EQ(record.HeardRadios[0].Alias, "Car 1");
    EXPECT_EQ(record.HeardRadios[1].Alias, "relay for 01:0064");
}

TEST(MPT1327Browse, ReadsIdentitiesAndEntriesWithoutCreatingOrReporting)
{
    testsupport::TempDir dir;
    RecordedNotices notices;
    const auto file = dir / "MPT1327.MEM";
    TSystemDatabase reader(MPT1327Layout(), file);
    reader.SetReport(&notices);
    std::vector<uint16_t> ids{1};
    EXPECT_EQ(reader.ReadIdentities(ids), TDatabaseStatus::dsCantOpen);
    EXPECT_TRUE(ids.empty());
    EXPECT_FALSE(std::filesystem::exists(file));

    // An empty database: no systems.
    TMPT1327Database db(file);
    db.SetReport(&notices);
    ASSERT_EQ(db.OpenDatabase(), TDatabaseStatus::dsCreated);
    EXPECT_EQ(reader.ReadIdentities(ids), TDatabaseStatus::dsOk);
    EXPECT_TRUE(ids.empty());

    TMPT1327Channels ch;
    ch.TunedFrequency = 450012500;
    for (uint16_t id : {0x0300, 0x0100, 0x0200}) {
        db.SelectSystem(id, ch);
        db.Record().Description = "System " + std::to_string(id);
    }
    db.SaveSystem(ch);
    EXPECT_EQ(reader.ReadIdentities(ids), TDatabaseStatus::dsOk);
    EXPECT_EQ(ids, (std::vector<uint16_t>{0x0300, 0x0100, 0x0200}));
    TStoredEntry entry;
    bool found = false;
    EXPECT_EQ(reader.ReadEntry(0x0100, entry, found), TDatabaseStatus::dsOk);
    ASSERT_TRUE(found);
    EXPECT_EQ(DecodeMPT1327System(entry).Description, "System 256");
    EXPECT_EQ(reader.ReadEntry(0x0999, entry, found), TDatabaseStatus::dsOk);
    EXPECT_FALSE(found);
    EXPECT_TRUE(notices.all().empty());
}

}  // namespace
