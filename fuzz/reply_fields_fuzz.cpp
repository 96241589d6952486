// Reply texts from the service: splitting into fields and reading them back.
#include "protocol/reply_fields.h"
#include "text/ansi_text.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = FromAnsi(std::string(reinterpret_cast<const char*>(data), size));
    CReplyFields fields;
    fields.Parse(text);
    fields.Field(L"data");
    ResultMessage(fields.ResultCode());
    ResultMessage(text);
    CReplyFields read;
    ReadReply(text, L"0123456789abcdef", L"KKLLMMNNPPQQRRSS", read);
    return 0;
}
