#pragma once
// The record of one notice of the popup near the notification area.
#include <string>

enum NoticeType : int { NOTICE_MESSAGE = 0, NOTICE_UPGRADE = 1 };

struct CNotice {
    int type = NOTICE_MESSAGE;
    std::wstring text;
    std::wstring link; // may be empty
};
