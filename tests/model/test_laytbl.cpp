#include "model/laytbl.h"

#include <gtest/gtest.h>

TEST(LayerSet, CreateGivesFreshEntriesWithinTheLimit)
{
    struct Case {
        int asked;
        int made;
    };
    const Case cases[] = {{1, 1}, {3, 3}, {LAYTBL_MAX, LAYTBL_MAX}, {0, 1}, {-2, 1}, {9, LAYTBL_MAX}};
    for (const Case& c : cases) {
        EXPECT_EQ(layTblCreate(c.asked), c.made) << c.asked;
        EXPECT_EQ(layTblGetCount(), c.made);
        for (int i = 0; i < c.made; ++i) {
            TLay* e = layTblGet(i);
            ASSERT_NE(e, nullptr);
            ASSERT_NE(e->layer, nullptr);
            EXPECT_EQ(e->layer->count, 0);
            EXPECT_EQ(e->layer->capacity, 128);
            EXPECT_EQ(e->name, "");
            EXPECT_EQ(e->layerDefPath, "");
            EXPECT_EQ(e->id, 0);
            // Leave something behind for the next case to replace.
            e->name = "図形等";
            e->id = 7;
            e->layer->layerAdd(TLayerRec{});
        }
        EXPECT_EQ(layTblGet(c.made), nullptr);
        EXPECT_EQ(layTblGet(-1), nullptr);
    }
}

TEST(LayerSet, LinkTableEntriesAreEmpty)
{
    for (int i = 0; i < LNKDATA_MAX; ++i) {
        const TLnkData* d = utilGetLnkData(i);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->id, 0);
        EXPECT_EQ(d->name, "");
        EXPECT_EQ(d->folder, "");
    }
    EXPECT_EQ(utilGetLnkData(LNKDATA_MAX), nullptr);
    EXPECT_EQ(utilGetLnkData(-1), nullptr);
}
