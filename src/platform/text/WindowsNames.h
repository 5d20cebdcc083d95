#pragma once

#include <QString>

// What Windows cannot hold as a file name as it is. A release is installed on every station, so
// these names are refused on every system alike: the outcome of a run must not depend on where
// it runs.
namespace WindowsNames {

// Empty when Windows keeps `name` as it is. Otherwise why not, in French, to follow
// "Nom « … » refusé : ": a device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, in any case,
// alone or before an extension), a trailing dot or blank (Windows drops them, so the file would
// be another one), or one of < > : " | ? *. Separators and control characters are not looked at.
QString problem(const QString& name);

// The form under which Windows takes two names for the same file.
QString folded(const QString& name);

} // namespace WindowsNames
