#pragma once

// Operator-facing texts of the archive document, shown as they stand.

namespace orx {

inline constexpr const char* kTextDatabaseDamaged = "База данных повреждена !";
inline constexpr const char* kTextArchiveEmpty = "Архив прибора пуст!";

} // namespace orx
