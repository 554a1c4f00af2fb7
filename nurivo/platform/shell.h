// The shell's "open": hands a document to the program the desktop associates with its type.
//
// Failures keep the codes of the shell call they stand in for: 2 the file is missing, 3 its
// folder is missing, 31 no program opens it; success is any value above 32. Under the scripted
// ui backend nothing is started: the call is recorded as kind "open" with the path, and the
// answer is the existence result, or 31 when scripted so.
#pragma once
#include <string>

constexpr int shellFileNotFound = 2;
constexpr int shellPathNotFound = 3;
constexpr int shellNoAssociation = 31;
constexpr int shellOpened = 42;

// Opens the document and returns the code; reports nothing.
int shellExecuteOpen(const std::string& path);

// The operator's message for a failure code; empty for codes that are not reported (success).
std::string shellErrorText(int code);

// Opens the document and shows the message of a failure.
void shellOpenDocument(const std::string& path);

// Scripted backend only: from now on every open of an existing file answers 31 (on) or opens
// (off). NURIVO_SHELL_NO_PROGRAM=1 in the environment switches it on for a whole process.
void shellScriptNoProgram(bool on);
