// A key of the settings store: named integer and text values plus the key's unnamed default
// value, as the Windows registry keeps them. The model sees only this interface; the program
// hands it the backend of registry.cpp (an INI-style file under the user's configuration
// folder on Linux, the native registry on Windows).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class RegistryKey {
public:
    virtual ~RegistryKey() = default;

    // Opens a key below HKEY_LOCAL_MACHINE, such as "SOFTWARE\\Tavisol\\NV_Tool"; with `create`
    // a missing key is made. False when it can be neither opened nor made.
    virtual bool openKey(const std::string& keyPath, bool create) = 0;

    // Values by name; the empty name is the key's unnamed default value. A value that is
    // missing, or of the other type, reads as nullopt.
    virtual std::optional<int32_t> readInt(const std::string& name) = 0;
    virtual std::optional<std::string> readText(const std::string& name) = 0;

    // Writes are kept until commit(), so that a failed save leaves the stored key as it was.
    virtual void writeInt(const std::string& name, int32_t value) = 0;
    virtual void writeText(const std::string& name, const std::string& value) = 0;

    // Stores what was written. False when it could not be stored; errorText() then says why.
    virtual bool commit() = 0;

    // Where the key lives (a file path or a registry path), for messages.
    virtual std::string location() const = 0;
    virtual std::string errorText() const = 0;
};

// Makes a fresh, unopened accessor; each load or save of the settings uses its own.
using RegistryKeyFactory = std::function<std::unique_ptr<RegistryKey>()>;

// The program's backend. Linux: the key "SOFTWARE\\Tavisol\\NV_Tool" is the file
// Tavisol/NV_Tool.conf under $XDG_CONFIG_HOME (default ~/.config), looked up at each open, read
// and saved as the system's text files are (a failed save keeps the file; only a regular file
// is read); Windows: the native key through QSettings.
// Defined in the nurivo_platform_registry library.
std::unique_ptr<RegistryKey> registryCreateKey();
