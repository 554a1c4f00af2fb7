#include "paths.h"

#include <filesystem>
#include <system_error>

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

std::string pathRealLocation(const std::string& path)
{
    namespace fs = std::filesystem;
    if (path.empty())
        return {};
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    if (ec)
        return {};
    // Enough hops for any chain of links that the system itself would follow.
    for (int hops = 0; hops < 40; ++hops) {
        const fs::file_status st = fs::symlink_status(p, ec);
        if (fs::is_symlink(st)) {
            fs::path real = fs::canonical(p, ec);
            if (!ec)
                return real.string();
            // Dangling: a save through the link makes its target, so that is where it leads.
            fs::path to = fs::read_symlink(p, ec);
            if (ec)
                return {};
            p = to.is_absolute() ? to : p.parent_path() / to;
            continue;
        }
        fs::path real = fs::exists(st) ? fs::canonical(p, ec) : fs::weakly_canonical(p, ec);
        return ec ? std::string() : real.string();
    }
    return {};
}

bool pathSameFile(const std::string& a, const std::string& b)
{
    const std::string ra = pathRealLocation(a);
    if (!ra.empty() && ra == pathRealLocation(b))
        return true;
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}
