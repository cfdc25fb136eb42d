// Pictures of the scope's windows.
#include "Gallery.h"
#include "ScopeDispPropsUnit.h"

#include <gmock/gmock.h>

namespace {

TEST(ScopeGallery, DisplayPropertiesDialog)
{
    TScopeDispPropsForm form;
    form.OnApply = [](TScopeDispPropsForm*) {};
    testsupport::gallerySave(form, "scope-display-properties");
    EXPECT_THAT(testsupport::captionsThatDoNotFit(form), ::testing::IsEmpty());
    EXPECT_THAT(testsupport::overlappingControls(form), ::testing::IsEmpty());
}

}  // namespace
