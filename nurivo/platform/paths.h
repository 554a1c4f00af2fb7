// Names of a raster's companion files and of layer definition files. "/" separates folders.
#pragma once
#include <string>

// The path with its extension replaced by `ext` (a "." is put in front unless `ext` has one).
// The extension is the part of the file name from its last "."; dots in folder names do not
// count. A name without an extension gains one.
std::string pathChangeExt(const std::string& path, const std::string& ext);

// `folder` followed by "LayerDef.Txt", or by "LayerDef-" + name + ".Txt" for a non-empty name.
// The folder must end in "/"; nothing is inserted.
std::string pathLayerDefFileName(const std::string& folder, const std::string& name);

// "LayerDef.Txt" in the folder of `path`; a path ending in "/" names a folder.
std::string pathLayerDefPath(const std::string& path);

// Joins a folder and a name with one "/".
std::string pathJoin(const std::string& folder, const std::string& name);

// Where a path really leads, as an absolute path without ".", ".." or doubled "/": the
// canonical path of an existing file (links followed to it); for a file not yet there, the
// canonical folder followed by the name, so that two spellings of one file still agree; a
// dangling link is followed to the file that a save through it would create. Empty when the
// path leads nowhere (a loop of links, an empty path).
std::string pathRealLocation(const std::string& path);

// True when writing one path would write the other: the same real location, or one file
// under two names (hard links, the same device and inode).
bool pathSameFile(const std::string& a, const std::string& b);
