#pragma once
// Namespace URIs of SOAP 1.1 documents and of the service's operation.

inline constexpr char kSoapEnvelopeNamespace[] = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr char kSoapEncodingNamespace[] = "http://schemas.xmlsoap.org/soap/encoding/";
inline constexpr char kSchemaInstanceNamespace[] = "http://www.w3.org/2001/XMLSchema-instance";
inline constexpr char kSchemaNamespace[] = "http://www.w3.org/2001/XMLSchema";
// Fixed at build time: it stays the same when the user points the client at another server.
inline constexpr char kServiceNamespace[] = VELMARIN_SERVICE_NAMESPACE;
