#include "model/startup.h"

#include "model/laytbl.h"
#include "model/qrv.h"
#include "platform/message.h"
#include "platform/paths.h"
#include "platform/strscan.h"
#include "platform/textfile.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

std::string cmdLine;
std::vector<std::string> cmdArgs;
std::string startDir;
std::string programDir;
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

namespace fs = std::filesystem;

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

constexpr const char* layerDefName = "LayerDef.Txt";

bool isFile(const std::string& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

// One reference layer named by the application definition file.
struct RefLayer {
    int id = 0;
    std::string name;
};

// Reads the definition file: line 1 (title count, table name, base-folder override), the
// title lines, then with a layer maximum the count line and up to that many layer lines.
// False when the file cannot be opened.
bool readDefinition(const std::string& path, std::vector<RefLayer>& layers)
{
    TextReader in;
    if (!in.open(path))
        return false;
    std::string line;
    int titles = 0;
    std::string table;
    std::string override = "."; // a short line 1 keeps the command line's base folder
    if (in.readLine(line))
        strScan(line, "%d %s %s", &titles, &table, &override);
    if (override != ".")
        cmdBaseDir = override;
    for (int i = 0; i < titles && in.readLine(line); ++i) {
    }
    if (cmdLayerMax <= 0 || !in.readLine(line))
        return true;
    int wanted = std::min(strToLong(line), cmdLayerMax);
    if (wanted > startMaxRefLayers) {
        showMessage("参照レイヤーは" + std::to_string(startMaxRefLayers) +
                    "つまでです。それ以降のレイヤーは使いません。");
        wanted = startMaxRefLayers;
    }
    // A file that ends early gives the layers it holds. A line that names no layer is passed
    // over: a nameless layer would share the figure layer's folders, and so its ZKI and layer
    // definition files.
    for (int j = 0; j < wanted && in.readLine(line); ++j) {
        RefLayer layer;
        if (strScan(line, "%d %s", &layer.id, &layer.name) == 2)
            layers.push_back(std::move(layer));
    }
    return true;
}
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

void startReset()
{
    cmdLine.clear();
    cmdArgs.clear();
    startDir.clear();
    programDir.clear();
    placeholderImagePath.clear();
    cmdAplKind = 1;
    cmdLayerMax = 0;
    cmdOpenMode = 0;
    cmdDirectPrint = 0;
    cmdDataDir.clear();
    cmdBaseDir.clear();
    cmdSubDir.clear();
    cmdRasterName.clear();
    firstActivation = 1;
    aplKind = -1;
}

void startSetFolders(const std::string& executableDir)
{
    std::error_code ec;
    fs::path here = fs::current_path(ec);
    startDir = ec ? std::string(".") : here.string();
    programDir = executableDir;
    placeholderImagePath = pathJoin(startDir, "RozedAdo.tif");
    if (!isFile(placeholderImagePath) && !programDir.empty())
        placeholderImagePath = pathJoin(programDir, "RozedAdo.tif");
}

std::string startParseFields(const std::vector<std::string>& fields)
{
    int* numbers[] = {&cmdAplKind, &cmdLayerMax, &cmdOpenMode};
    std::string texts[5];
    size_t i = 0;
    bool matched = true;
    for (; i < 3 && i < fields.size(); ++i) {
        int value = 0;
        std::string rest;
        const int got = strScan(fields[i], "%d%s", &value, &rest);
        if (got < 1) {
            matched = false;
            break;
        }
        *numbers[i] = value;
        if (got == 2) { // "12x": the number counts, the text after it is the first mismatch
            matched = false;
            break;
        }
    }
    if (matched)
        for (; i < 8 && i < fields.size(); ++i)
            texts[i - 3] = fields[i]; // each field whole, blanks and length included
    if (cmdLayerMax >= 10) {
        cmdLayerMax -= 10;
        cmdDirectPrint = 1;
    }
    if (cmdAplKind != akColouring) {
        cmdDataDir = texts[1];
        cmdBaseDir = texts[2];
        cmdSubDir = texts[3];
        cmdRasterName = texts[4];
    }
    return texts[0];
}

std::string startDataFolder() { return cmdDataDir.empty() ? homeFolder() : cmdDataDir; }

void startBuildLayerSet(bool standAlone, const std::string& defFolder)
{
    std::vector<RefLayer> refs;
    if (!standAlone)
        readDefinition(pathJoin(defFolder, aplGetName() + ".def"), refs);

    const std::string data = startDataFolder();
    layTblCreate(static_cast<int>(refs.size()) + 1);
    for (size_t j = 0; j < refs.size(); ++j) {
        TLay* lay = layTblGet(static_cast<int>(j) + 1);
        lay->id = refs[j].id;
        lay->name = refs[j].name;
        if (aplGetKind() == akQuorelR) {
            lay->layerDefPath = pathLayerDefFileName(data + "/", lay->name);
        } else {
            std::error_code ec; // a folder that cannot be made shows when its file is saved
            fs::create_directories(pathJoin(data, lay->name), ec);
            lay->layerDefPath = pathLayerDefPath(pathJoin(data, lay->name) + "/");
        }
    }

    // The figure layer keeps the data folder's path, so a save writes there even when the
    // list came from the start folder's file.
    TLay* figures = layTblGet(0);
    figures->id = 0;
    figures->name = "図形等";
    figures->layerDefPath = pathJoin(data, layerDefName);
    figures->layer->layerLoad(isFile(figures->layerDefPath) ? figures->layerDefPath
                                                            : pathJoin(startDir, layerDefName));

    const int count = layTblGetCount();
    qrvCreateTables(count - 1);
    for (int k = 1; k < count; ++k) {
        TLay* lay = layTblGet(k);
        qrvLoadTable(k - 1, pathJoin(data, lay->name + ".txt"));
        lay->layer->layerLoad(lay->layerDefPath);
    }
}
