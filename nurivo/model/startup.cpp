#include "model/startup.h"

std::string cmdLine;
std::string startDir;
std::string placeholderImagePath;

int cmdAplKind = 1;
int cmdLayerMax = 0;
int cmdOpenMode = 0;
int cmdDirectPrint = 0;
std::string cmdDataDir;
std::string cmdBaseDir;
std::string cmdSubDir;
std::string cmdRasterName;
int firstActivation = 1;

namespace {
int aplKind = -1;

struct KindRow {
    int code;
    const char* name;
};
constexpr KindRow kindTable[] = {
    {akColouring, "ベルノア"},  {akQuorelR2, "QuorelR2"},
    {akQuorelR3, "QuorelR3"},   {akQuorelLight, "QuorelLight"},
    {akQuorelR, "QuorelR"},     {akKind12, "Quorel 未定義アプリ？"},
    {akPictova, "Pictova"},
};
constexpr const char* unknownKindName = "Quorel 未定義アプリ？";
} // namespace

std::string startGetDir() { return startDir; }

void aplSetKind(int kind) { aplKind = kind; }

int aplGetKind() { return aplKind; }

std::string aplGetName()
{
    for (const KindRow& row : kindTable)
        if (row.code == aplKind)
            return row.name;
    return unknownKindName;
}

bool aplIsKnownKind(int kind)
{
    for (const KindRow& row : kindTable)
        if (row.code == kind)
            return true;
    return false;
}
