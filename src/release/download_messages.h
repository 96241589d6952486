#pragma once
#include <windows.h>

#include <string>

// The six registered messages a download worker sends its window, all with
// SendMessage, wParam pointing at a record valid during the call only.
struct CDownloadMessages {
    UINT checkTime;
    UINT downFinished;
    UINT proxyValidate;
    UINT error;
    UINT startDownload;
    UINT progress;
};

// Registers the names (the system hands back the same numbers every time).
CDownloadMessages RegisterDownloadMessages();
// The numbers, registered once per process.
const CDownloadMessages& DownloadMessages();

// wParam of checkTime; the window answers non-zero to have the file downloaded.
struct CDownloadCheckTime {
    const std::wstring* url;
    const std::wstring* time;
};

// wParam of downFinished: the file and 8 zero bytes behind it, freed after the call.
struct CDownloadFinished {
    const std::wstring* url;
    const BYTE* data;
    DWORD size;
};

// wParam of proxyValidate: the window fills in the proxy credentials.
struct CDownloadProxyValidate {
    const std::wstring* url;
    std::wstring* user;
    std::wstring* password;
};

// wParam of progress; total is 0 while the length is unknown.
struct CDownloadProgress {
    const std::wstring* url;
    DWORD done;
    DWORD total;
};

// wParam of error and startDownload is the URL itself (const std::wstring*).
