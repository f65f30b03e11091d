#include "wizard/taaform1.h"

#include <gtest/gtest.h>

TEST(Taaform1, CarriesTheApplicationTitleAndFixedClientSize)
{
    Taaform1 form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Ferrovane 4.0"));
    EXPECT_EQ(form.size(), QSize(594, 425));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
}
