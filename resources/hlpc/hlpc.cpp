// hlpc: the project's help compiler. Reads the help source and writes the
// WinHelp file: hlpc SOURCE OUTPUT. A malformed source is reported as
// SOURCE:LINE: message, and nothing is written.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "help_source.h"
#include "helpfile/help_writer.h"

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: hlpc SOURCE OUTPUT\n");
        return 2;
    }
    const std::string sourcePath = argv[1], outputPath = argv[2];
    std::ifstream in(sourcePath, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "hlpc: cannot read %s\n", sourcePath.c_str());
        return 1;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::uint8_t> file;
    try {
        file = helpfile::WriteHelpFile(hlpc::ParseHelpSource(text));
    } catch (const hlpc::SourceError &e) {
        std::fprintf(stderr, "%s:%d: %s\n", sourcePath.c_str(), e.Line(), e.what());
        return 1;
    } catch (const std::length_error &e) {
        std::fprintf(stderr, "%s: %s\n", sourcePath.c_str(), e.what());
        return 1;
    }
    // Written whole or not at all: a build never sees half a help file.
    const std::string partial = outputPath + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(file.data()),
                  static_cast<std::streamsize>(file.size()));
        if (!out.flush()) {
            std::fprintf(stderr, "hlpc: cannot write %s\n", partial.c_str());
            std::remove(partial.c_str());
            return 1;
        }
    }
    if (std::rename(partial.c_str(), outputPath.c_str()) != 0) {
        std::fprintf(stderr, "hlpc: cannot write %s\n", outputPath.c_str());
        std::remove(partial.c_str());
        return 1;
    }
    return 0;
}
