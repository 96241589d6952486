#include "release/download_messages.h"

CDownloadMessages RegisterDownloadMessages() {
    return {
        RegisterWindowMessageW(L"TAVONIC_WM_DOWNFILE_CHECKTIME"),
        RegisterWindowMessageW(L"TAVONIC_WM_DOWNFILE_DOWNFINISHED"),
        RegisterWindowMessageW(L"TAVONIC_WM_DOWNFILE_PROXYVALIDATE"),
        RegisterWindowMessageW(L"TAVONIC_WM_DOWNFILE_ERROR"),
        RegisterWindowMessageW(L"TAVONIC_WM_DOWNFILE_STARTDOWNLOAD"),
        RegisterWindowMessageW(L"TAVONIC_WM_DOWNFILE_PROGRESS"),
    };
}

const CDownloadMessages& DownloadMessages() {
    static const CDownloadMessages messages = RegisterDownloadMessages();
    return messages;
}
