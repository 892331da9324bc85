#include <gtest/gtest.h>
#include "analysis/analyse.h"
#include "fixtures/rombau.h"
#include "tests/testsupport.h"

using namespace cartonym;

TEST(Analyse, HeaderlessLoRom)
{
    test::Tempordner ordner;
    fixtures::Schreibe_rom(ordner / "a.smc", {});
    const Analyse a = Analysiere_rom(ordner / "a.smc");
    ASSERT_TRUE(a.Rom_ok);
    EXPECT_EQ(a.Formatcode, "NO LO");
    EXPECT_EQ(a.Pruefsumme, "3412");
}
