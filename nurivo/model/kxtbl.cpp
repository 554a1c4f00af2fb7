#include "model/kxtbl.h"

#include "platform/message.h"
#include "platform/strscan.h"
#include "platform/textfile.h"

#include <memory>

static_assert(kxDefaultValue == kxIntCount - 1);

namespace {

// A default replaces a stored value below `below`: 1 for most slots, 0 where 0 is a choice.
struct SlotDef {
    const char* name;
    int32_t def;
    int32_t below;
};

constexpr SlotDef kSlots[kxIntCount - 1] = {
    {"TNO", 0, 1},        {"ZNO", 0, 1},        {"ZNO2", 0, 1},       {"TextSize", 30, 1},
    {"SEArrowSize", 30, 1}, {"SETextSize", 30, 1}, {"VtxVal", 5, 1},   {"AreaVal", 3, 1},
    {"PaperSize", 4, 1},  {"PaperX", 420, 1},   {"PaperY", 297, 1},   {"SCALE", 500, 1},
    {"DPI", 200, 1},      {"PrBai", 1, 1},      {"ENumDSP", 1, 0},    {"NumDSPPos", 0, 1},
    {"DspBlack", 0, 1},   {"POffsX", 0, 1},     {"POffsY", 0, 1},     {"HRSize", 0, 1},
    {"HRPos", 0, 1},      {"HROffsX", 0, 1},    {"HROffsY", 0, 1},    {"CVSizeX", 0, 1},
    {"CVSizeY", 0, 1},    {"KZPAPER", 0, 1},    {"KZLines", 45, 1},   {"EndAzaName", 0, 1},
    {"EdaIROHA", 0, 1},   {"OmitAza", 0, 1},    {"EdaYUTIBAN", 0, 1}, {"DetailDSP", 0, 1},
    {"FontType", 0, 1},   {"DspYellow", 0, 1},  {"PrNVNo", 0, 1},     {"SArrowSize", 30, 1},
    {"EArrowSize", 30, 1}, {"OresenSize", 50, 1}, {"KenType", 0, 1},  {"D90_2Type", 0, 1},
    {"IsImgCol", 1, 1},   {"ImgCol", 0, 1},     {"BB_Paper", 2, 0},   {"BB_Scale", 500, 1},
    {"BB_CX", 500, 1},    {"BB_CY", 500, 1},    {"CUR_OAZA", 0, 1},   {"CUR_AZA", 0, 1},
    {"TRELVEX", 0, 1},
};

constexpr const char* kTextNames[kxTextCount] = {"DBDir", "DataDir"};

TKXTbl table;
std::string curDataDir;
std::string appKindName = "QuorelR";
std::string lastSaveFailure; // so that a save failing the same way again is not re-reported

// The accessor of one load or save; reads fall back to -1 and "" when the key cannot be had.
class KeySession {
public:
    explicit KeySession(const RegistryKeyFactory& keys)
    {
        if (keys)
            key_ = keys();
        if (key_ && !key_->openKey(kxRegistryKey, true))
            failed_ = true;
    }
    bool usable() const { return key_ && !failed_; }
    RegistryKey* key() const { return key_.get(); }

    int32_t readInt(const std::string& name) const
    {
        return usable() ? key_->readInt(name).value_or(-1) : -1;
    }
    std::string readText(const std::string& name) const
    {
        return usable() ? key_->readText(name).value_or(std::string()) : std::string();
    }

private:
    std::unique_ptr<RegistryKey> key_;
    bool failed_ = false;
};

bool validSlot(int slot) { return slot >= 0 && slot < kxIntCount; }
bool validText(int index) { return index >= 0 && index < kxTextCount; }

// Value names are fixed; they are set before any read or write.
void assignNames()
{
    for (int i = 0; i < kxTextCount; ++i)
        table.textNames[i] = kTextNames[i];
    for (int i = 0; i < kxIntCount - 1; ++i)
        table.intNames[i] = kSlots[i].name;
    table.intNames[kxDefaultValue].clear();
}

} // namespace

void cfgLoadDataDir(const RegistryKeyFactory& keys, const std::string& aplName)
{
    curDataDir = KeySession(keys).readText("CurDataDir");
    appKindName = "QuorelR";
    TextReader in;
    std::string line;
    if (!in.open(curDataDir + aplName + ".def") || !in.readLine(line))
        return;
    int count = 0;
    std::string name;
    if (strScan(line, "%d\t%s", &count, &name) >= 2)
        appKindName = name;
}

std::string cfgGetAppKindName() { return appKindName; }
std::string cfgGetCurDataDir() { return curDataDir; }

void cfgLoad(const RegistryKeyFactory& keys)
{
    assignNames();
    {
        KeySession session(keys);
        for (int i = 0; i < kxTextCount; ++i)
            table.textValues[i] = session.readText(table.textNames[i]);
        for (int i = 0; i < kxIntCount; ++i)
            table.intValues[i] = session.readInt(table.intNames[i]);
    }

    for (int i = 0; i < kxIntCount - 1; ++i)
        if (table.intValues[i] < kSlots[i].below)
            table.intValues[i] = kSlots[i].def;
}

bool cfgSave(const RegistryKeyFactory& keys)
{
    assignNames();
    KeySession session(keys);
    bool stored = false;
    std::string where, why;
    if (RegistryKey* key = session.key()) {
        if (session.usable()) {
            for (int i = 0; i < kxTextCount; ++i)
                key->writeText(table.textNames[i], table.textValues[i]);
            for (int i = 0; i < kxIntCount; ++i)
                key->writeInt(table.intNames[i], table.intValues[i]);
            stored = key->commit();
        }
        where = key->location();
        why = key->errorText();
    }
    if (stored) {
        lastSaveFailure.clear();
        return true;
    }
    std::string failure = where + "\n" + why;
    if (failure != lastSaveFailure) {
        lastSaveFailure = failure;
        showMessage("設定を保存できませんでした。\n" + failure);
    }
    return false;
}

int32_t cfgGetInt(int slot) { return validSlot(slot) ? table.intValues[slot] : 0; }

void cfgSetInt(int slot, int32_t value)
{
    if (validSlot(slot))
        table.intValues[slot] = value;
}

std::string cfgGetText(int index) { return validText(index) ? table.textValues[index] : std::string(); }

void cfgSetText(int index, const std::string& text)
{
    if (validText(index))
        table.textValues[index] = text;
}

const TKXTbl& cfgTable() { return table; }
