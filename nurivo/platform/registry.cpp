#include "registry.h"

#include "textfile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QIODevice>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// QSettings has no key for "the unnamed value"; "." is the name it gives the registry's one.
const QString kDefaultValue = QStringLiteral(".");

QString valueKey(const std::string& name)
{
    return name.empty() ? kDefaultValue : QString::fromStdString(name);
}

#ifndef Q_OS_WIN
// The file keeps the registry's typed values in the manner of a .reg export, one per line:
//   "TextSize"=dword:0000001e      "DataDir"="/home/user/maps"      @=dword:ffffffff
// so that an integer reads back as an integer and a text as a text.

QString quoted(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        if (c == u'\\' || c == u'"')
            out += u'\\', out += c;
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out + u'"';
}

// Reads a quoted text at `pos`; false when the line has no well-formed one there.
bool unquote(const QString& line, qsizetype& pos, QString& text)
{
    if (pos >= line.size() || line[pos] != u'"')
        return false;
    text.clear();
    for (++pos; pos < line.size(); ++pos) {
        QChar c = line[pos];
        if (c == u'"') {
            ++pos;
            return true;
        }
        if (c == u'\\') {
            if (++pos >= line.size())
                return false;
            QChar e = line[pos];
            text += e == u'n' ? QChar(u'\n') : e == u'r' ? QChar(u'\r') : e;
        } else {
            text += c;
        }
    }
    return false;
}

bool parseLine(const QString& line, QString& key, QVariant& value)
{
    qsizetype pos = 0;
    if (line.startsWith(u'@')) {
        key = kDefaultValue;
        pos = 1;
    } else if (!unquote(line, pos, key) || key.isEmpty()) {
        return false;
    }
    if (pos >= line.size() || line[pos] != u'=')
        return false;
    QString rest = line.mid(pos + 1).trimmed();
    if (rest.startsWith(QStringLiteral("dword:"))) {
        QString digits = rest.mid(6);
        bool ok = false;
        uint v = digits.toUInt(&ok, 16);
        if (!ok || digits.isEmpty() || digits.size() > 8)
            return false;
        value = QVariant(static_cast<int>(v));
        return true;
    }
    qsizetype at = 0;
    QString text;
    if (!unquote(rest, at, text) || at != rest.size())
        return false;
    value = QVariant(text);
    return true;
}

// A damaged line is passed over rather than failing the whole key.
bool readRegFile(QIODevice& device, QSettings::SettingsMap& map)
{
    const QString content = QString::fromUtf8(device.readAll());
    for (QStringView raw : QStringView(content).split(u'\n')) {
        QString line = raw.trimmed().toString();
        QString key;
        QVariant value;
        if (!line.isEmpty() && line[0] != u';' && line[0] != u'[' && parseLine(line, key, value))
            map.insert(key, value);
    }
    return true;
}

bool writeRegFile(QIODevice& device, const QSettings::SettingsMap& map)
{
    QString out;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        out += it.key() == kDefaultValue ? QStringLiteral("@") : quoted(it.key());
        out += u'=';
        if (it.value().typeId() == QMetaType::Int)
            out += QStringLiteral("dword:%1")
                       .arg(static_cast<uint>(it.value().toInt()), 8, 16, QChar(u'0'));
        else
            out += quoted(it.value().toString());
        out += u'\n';
    }
    // A short write (a full disk) must fail the save, so the file that was there is kept.
    const QByteArray bytes = out.toUtf8();
    if (device.write(bytes) != bytes.size())
        return false;
    // The device buffers: flush here so that a write error is seen before the file is replaced.
    auto* file = qobject_cast<QFileDevice*>(&device);
    return !file || file->flush();
}

// $XDG_CONFIG_HOME, or ~/.config when it is unset or not absolute; read at every open so
// that the folder can change within one run (the tests rely on that).
QString configHome()
{
    QString home = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (home.isEmpty() || QDir::isRelativePath(home))
        home = QDir::homePath() + QStringLiteral("/.config");
    return home;
}

// "SOFTWARE\Tavisol\NV_Tool" becomes <config>/Tavisol/NV_Tool.conf.
QString keyFilePath(const std::string& keyPath)
{
    QString rel = QString::fromStdString(keyPath);
    rel.replace(u'\\', u'/');
    if (rel.startsWith(QStringLiteral("SOFTWARE/"), Qt::CaseInsensitive))
        rel = rel.mid(9);
    return configHome() + u'/' + rel + QStringLiteral(".conf");
}

// A lock on the key's folder for one read or one read-and-save of its file, so that two runs
// saving at once each take in what the other stored. It lives on the folder's descriptor,
// so nothing is left behind, and a run that ends lets go of it. A save takes milliseconds;
// a run stopped while it holds the lock must not hang the others, so after two seconds they
// go on without it, as they do where the folder cannot be locked (a file system without locks).
class FolderLock {
public:
    FolderLock(const QString& file, int operation)
        : fd_(::open(QFileInfo(file).absolutePath().toStdString().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        for (int waited = 0; fd_ >= 0 && ::flock(fd_, operation | LOCK_NB) != 0; ) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= kWaitMs)
                break;
            ::usleep(kStepMs * 1000);
            waited += kStepMs;
        }
    }
    ~FolderLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    static constexpr int kWaitMs = 2000;
    static constexpr int kStepMs = 10;
    int fd_;
};
#endif

QString statusText(QSettings::Status status)
{
    switch (status) {
    case QSettings::NoError:
        return {};
    case QSettings::AccessError:
        return QStringLiteral("書き込みできません（読み取り専用か、ディスクの空きがありません）");
    case QSettings::FormatError:
        return QStringLiteral("形式が正しくありません");
    }
    return {};
}

// A stored value as the type asked for: a value of another type reads as none.
std::optional<int32_t> intValue(const QVariant& v)
{
    if (v.typeId() != QMetaType::Int)
        return std::nullopt;
    return v.toInt();
}

std::optional<std::string> textValue(const QVariant& v)
{
    if (v.typeId() != QMetaType::QString)
        return std::nullopt;
    return v.toString().toStdString();
}

#ifdef Q_OS_WIN
// The native registry key, through QSettings.
class SettingsKey final : public RegistryKey {
public:
    bool openKey(const std::string& keyPath, bool) override
    {
        location_ = QStringLiteral("HKEY_LOCAL_MACHINE\\") + QString::fromStdString(keyPath);
        settings_ = std::make_unique<QSettings>(location_, QSettings::NativeFormat);
        if (settings_->status() != QSettings::NoError) {
            error_ = statusText(settings_->status());
            settings_.reset();
            return false;
        }
        return true;
    }
    std::optional<int32_t> readInt(const std::string& name) override { return intValue(value(name)); }

    std::optional<std::string> readText(const std::string& name) override { return textValue(value(name)); }

    void writeInt(const std::string& name, int32_t value) override
    {
        if (settings_)
            settings_->setValue(valueKey(name), QVariant(static_cast<int>(value)));
    }

    void writeText(const std::string& name, const std::string& value) override
    {
        if (settings_)
            settings_->setValue(valueKey(name), QVariant(QString::fromStdString(value)));
    }

    bool commit() override
    {
        if (!settings_)
            return false;
        settings_->sync();
        if (settings_->status() != QSettings::NoError) {
            error_ = statusText(settings_->status());
            return false;
        }
        return true;
    }

    std::string location() const override { return location_.toStdString(); }
    std::string errorText() const override { return error_.toStdString(); }

private:
    QVariant value(const std::string& name) const
    {
        return settings_ ? settings_->value(valueKey(name)) : QVariant();
    }

    std::unique_ptr<QSettings> settings_;
    QString location_;
    QString error_;
};

#else
// The key's file, read and written through the system's own text files rather than by
// QSettings: QSettings replaces the file by renaming a new one over it, which breaks its hard
// links and gives it the saving user's group, and it reads a FIFO without end. Our saver keeps
// the old file byte for byte on failure, its owner, group, mode and links, and reads only
// regular files.
class FileKey final : public RegistryKey {
public:
    bool openKey(const std::string& keyPath, bool create) override
    {
        location_ = keyFilePath(keyPath);
        values_.clear();
        changes_.clear();
        open_ = false;
        FolderLock lock(location_, LOCK_SH);
        struct stat st {};
        bool exists = ::stat(location_.toStdString().c_str(), &st) == 0;
        // readFile takes only a regular file.
        if (exists ? !readFile(values_) : !create) {
            error_ = QStringLiteral("開けません");
            return false;
        }
        open_ = true;
        return true;
    }

    std::optional<int32_t> readInt(const std::string& name) override { return intValue(value(name)); }

    std::optional<std::string> readText(const std::string& name) override { return textValue(value(name)); }

    void writeInt(const std::string& name, int32_t value) override
    {
        if (open_)
            changes_.insert(valueKey(name), QVariant(static_cast<int>(value)));
    }

    void writeText(const std::string& name, const std::string& value) override
    {
        if (open_)
            changes_.insert(valueKey(name), QVariant(QString::fromStdString(value)));
    }

    bool commit() override
    {
        if (!open_)
            return false;
        // What another run stored meanwhile stays, as the registry keeps it; our changes go over it.
        const std::string path = location_.toStdString();
        QDir().mkpath(QFileInfo(location_).absolutePath());
        FolderLock lock(location_, LOCK_EX);
        QSettings::SettingsMap map;
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && !readFile(map)) {
            error_ = statusText(QSettings::AccessError);
            return false;
        }
        for (auto it = changes_.cbegin(); it != changes_.cend(); ++it)
            map.insert(it.key(), it.value());
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        writeRegFile(buffer, map);
        TextWriter out;
        if (!out.open(path)) {
            error_ = statusText(QSettings::AccessError);
            return false;
        }
        out.writeRaw(std::string_view(buffer.data().constData(), static_cast<size_t>(buffer.data().size())));
        if (!out.close()) {
            error_ = statusText(QSettings::AccessError);
            if (out.restoreFailed())
                error_ += QStringLiteral("\n保存前の内容に戻せませんでした");
            return false;
        }
        values_ = map;
        changes_.clear();
        return true;
    }

    std::string location() const override { return location_.toStdString(); }
    std::string errorText() const override { return error_.toStdString(); }

private:
    bool readFile(QSettings::SettingsMap& map) const
    {
        int fd = openRegularFile(location_.toStdString());
        if (fd < 0)
            return false;
        QFile file;
        bool ok = file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
        if (!ok)
            ::close(fd);
        return ok && readRegFile(file, map);
    }

    QVariant value(const std::string& name) const
    {
        const QString key = valueKey(name);
        auto changed = changes_.constFind(key);
        if (changed != changes_.cend())
            return *changed;
        return values_.value(key);
    }

    QString location_;
    QString error_;
    QSettings::SettingsMap values_;
    QSettings::SettingsMap changes_;
    bool open_ = false;
};
#endif

} // namespace

std::unique_ptr<RegistryKey> registryCreateKey()
{
#ifdef Q_OS_WIN
    return std::make_unique<SettingsKey>();
#else
    return std::make_unique<FileKey>();
#endif
}
