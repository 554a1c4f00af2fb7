#include "paths.h"

namespace {
size_t fileNameStart(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? 0 : slash + 1;
}
} // namespace

std::string pathChangeExt(const std::string& path, const std::string& ext)
{
    size_t nameStart = fileNameStart(path);
    size_t dot = path.find_last_of('.');
    std::string stem = (dot != std::string::npos && dot >= nameStart) ? path.substr(0, dot) : path;
    if (ext.empty())
        return stem;
    return ext[0] == '.' ? stem + ext : stem + "." + ext;
}

std::string pathLayerDefFileName(const std::string& folder, const std::string& name)
{
    return name.empty() ? folder + "LayerDef.Txt" : folder + "LayerDef-" + name + ".Txt";
}

std::string pathLayerDefPath(const std::string& path)
{
    return path.substr(0, fileNameStart(path)) + "LayerDef.Txt";
}

std::string pathJoin(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}
