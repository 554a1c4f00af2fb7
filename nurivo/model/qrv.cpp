#include "model/qrv.h"

#include "platform/codec.h"
#include "platform/message.h"
#include "platform/strscan.h"
#include "platform/textfile.h"

#include <algorithm>

namespace {

std::vector<TQRV_DataTbl> tables;

constexpr int kDefaultKindColumn = 11;

bool validTable(int t) { return t >= 0 && t < static_cast<int>(tables.size()); }
bool validColumn(int c) { return c >= 0 && c < qrvMaxColumns; }

// Lines are split as CP932 bytes (a TAB or a quote is never part of a double-byte
// character), so a column's width is its length in the file.
int byteWidth(std::string_view field) { return static_cast<int>(field.size()); }

std::string_view fieldAt(const std::vector<std::string_view>& fields, int i)
{
    return i >= 0 && i < static_cast<int>(fields.size()) ? fields[i] : std::string_view();
}

void readHeader(TextReader& in, TQRV_DataTbl& tbl, int& kindColumn)
{
    tbl.colCount = 0;
    tbl.colName.fill(std::string());
    tbl.colType.fill(0);
    tbl.colWidth.fill(0);
    kindColumn = kDefaultKindColumn;

    std::string line;
    std::vector<std::string_view> fields;
    if (!in.readRawLine(line))
        return;
    qrvSplitLine(line, fields);
    for (std::string_view f : fields) {
        int type = strToLong(f);
        if (type == 0)
            break;
        tbl.colType[tbl.colCount++] = type;
    }

    if (!in.readRawLine(line))
        return;
    qrvSplitLine(line, fields);
    for (int c = 0; c < tbl.colCount; ++c) {
        std::string_view f = fieldAt(fields, c);
        tbl.colName[c] = cp932ToUtf8(f);
        tbl.colWidth[c] = byteWidth(f);
        if (tbl.colName[c] == "種別")
            kindColumn = c;
    }
}

// A record line is one whose integer value (that of its first field) is not 0.
bool isRecordLine(std::string_view line) { return strToLong(line) != 0; }

} // namespace

int qrvSplitLine(std::string_view line, std::vector<std::string_view>& fields)
{
    fields.clear();
    size_t start = 0;
    size_t end = std::string_view::npos; // where the current field was cut short, if it was
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\t') {
            if (fields.size() < static_cast<size_t>(qrvMaxColumns))
                fields.push_back(line.substr(start, std::min(end, i) - start));
            if (i + 1 < line.size() && line[i + 1] == '"')
                ++i;
            start = i + 1;
            end = std::string_view::npos;
        } else if ((c == '"' || c == '\n') && end == std::string_view::npos) {
            end = i;
        }
    }
    if (fields.size() < static_cast<size_t>(qrvMaxColumns))
        fields.push_back(line.substr(start, std::min(end, line.size()) - start));
    return static_cast<int>(fields.size());
}

int qrvCreateTables(int n)
{
    tables.assign(static_cast<size_t>(std::max(n, 0)), TQRV_DataTbl());
    return n;
}

int qrvLoadTable(int t, const std::string& path)
{
    if (!validTable(t))
        return 0;
    TextReader in;
    if (!in.open(path)) {
        showMessage("Can't Open " + path);
        return 0;
    }
    TQRV_DataTbl& tbl = tables[t];
    int kindColumn = kDefaultKindColumn;
    readHeader(in, tbl, kindColumn);

    std::string line;
    int count = 0;
    while (in.readRawLine(line) && isRecordLine(line))
        ++count;

    // Second pass. The records are built aside, so that a file that vanished or shrank
    // in between cannot leave the table claiming records it does not hold.
    std::vector<TQRV_Data> recs;
    if (in.open(path) && in.readRawLine(line) && in.readRawLine(line)) {
        recs.reserve(static_cast<size_t>(count));
        std::vector<std::string_view> fields;
        while (static_cast<int>(recs.size()) < count && in.readRawLine(line) && isRecordLine(line)) {
            qrvSplitLine(line, fields);
            TQRV_Data rec;
            rec.id = strToLong(fieldAt(fields, 0));
            rec.field.resize(static_cast<size_t>(tbl.colCount));
            for (int c = 0; c < tbl.colCount; ++c) {
                std::string_view f = fieldAt(fields, c);
                rec.field[c] = cp932ToUtf8(f);
                tbl.colWidth[c] = std::max(tbl.colWidth[c], byteWidth(f));
            }
            rec.kind = strToLong(fieldAt(fields, kindColumn));
            recs.push_back(std::move(rec));
        }
    }
    tbl.recs = std::move(recs);
    tbl.recCount = static_cast<int>(tbl.recs.size());
    return tbl.recCount;
}

int qrvGetTableCount() { return static_cast<int>(tables.size()); }

int qrvGetRecordCount(int t) { return validTable(t) ? tables[t].recCount : 0; }

int qrvGetColumnCount(int t) { return validTable(t) ? tables[t].colCount : 0; }

int qrvGetColumnWidth(int t, int c)
{
    return validTable(t) && validColumn(c) ? tables[t].colWidth[c] : 0;
}

int qrvGetColumnType(int t, int c)
{
    return validTable(t) && validColumn(c) ? tables[t].colType[c] : 0;
}

std::string qrvGetColumnName(int t, int c)
{
    return validTable(t) && validColumn(c) ? tables[t].colName[c] : std::string();
}

int qrvFindRecord(int t, int id)
{
    if (!validTable(t))
        return -1;
    const auto& recs = tables[t].recs;
    for (size_t r = 0; r < recs.size(); ++r)
        if (recs[r].id == id)
            return static_cast<int>(r);
    return -1;
}

int qrvFindRecordNamed(int t, std::string_view number)
{
    int32_t id = 0;
    return strToLongFits(number, id) ? qrvFindRecord(t, id) : -1;
}

const TQRV_Data* qrvGetRecord(int t, int r)
{
    if (!validTable(t) || r < 0 || r >= tables[t].recCount)
        return nullptr;
    return &tables[t].recs[r];
}
