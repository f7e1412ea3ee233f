#include "device/DownloadTexts.h"

namespace orx {

const char* downloadFailureText(DownloadFailure failure)
{
    switch (failure) {
    case DownloadFailure::None:
    case DownloadFailure::Cancelled:
        return "";
    case DownloadFailure::NotFound:
        return kTextNotFound;
    case DownloadFailure::WrongDevice:
        return kTextWrongDevice;
    case DownloadFailure::BadPair:
        return "Ошибка в данных прибора: недопустимая пара символов";
    case DownloadFailure::NoStart:
        return "Ошибка в данных прибора: нет начала архива перед его концом";
    case DownloadFailure::OddLength:
        return "Ошибка в данных прибора: нечетное число символов в архиве";
    case DownloadFailure::Overflow:
        return "Ошибка в данных прибора: архив длиннее 262144 символов";
    case DownloadFailure::DeviceLost:
        return "Связь с прибором потеряна: порт закрыт или отключен";
    }
    return "";
}

const char* downloadStatusText(DownloadStatus status)
{
    return status == DownloadStatus::Receiving ? kTextReceiving : kTextWaiting;
}

} // namespace orx
