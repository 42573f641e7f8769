#include "components/MailData.hpp"

namespace qv {

AttachmentData AttachmentData::fromText(std::string_view text) {
    return {std::string(text), "text/plain", "sysinfo.txt"};
}

const MailData MailData::empty{};

} // namespace qv
