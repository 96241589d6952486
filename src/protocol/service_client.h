#pragma once
// The one way to talk to the service: the Entry operation, serialised
// across threads by one process-wide lock.
#include <optional>
#include <string>

// Binds a new client to the endpoint URL and forgets the session cookie.
void SetServiceEndpoint(const std::wstring& url);
// Deletes the client that SetServiceEndpoint made (application shutdown);
// waits for a call in flight, and later calls fail.
void DeleteServiceClient();
// Appends the EntryResult text to reply and returns true; false on any failure.
bool CallEntry(const std::wstring& command, std::wstring& reply);
// The same within deadlineMs all told, waiting for a call in flight included:
// for the logout as Windows ends the session, when the service may not answer.
bool CallEntryWithin(const std::wstring& command, std::wstring& reply, int deadlineMs);
// The same, also handing back the reply's Set-Cookie value (empty when it had
// none or the call failed), taken before the lock is released: a call from
// another thread cannot come between the reply and the capture (the relogin).
bool CallEntry(const std::wstring& command, std::wstring& reply, std::optional<std::wstring>& setCookie);
// Keeps the first ";"-delimited token of the last reply's Set-Cookie value as
// the session cookie; without one the earlier cookie stays. A value holding a
// control character is refused (false) and the earlier cookie stays too.
bool CaptureSessionCookie();
// The same for a Set-Cookie value handed back by CallEntry.
bool CaptureSessionCookie(const std::optional<std::wstring>& setCookie);
std::wstring SessionCookie();
