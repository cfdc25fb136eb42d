// "Display Properties": its boxes and when its colours are applied.
#include "ScopeDispPropsUnit.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

using namespace platform;

TEST(ScopeDispProps, FormDefaults)
{
    TScopeDispPropsForm form;
    EXPECT_EQ(form.windowTitle().toStdString(), "Display Properties");
    EXPECT_EQ(form.size(), QSize(227, 161));
    EXPECT_EQ(form.BackgroundColour->SelectedColor(), clBlack);
    EXPECT_EQ(form.GridColour->SelectedColor(), clGreen);
    EXPECT_EQ(form.TraceColour->SelectedColor(), clWhite);
    EXPECT_EQ(form.MarkerColour->SelectedColor(), clRed);
    EXPECT_EQ(form.GridColour->currentText().toStdString(), "Green");
    EXPECT_EQ(form.MarkerColour->PictureWidth(), 18);
    EXPECT_TRUE(form.OkButton->isDefault());
    const auto* label = form.findChild<QLabel*>("TraceColourLabel");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->buddy(), form.TraceColour);
}

TEST(ScopeDispProps, ApplyIsOfferedOnlyWithAHandler)
{
    TScopeDispPropsForm form;
    form.FormShow();
    EXPECT_FALSE(form.ApplyButton->isEnabled());
    form.OnApply = [](TScopeDispPropsForm*) {};
    form.FormShow();
    EXPECT_TRUE(form.ApplyButton->isEnabled());
}

TEST(ScopeDispProps, HowOftenTheColoursAreApplied)
{
    struct Case {
        const char* what;
        bool applyFirst;
        bool changeAfter;
        int result;
        int applied;
    };
    const Case cases[] = {
        {"OK without a change still applies once", false, false, QDialog::Accepted, 1},
        {"Apply, then OK, applies once only", true, false, QDialog::Accepted, 1},
        {"Apply, a change, then OK applies again", true, true, QDialog::Accepted, 2},
        {"Apply, then Cancel keeps what was applied", true, false, QDialog::Rejected, 1},
        {"Cancel alone applies nothing", false, false, QDialog::Rejected, 0},
    };
    for (const Case& c : cases) {
        TScopeDispPropsForm form;
        int applied = 0;
        TColor trace = 0;
        form.OnApply = [&](TScopeDispPropsForm* f) {
            ++applied;
            trace = f->TraceColour->SelectedColor();
        };
        form.FormShow();
        EXPECT_TRUE(form.CancelButton->isEnabled());
        form.TraceColour->setCurrentIndex(11);
        form.TraceColour->ItemClick(11);  // Lime
        if (c.applyFirst)
            form.ApplyButtonClick();
        if (c.changeAfter)
            form.TraceColour->ItemClick(12);
        form.AfterClose(c.result);
        EXPECT_EQ(applied, c.applied) << c.what;
        if (c.applied > 0) {
            EXPECT_EQ(trace, c.changeAfter ? clYellow : clLime) << c.what;
        }
    }
}

}  // namespace
