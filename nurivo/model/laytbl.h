// The layer set of the running application (TLayTbl of TLay) and the link table TLnkData.
#pragma once
#include "model/layer.h"

#include <memory>
#include <string>
#include <vector>

// One layer of the set.
struct TLay {
    std::unique_ptr<TLayer> layer; // its attribute list, created empty with the entry
    std::string name;              // "図形等" for entry 0, else from the application definition
    std::string layerDefPath;      // its layer definition file
    int id = 0;
};

// At most the figure layer and four further layers: the drawing holds five figure stores.
constexpr int LAYTBL_MAX = 5;

struct TLayTbl {
    int count = 0;
    std::vector<TLay> entries;
};

// Replaces the program-wide layer set by `count` fresh entries (kept within 1..LAYTBL_MAX).
// Result: the number of entries.
int layTblCreate(int count);
// Entry index; nullptr for an index outside the set.
TLay* layTblGet(int index);
int layTblGetCount();

constexpr int LNKDATA_MAX = 5;

struct TLnkData {
    int id = 0;
    std::string name;
    std::string folder;
};

// Entry index (0..4) of the program-wide link table; nullptr outside it.
TLnkData* utilGetLnkData(int index);
