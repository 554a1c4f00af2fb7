// Reference tables: the records of an outside register, one tab-separated CP932 text file per
// reference layer, read once at start-up and never written. Table t belongs to layer t + 1.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

constexpr int qrvMaxColumns = 40;

struct TQRV_Data {
    int id = 0;                      // the reference number: integer value of field 0
    std::vector<std::string> field;  // colCount texts; a line short of fields gives empty ones
    int kind = 0;                    // integer value of the kind column
};

struct TQRV_DataTbl {
    int recCount = 0;
    int colCount = 0;
    std::array<std::string, qrvMaxColumns> colName;
    std::array<int, qrvMaxColumns> colType{};
    std::array<int, qrvMaxColumns> colWidth{}; // longest text of the column in CP932 bytes
    std::vector<TQRV_Data> recs;
};

// Splits a line at its TABs; a quote right after a TAB is passed over, and a quote or a
// newline ends a field where it stands. At most 40 fields are kept; the result is their count.
int qrvSplitLine(std::string_view line, std::vector<std::string_view>& fields);

// Makes n empty tables (none when n <= 0), replacing any there were; result n.
int qrvCreateTables(int n);
// Reads the file into table t; the records read, or 0 ("Can't Open " + path shown, the table
// unchanged) when it cannot be opened.
int qrvLoadTable(int t, const std::string& path);

// Indexes outside the tables read as 0, "" or no record.
int qrvGetTableCount();
int qrvGetRecordCount(int t);
int qrvGetColumnCount(int t);
int qrvGetColumnWidth(int t, int c);
int qrvGetColumnType(int t, int c);
std::string qrvGetColumnName(int t, int c);
// Index of the first record with that id, -1 when none.
int qrvFindRecord(int t, int id);
// Index of the first record whose id the decimal text names (a figure's name, a typed number);
// -1 when none, also for a number beyond 32 bits, which wrapped would name another record.
int qrvFindRecordNamed(int t, std::string_view number);
const TQRV_Data* qrvGetRecord(int t, int r);
