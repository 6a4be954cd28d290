// Helpers for tests that run the whole program on a simulated PC through the
// automation, the way a person at the keyboard would.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tolvane.h"
#include "automation/session.h"

inline const char *const kMainCaption = " Tolvane";
inline const char *const kAboutCaption = "About Tolvane";
inline const char *const kWarningCaption = " Tolvane - Warning";

inline automation::PcSetup Pc(const std::string &profile, const std::string &localTime)
{
    automation::PcSetup setup;
    setup.profile = profile;
    setup.localTime = localTime;
    return setup;
}

// A PC whose program is installed as built: the program, faltrem.exe and the
// help file Tolvaneeval.hlp side by side in its directory.
inline automation::PcSetup InstalledPc(const std::string &profile, const std::string &localTime)
{
    automation::PcSetup setup = Pc(profile, localTime);
    setup.programDirectory = TOLVANE_BINARY_DIR;
    return setup;
}

// Starts the program and gets past the About box to the main dialog in Idle.
inline void StartToMainDialog(automation::Session &session)
{
    session.Start();
    session.PressIn(kAboutCaption, IDOK);
}

// The one line a clock's list box holds, or "" while it is empty.
inline std::string Line(const automation::Session &session, int listBoxId)
{
    auto lines = session.Lines(listBoxId);
    return lines.empty() ? std::string() : lines.front();
}

// The date file in the program's current directory (a session's own), whole.
inline std::vector<unsigned char> DateFileBytes()
{
    std::ifstream in("datesave.tmp", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void PlaceDateFile(const std::vector<unsigned char> &bytes)
{
    std::ofstream out("datesave.tmp", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}
