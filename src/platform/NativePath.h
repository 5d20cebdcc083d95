#pragma once

#include <QString>

#include <filesystem>

// A path for std::filesystem that keeps every character of the name, accents included, on every
// system (UTF-16 where the system's own calls are UTF-16, UTF-8 elsewhere).
inline std::filesystem::path nativePath(const QString& path)
{
    return std::filesystem::path(path.toStdU16String());
}
