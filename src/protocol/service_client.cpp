#include "protocol/service_client.h"

// Placeholder until the SOAP transport lands: every call fails as a network failure would.
void SetServiceEndpoint(const std::wstring&) {}
void DeleteServiceClient() {}
bool CallEntry(const std::wstring&, std::wstring&) { return false; }
bool CaptureSessionCookie() { return true; }
std::wstring SessionCookie() { return {}; }
