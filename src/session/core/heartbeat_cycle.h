#pragma once
// One heartbeat cycle: the connection check, the heartbeat command and what
// its reply asks for (messages to the page, notice, blink, sounds, forced
// sign-out, silent sign-in). The worker thread runs it; a host does the rest.
#include "model/notice.h"
#include "model/user_session.h"
#include "protocol/command_strings.h"
#include "protocol/reply_fields.h"
#include "session/core/heartbeat_rules.h"
#include "settings/sms_setting.h"

#include <array>
#include <string>

inline constexpr wchar_t kDroppedNotice[] = L"您已经掉线，正在重新登录！";
// "%d" is the count of new messages.
std::wstring NewMessagesNotice(int count);

// The settings the worker reads while the user-interface thread may change
// them (the settings plug-in edits CSMSSetting in place on that thread).
struct CWorkerSettingValues {
    std::wstring appServer;
    bool isOpen = false;
    std::array<std::wstring, kSoundCount> soundPaths;

    static CWorkerSettingValues From(const CSMSSetting& settings);
};

// The worker's copy of those settings: the main window sets it at session
// start and after the plug-in returns (user-interface thread); the worker
// takes whole copies (worker thread).
using CWorkerSettings = locked_value<CWorkerSettingValues>;

using CPageArguments = std::array<std::wstring, kMessageFields>;

// What a cycle asks of the program around it. Every call comes from the
// worker's thread.
class CHeartbeatHost {
public:
    virtual ~CHeartbeatHost() = default;

    // The user's exit has begun: its logout may already be on its way.
    virtual bool StopRequested() = 0;
    virtual bool Connected() = 0;
    // Offline: the offline icon unless it shows already. Online: the normal
    // icon only where the offline one shows (a blink is left alone).
    virtual void SetOffline(bool offline) = 0;
    // A fresh copy of the signed-in user, read every cycle.
    virtual CUserSession Session() = 0;
    virtual CWorkerSettingValues Settings() = 0;
    virtual void PlayNotificationSound(const std::wstring& path) = 0;
    // The page's putMsg with fields 0, 4, 1, 2, 3; returns when it has run.
    virtual void CallPage(const CPageArguments& arguments) = 0;
    virtual void AddNotice(int type, const std::wstring& text) = 0;
    virtual void StartBlink() = 0;
    // Tells the user, waits for the box, then ends the program (no logout).
    virtual void ForcedSignOut() = 0;
    // Signs in again with the session's number and password and stores the
    // new session; true when one is in place. Opens no page.
    virtual bool Relogin() = 0;
    // Reopens the index page with the session signed in last.
    virtual void ShowNewSession() = 0;
};

enum class HeartbeatOutcome {
    GoOn, // pause, then the next cycle
    End,  // stop requested or forced sign-out: the worker ends
};

// The worker-local state: one command context for the worker's life, made
// from the session's number and password, so every heartbeat carries the
// same key.
class CHeartbeatCycle {
public:
    explicit CHeartbeatCycle(CHeartbeatHost& host);

    HeartbeatOutcome Run();

private:
    HeartbeatOutcome HandleMessages(const std::wstring& data);
    HeartbeatOutcome SignInAgain();

    CHeartbeatHost& m_host; // borrowed; outlives the cycle
    CCommandContext m_context;
    CReplyFields m_fields;
};
