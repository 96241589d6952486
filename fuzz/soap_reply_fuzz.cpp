// The SOAP reply rules over any document.
#include "protocol/soap_reply.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CSoapRootHandler handler;
    handler.Parse(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
