#pragma once

#include <QString>

// Values compared with `like` are the operator's or a file's text, not patterns: "%", "_" and the
// escape character itself are escaped so that they match only themselves. Statements that use
// them write the comparison as `column like ? escape '\'` (the same clause on SQLite and
// PostgreSQL); letter case is then matched as each database matches it.
namespace LikePattern {

// The clause that follows a `like ?` whose value went through literal().
inline constexpr const char* EscapeClause = " escape '\\'";

// `value` with "\", "%" and "_" preceded by "\".
QString literal(const QString& value);

} // namespace LikePattern
