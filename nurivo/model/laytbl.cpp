#include "model/laytbl.h"

#include <algorithm>

namespace {

TLayTbl& layTbl()
{
    static TLayTbl table;
    return table;
}

} // namespace

int layTblCreate(int count)
{
    TLayTbl& t = layTbl();
    t.entries.clear();
    t.count = std::clamp(count, 1, LAYTBL_MAX);
    t.entries.resize(static_cast<size_t>(t.count));
    for (TLay& e : t.entries)
        e.layer = std::make_unique<TLayer>();
    return t.count;
}

TLay* layTblGet(int index)
{
    TLayTbl& t = layTbl();
    return index >= 0 && index < t.count ? &t.entries[static_cast<size_t>(index)] : nullptr;
}

int layTblGetCount() { return layTbl().count; }

TLnkData* utilGetLnkData(int index)
{
    // Nothing fills these entries; the record detail grid reads their empty folders.
    static TLnkData table[LNKDATA_MAX];
    return index >= 0 && index < LNKDATA_MAX ? &table[index] : nullptr;
}
