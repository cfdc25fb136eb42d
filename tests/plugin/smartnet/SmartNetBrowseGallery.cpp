// Pictures of the SmartNet database browser and system editor on a database of several systems,
// with the layout checks every window gets.
#include "FakeReceiverLibrary.h"
#include "OrvPluginFrame.h"
#include "QelStaticText.h"
#include "RecordingHost.h"
#include "SmartNetDBBrowseForm.h"
#include "SmartNetEditorForm.h"
#include "SmartNetForm.h"
#include "SmartNetWindowFixture.h"
#include "tests/support/Gallery.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using namespace testsupport;

class SmartNetBrowseGallery : public SmartNetQuietWindow {
protected:
    static void ExpectWhole(QWidget& w)
    {
        EXPECT_EQ(captionsThatDoNotFit(w), std::vector<std::string>{});
        EXPECT_EQ(overlappingControls(w), std::vector<std::string>{});
    }

    // A database of several systems, as the window stores them; the last one stays current.
    void StoreSystems()
    {
        const struct {
            uint16_t id;
            int32_t base;
            const char* description;
        } systems[] = {{0x8000, 832200000, "County trunk"}, {0x2F8F, -1, "Airport"}, {0x1234, 850012500, "City"}};
        for (const auto& sys : systems) {
            form->SelectSystem(sys.id);
            TSmartNetSystemRecord& r = form->Record();
            r.BaseFrequency = sys.base;
            r.ControlChannelFrequency = sys.base == -1 ? 851000000 : sys.base + 752 * 25000;
            r.Description = sys.description;
            for (int c : {752, 760, 771})
                SmartNetSetMapBit(r.ControlChannelMap, c);
            for (int c : {3, 17, 100, 150, 200, 530, 611, 799, 812, 1001})
                SmartNetSetMapBit(r.TrafficChannelMap, c);
            for (int i = 0; i < 14; ++i)
                r.HeardRadios.push_back({uint16_t(0x0101 + 0x0313 * i), ""});
            r.HeardRadios[0].Alias = "Engine 12";
            r.HeardRadios[3].Alias = "Dispatch";
            r.HeardRadios[5].Alias = "Car 7";
        }
        form->SysDescr->SetText("City");
    }
};

TEST_F(SmartNetBrowseGallery, DatabaseBrowser)
{
    StoreSystems();
    form->DBBrowseClick();
    TSmartNetDBBrowseForm* b = form->BrowserWindow;
    ASSERT_TRUE(b);
    EXPECT_EQ(b->SysIDs->count(), 3);
    EXPECT_EQ(b->SysIDs->currentText(), "1234");  // the owner's system
    EXPECT_EQ(b->size(), QSize(640, 382));
    gallerySave(*b, "smartnet-browser");
    ExpectWhole(*b);

    b->SysIDs->setCurrentIndex(b->SysIDs->findText("2F8F"));
    gallerySave(*b, "smartnet-browser-base-unknown");
    ExpectWhole(*b);
}

TEST_F(SmartNetBrowseGallery, SystemEditor)
{
    StoreSystems();
    form->SysEditClick();
    TSmartNetEditorForm* e = form->EditorWindow;
    ASSERT_TRUE(e);
    e->RadioList->setCurrentRow(3);
    EXPECT_EQ(e->RadioEdit->text(), "Dispatch");
    gallerySave(*e, "smartnet-editor");
    ExpectWhole(*e);
}

}  // namespace
