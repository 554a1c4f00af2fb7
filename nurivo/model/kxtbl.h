// The program-wide settings table: two texts and fifty integers, each stored in the settings
// key under a fixed value name, plus the folder text CurDataDir and the application-kind name.
#pragma once
#include "platform/registry.h"

#include <array>
#include <cstdint>
#include <string>

constexpr int kxIntCount = 50;
constexpr int kxTextCount = 2;

// Integer slots, named after their value names.
enum KXSlot : int {
    kxTNO = 0,
    kxZNO,
    kxZNO2,
    kxTextSize,
    kxSEArrowSize,
    kxSETextSize,
    kxVtxVal,
    kxAreaVal,
    kxPaperSize,
    kxPaperX,
    kxPaperY,
    kxSCALE,
    kxDPI,
    kxPrBai,
    kxENumDSP,
    kxNumDSPPos,
    kxDspBlack,
    kxPOffsX,
    kxPOffsY,
    kxHRSize,
    kxHRPos,
    kxHROffsX,
    kxHROffsY,
    kxCVSizeX,
    kxCVSizeY,
    kxKZPAPER,
    kxKZLines,
    kxEndAzaName,
    kxEdaIROHA,
    kxOmitAza,
    kxEdaYUTIBAN,
    kxDetailDSP,
    kxFontType,
    kxDspYellow,
    kxPrNVNo,
    kxSArrowSize,
    kxEArrowSize,
    kxOresenSize,
    kxKenType,
    kxD90_2Type,
    kxIsImgCol,
    kxImgCol,
    kxBB_Paper,
    kxBB_Scale,
    kxBB_CX,
    kxBB_CY,
    kxCUR_OAZA,
    kxCUR_AZA,
    kxTRELVEX,
    kxDefaultValue, // 49: the key's unnamed default value
};

// Text indices.
enum KXText : int {
    kxDBDir = 0,
    kxDataDir = 1,
};

struct TKXTbl {
    std::array<std::string, kxTextCount> textNames;
    std::array<std::string, kxTextCount> textValues;
    std::array<std::string, kxIntCount> intNames;
    std::array<int32_t, kxIntCount> intValues{};
};

// The key of the settings, below HKEY_LOCAL_MACHINE.
inline constexpr const char* kxRegistryKey = "SOFTWARE\\Tavisol\\NV_Tool";

// Reads CurDataDir from the key, then the application-kind name from the first line of
// CurDataDir + aplName + ".def" (no separator between them); "QuorelR" when there is none.
void cfgLoadDataDir(const RegistryKeyFactory& keys, const std::string& aplName);
std::string cfgGetAppKindName();
std::string cfgGetCurDataDir();

// Reads every setting from a fresh key and applies the defaults.
void cfgLoad(const RegistryKeyFactory& keys);
// Writes both texts and all fifty integers; false (after one message) when they could not be
// stored, in which case the stored key stays as it was.
bool cfgSave(const RegistryKeyFactory& keys);

// Slots 0..49 and text indices 0..1; other indices read as 0 or "" and are not stored.
int32_t cfgGetInt(int slot);
void cfgSetInt(int slot, int32_t value);
std::string cfgGetText(int index);
void cfgSetText(int index, const std::string& text);

// The table itself, for inspection.
const TKXTbl& cfgTable();
