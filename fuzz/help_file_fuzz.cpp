// The help viewer's reader on any bytes, and the layout of whatever it reads:
// a file is read or refused, never read past its end, and what is read can be
// shown at any width the help window takes, its jumps followed.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "winhelp/document.h"
#include "winhelp/layout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::vector<std::uint8_t> bytes(data, data + size);
    std::string error;
    const std::optional<winhelp::HelpDocument> doc = winhelp::ReadHelpFile(bytes, error);
    if (!doc)
        return 0;
    // The help window opens the contents topic without asking.
    if (doc->contents >= doc->topics.size())
        __builtin_trap();
    for (const winhelp::HelpFileTopic &topic : doc->topics)
        for (int width : {1, 78}) {
            const winhelp::HelpPage page = winhelp::LayOutTopic(topic, width);
            for (const winhelp::HelpJump &jump : page.jumps)
                if (std::optional<std::size_t> to = doc->TopicForContext(jump.target);
                    to && *to >= doc->topics.size())
                    __builtin_trap();
        }
    for (const winhelp::HelpKeyword &keyword : doc->keywords)
        for (std::uint32_t offset : keyword.topics)
            if (std::optional<std::size_t> at = doc->TopicAtOffset(offset);
                at && *at >= doc->topics.size())
                __builtin_trap();
    return 0;
}
