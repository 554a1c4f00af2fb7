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
