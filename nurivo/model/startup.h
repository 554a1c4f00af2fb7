// Start-up values: the start folder, the placeholder image, the command-line fields and the
// application kind. Set once while the program starts and read by every form afterwards; no
// forms here, so the model, the print form and the dialogs can all link it.
#pragma once
#include <string>
#include <vector>

extern std::string cmdLine;              // the arguments joined by blanks; empty without any
extern std::vector<std::string> cmdArgs; // the arguments themselves: the command-line fields
extern std::string startDir;             // the current folder at start-up, as a full path
extern std::string programDir;           // the folder of the running executable
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

// The figure layer plus at most this many reference layers fit in a drawing.
constexpr int startMaxRefLayers = 4;

// Puts every start-up value back to its value before start-up (kind -1 included).
void startReset();

// Sets startDir to the current folder, programDir, and placeholderImagePath to the start
// folder's "RozedAdo.tif" when there is one, else the one beside the executable.
void startSetFolders(const std::string& executableDir);

// Parses the fields "%d %d %d %s %s %s %s %s" into the start-up values, stopping at the first
// mismatch (a field that is no number, or the text right after a number, as in "12x"); a
// layer maximum of 10 or more asks for printing. Texts 5 to 8 are taken only when the kind is
// not 1; missing texts stay empty. Returns the definition folder (field 4).
std::string startParseFields(const std::vector<std::string>& fields);

// The data folder in use: cmdDataDir, or the home folder when it is empty.
std::string startDataFolder();

// Builds the layer set: the reference layers of the application definition file in
// `defFolder` (command-line road only), the figure layer, the reference tables and every
// layer's attribute list.
void startBuildLayerSet(bool standAlone, const std::string& defFolder);
