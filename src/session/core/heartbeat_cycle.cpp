#include "session/core/heartbeat_cycle.h"

#include "protocol/service_client.h"

namespace {

constexpr wchar_t kSuccessCode[] = L"0";
constexpr wchar_t kSignedInElsewhereCode[] = L"12000";
constexpr wchar_t kSessionDroppedCode[] = L"15006";
constexpr wchar_t kDataField[] = L"data";

CCommandContext MakeContext(CHeartbeatHost& host) {
    const CUserSession session = host.Session();
    return CCommandContext(session.userNumber, session.password);
}

} // namespace

std::wstring NewMessagesNotice(int count) {
    return L"您的Velmarin有(" + std::to_wstring(count) + L")条新消息！";
}

CWorkerSettingValues CWorkerSettingValues::From(const CSMSSetting& settings) {
    return {settings.appServer, settings.isOpen != 0, settings.soundPath};
}

CHeartbeatCycle::CHeartbeatCycle(CHeartbeatHost& host) : m_host(host), m_context(MakeContext(host)) {}

HeartbeatOutcome CHeartbeatCycle::Run() {
    if (m_host.StopRequested()) {
        return HeartbeatOutcome::End;
    }
    const bool connected = m_host.Connected();
    m_host.SetOffline(!connected);
    if (!connected) {
        return HeartbeatOutcome::GoOn;
    }

    const CUserSession session = m_host.Session();
    const std::wstring command = BuildHeartbeatRequest(session.sessionId, m_context);
    std::wstring reply;
    if (command.empty() || !CallEntry(command, reply)) {
        return HeartbeatOutcome::GoOn;
    }
    // The exit sets the flag before it sends the logout: a reply that comes
    // back after that (15006 for the ended session among them) is not acted on.
    if (m_host.StopRequested()) {
        return HeartbeatOutcome::End;
    }

    ReadReply(reply, session.skey, m_context.SessionKey(), m_fields);
    const std::wstring code = m_fields.ResultCode();
    if (code == kSuccessCode) {
        return HandleMessages(m_fields.Field(kDataField));
    }
    if (code == kSignedInElsewhereCode) {
        m_host.ForcedSignOut();
        return HeartbeatOutcome::End;
    }
    if (code == kSessionDroppedCode) {
        m_host.AddNotice(NOTICE_MESSAGE, kDroppedNotice);
        return SignInAgain();
    }
    return HeartbeatOutcome::GoOn;
}

HeartbeatOutcome CHeartbeatCycle::HandleMessages(const std::wstring& data) {
    const CWorkerSettingValues settings = m_host.Settings();
    int count = 0;
    for (const CHeartbeatMessage& message : ReadHeartbeatMessages(data)) {
        if (m_host.StopRequested()) {
            return HeartbeatOutcome::End;
        }
        if (message.countsAsNew) {
            ++count;
        }
        // An entry left empty in the settings plays nothing.
        if (settings.isOpen && message.sound && *message.sound < settings.soundPaths.size() &&
            !settings.soundPaths[*message.sound].empty()) {
            m_host.PlayNotificationSound(settings.soundPaths[*message.sound]);
        }
        m_host.CallPage(message.pageArguments);
    }
    if (count > 0) {
        if (m_host.StopRequested()) {
            return HeartbeatOutcome::End;
        }
        m_host.AddNotice(NOTICE_MESSAGE, NewMessagesNotice(count));
        m_host.StartBlink();
    }
    return HeartbeatOutcome::GoOn;
}

HeartbeatOutcome CHeartbeatCycle::SignInAgain() {
    if (m_host.StopRequested()) {
        return HeartbeatOutcome::End;
    }
    // A failure changes nothing: the next heartbeat gets 15006 and tries again.
    if (!m_host.Relogin()) {
        return HeartbeatOutcome::GoOn;
    }
    // The exit may have begun while the sign-in was under way, its logout
    // naming the old session: the new one must not outlive the program. The
    // session is stored before this check, so either the exit's logout or
    // this one names it.
    if (m_host.StopRequested()) {
        std::wstring reply;
        CallEntry(BuildLogoutRequest(m_host.Session().sessionId), reply);
        return HeartbeatOutcome::End;
    }
    m_host.ShowNewSession();
    return HeartbeatOutcome::GoOn;
}
