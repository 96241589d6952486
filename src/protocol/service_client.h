#pragma once
// The one way to talk to the service: the Entry operation, serialised
// across threads by one process-wide lock.
#include <string>

// Binds a new client to the endpoint URL and forgets the session cookie.
void SetServiceEndpoint(const std::wstring& url);
// Deletes the client that SetServiceEndpoint made (application shutdown).
void DeleteServiceClient();
// Appends the EntryResult text to reply and returns true; false on any failure.
bool CallEntry(const std::wstring& command, std::wstring& reply);
bool CaptureSessionCookie();
std::wstring SessionCookie();
