// Start-up values: the start folder, the placeholder image, the command-line fields and the
// application kind. Set once while the program starts and read by every form afterwards; no
// forms here, so the model, the print form and the dialogs can all link it.
#pragma once
#include <string>

extern std::string cmdLine;              // the arguments joined by blanks; empty without any
extern std::string startDir;             // the current folder at start-up, as a full path
extern std::string placeholderImagePath; // "RozedAdo.tif" in the start folder, else beside nurivo

extern int cmdAplKind;     // 1
extern int cmdLayerMax;    // 0
extern int cmdOpenMode;    // 0
extern int cmdDirectPrint; // 0
extern std::string cmdDataDir;
extern std::string cmdBaseDir;
extern std::string cmdSubDir;
extern std::string cmdRasterName;
extern int firstActivation; // 1

std::string startGetDir();

// Application kinds.
constexpr int akColouring = 1;
constexpr int akQuorelR2 = 2;
constexpr int akQuorelR3 = 3;
constexpr int akQuorelLight = 4;
constexpr int akQuorelR = 5;
constexpr int akKind12 = 12;
constexpr int akPictova = 101;

void aplSetKind(int kind);
int aplGetKind();           // -1 until start-up has set it
std::string aplGetName();   // the kind's name; "Quorel 未定義アプリ？" for every unlisted code
bool aplIsKnownKind(int kind);
