// The help engine's reader on any bytes, and the layout of whatever it reads:
// a file is read or refused, never read past its end, and what is read can be
// shown at any width the help window takes, its jumps followed.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "user/help_file.h"
#include "user/help_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::vector<std::uint8_t> bytes(data, data + size);
    std::string error;
    const std::optional<user::HelpDocument> doc = user::ReadHelpFile(bytes, error);
    if (!doc)
        return 0;
    // The help window opens the contents topic without asking.
    if (doc->contents >= doc->topics.size())
        __builtin_trap();
    for (const user::HelpFileTopic &topic : doc->topics)
        for (int width : {1, 78}) {
            const user::HelpPage page = user::LayOutTopic(topic, width);
            for (const user::HelpJump &jump : page.jumps)
                if (std::optional<std::size_t> to = doc->TopicForContext(jump.target);
                    to && *to >= doc->topics.size())
                    __builtin_trap();
        }
    for (const user::HelpKeyword &keyword : doc->keywords)
        for (std::uint32_t offset : keyword.topics)
            if (std::optional<std::size_t> at = doc->TopicAtOffset(offset);
                at && *at >= doc->topics.size())
                __builtin_trap();
    return 0;
}
