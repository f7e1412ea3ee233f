#pragma once

// The operator's texts of the download, shown as they stand.

#include "device/DownloadEngine.h"

namespace orx {

inline constexpr const char* kTextDownloadCaption = "Прием данных";
inline constexpr const char* kTextWaiting = "Ожидание готовности прибора ...";
inline constexpr const char* kTextReceiving = "Идет прием информации ...";
inline constexpr const char* kTextNotFound =
    "Прибор не обнаружен! Проверте правильность подключения согласно инструкции!";
inline constexpr const char* kTextWrongDevice = "Вы подключили не тот прибор !";
inline constexpr const char* kTextErrorCaption = "Ошибка";

// The message for a failed exchange; empty for a cancel by the operator.
const char* downloadFailureText(DownloadFailure failure);
const char* downloadStatusText(DownloadStatus status);

} // namespace orx
