#include "../Drives.h"
#include "../PlatformFactory.h"

#include <windows.h>

#include <winnetwk.h>

#include <array>

namespace {

// The drive letters in the system's order, each shown as the letter in lower case and a colon,
// followed by the volume name in brackets (the share for a network drive). A removable drive is not
// asked for its name: that would spin up or wait on its media.
class WindowsDrives final : public Drives {
public:
    QList<Drive> list() const override
    {
        // An empty reader must not raise the system's "insert a disk" box.
        const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        std::array<wchar_t, 4 * 26 + 2> buffer{};
        const DWORD length = GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
        QList<Drive> drives;
        for (const wchar_t* p = buffer.data(); length > 0 && length < buffer.size() && *p; p += wcslen(p) + 1) {
            const QString root = QString::fromWCharArray(p);
            if (root.size() < 2 || root.at(1) != QLatin1Char(':'))
                continue;
            const QString letter = root.left(2);
            QString text = letter.toLower();
            const QString name = volumeName(root, letter);
            if (!name.isEmpty())
                text += QStringLiteral(" [%1]").arg(name);
            drives.append({letter.toUpper() + QLatin1Char('/'), text});
        }
        SetErrorMode(previousMode);
        return drives;
    }

    bool holds(const QString& root, const QString& path) const override
    {
        return path.startsWith(root, Qt::CaseInsensitive) ||
               path.compare(root.chopped(1), Qt::CaseInsensitive) == 0; // "C:" alone
    }

private:
    static QString volumeName(const QString& root, const QString& letter)
    {
        const std::wstring wroot = root.toStdWString();
        switch (GetDriveTypeW(wroot.c_str())) {
        case DRIVE_REMOVABLE:
            return {};
        case DRIVE_REMOTE: {
            std::array<wchar_t, MAX_PATH + 1> remote{};
            DWORD size = static_cast<DWORD>(remote.size());
            if (WNetGetConnectionW(letter.toStdWString().c_str(), remote.data(), &size) == NO_ERROR)
                return QString::fromWCharArray(remote.data());
            return {};
        }
        default: {
            std::array<wchar_t, MAX_PATH + 1> label{};
            if (GetVolumeInformationW(wroot.c_str(), label.data(), static_cast<DWORD>(label.size()), nullptr, nullptr,
                                      nullptr, nullptr, 0))
                return QString::fromWCharArray(label.data());
            return {};
        }
        }
    }
};

} // namespace

std::unique_ptr<Drives> createDrives()
{
    return std::make_unique<WindowsDrives>();
}
