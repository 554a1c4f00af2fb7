// The attribute list of one layer (TLayer of TLayerRec rows) and its layer definition file;
// the files that a drawing's layers save, and the check that none of them is the raster or
// another's file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Colour value 0x00BBGGRR.
using TColor = std::int32_t;

// One drawing kind of a layer. The defaults are those of a new row.
struct TLayerRec {
    int code = 0; // unique within the list; the list is kept sorted by it
    std::string name;
    TColor color = 0;
    int lineCode = 1;   // style * 100 + width; width 1..5, style 0..4 (実線 破線 点線 一点鎖線 二点鎖線)
    int spareValue = 1; // kept in the file, not interpreted
    int legendMode = 1; // 0 表示する, 1 表示しない
};

class TLayer {
public:
    TLayer();

    int capacity = 0; // allocated slots (rows.size())
    int count = 0;    // rows in use
    int current = 0;  // the row selected for editing
    std::vector<TLayerRec> rows;

    // The six default rows into slots 0 to 5; count unchanged.
    void layerSetDefaults();
    // Reads a layer definition file; result count, 0 when the file cannot be read (count then
    // stays, slots 0 to 5 hold the defaults).
    int layerLoad(const std::string& path);
    // Writes the file; result count, 0 (with "ERR OPEN " + path shown) when it cannot be written.
    int layerSave(const std::string& path) const;
    int layerGetCount() const { return count; }
    void layerSetCurrent(int index) { current = index; }
    int layerGetCurrent() const { return current; }
    // Exchange sort by code.
    void layerSortById();
    // Index of the first row with the code; 0 when none has it.
    int layerIndexOfId(int code) const;
    // 1 when a row has rec's code: any row when checkAll is non-zero, else any but skipIndex.
    int layerHasId(int checkAll, int skipIndex, const TLayerRec& rec) const;
    // Appends and sorts; result layerIndexOfId of its code.
    int layerAdd(const TLayerRec& rec);
    // Overwrites row index and sorts; result the index passed.
    int layerSet(int index, const TLayerRec& rec);
    // A copy of row index; a negative index (or one beyond the slots) reads row 0.
    TLayerRec layerGet(int index) const;
    TLayerRec* layerGetPtr(int index);
    const TLayerRec* layerGetPtr(int index) const;
    // Removes row index (rows after it move down); result the index. Outside the rows in use
    // nothing changes.
    int layerRemove(int index);

private:
    void sortAppended();
    void placeLoadedRows(std::vector<TLayerRec> loaded);
};

// The files that saving a drawing writes.
enum class TCompanionKind { Figures, LayerDef, ImageDef };

struct TCompanion {
    TCompanionKind kind = TCompanionKind::Figures;
    std::string layerName; // the layer the file belongs to; none for the image definition
    std::string path;
    int layer = -1;        // its index in the layer set; -1 for the image definition
};

// A file that must not be written, and the message that says why.
struct TCompanionClash {
    size_t index = 0; // into the list checked
    std::string message;
};

// Every file of the list that is the raster itself, or the same file as one before it in the
// list, compared by where they really lead (pathSameFile): writing it would overwrite the
// image or another layer's work. In list order; none when every file may be written.
std::vector<TCompanionClash> layerCompanionClashes(const std::string& rasterPath,
                                                   const std::vector<TCompanion>& files);

// What a save of a drawing writes, in the order it writes them: for each layer i of the layer
// set its figure file zkiPaths[i] and its layer definition file, then the raster's Def file.
std::vector<TCompanion> layerDrawingCompanions(const std::string& rasterPath,
                                               const std::vector<std::string>& zkiPaths);

// The messages of the clashes, one line each.
std::string layerClashText(const std::vector<TCompanionClash>& clashes);
