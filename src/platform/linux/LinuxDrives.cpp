#include "../Drives.h"
#include "../PlatformFactory.h"

#include <QDir>
#include <QStorageInfo>

namespace {

// The root, the home folder and mounted media, each shown as its path followed by its volume name
// where it has one.
class LinuxDrives final : public Drives {
public:
    QList<Drive> list() const override
    {
        QStringList roots{QStringLiteral("/")};
        const QString home = QDir::homePath();
        if (!roots.contains(home))
            roots << home;
        for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
            const QString root = v.rootPath();
            if (root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/mnt/")) ||
                root.startsWith(QLatin1String("/run/media/")))
                if (!roots.contains(root))
                    roots << root;
        }
        QList<Drive> drives;
        for (const QString& root : std::as_const(roots)) {
            const QStorageInfo v(root);
            QString text = root;
            if (v.isValid() && !v.name().isEmpty() && v.rootPath() == root)
                text += QStringLiteral(" [%1]").arg(v.name());
            drives.append({root, text});
        }
        return drives;
    }

    bool holds(const QString& root, const QString& path) const override
    {
        return path == root || root == QLatin1String("/") ||
               path.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
    }
};

} // namespace

std::unique_ptr<Drives> createDrives()
{
    return std::make_unique<LinuxDrives>();
}
