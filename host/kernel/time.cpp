// The kernel's clock calls over the simulated Windows' clock and the PC's time
// source: both follow the virtual clock when a test drives one.
#include <sched.h>
#include <time.h>

#include <windows.h>

#include "pc/osclock.h"
#include "pc/timesource.h"

namespace {

void Fill(LPSYSTEMTIME out, const pc::CivilTime &t)
{
    out->wYear = static_cast<WORD>(t.year);
    out->wMonth = static_cast<WORD>(t.month);
    out->wDayOfWeek = static_cast<WORD>(t.dayOfWeek);
    out->wDay = static_cast<WORD>(t.day);
    out->wHour = static_cast<WORD>(t.hour);
    out->wMinute = static_cast<WORD>(t.minute);
    out->wSecond = static_cast<WORD>(t.second);
    out->wMilliseconds = static_cast<WORD>(t.millisecond);
}

}  // namespace

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime)
{
    if (lpSystemTime)
        Fill(lpSystemTime, pc::OsLocalNow());
}

void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime)
{
    if (lpSystemTime)
        Fill(lpSystemTime, pc::OsUtcNow());
}

BOOL WINAPI SetLocalTime(const SYSTEMTIME *lpSystemTime)
{
    if (!lpSystemTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    pc::CivilTime local{lpSystemTime->wYear,        lpSystemTime->wMonth,  lpSystemTime->wDay,
                        lpSystemTime->wHour,        lpSystemTime->wMinute, lpSystemTime->wSecond,
                        lpSystemTime->wMilliseconds};
    switch (pc::SetOsLocalTime(local)) {
    case pc::SetTimeResult::Ok:
        return TRUE;
    case pc::SetTimeResult::InvalidRecord:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    case pc::SetTimeResult::NotPermitted:
        break;
    }
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return FALSE;
}

DWORD WINAPI GetTickCount(void)
{
    return pc::OsTickCount();
}

void WINAPI Sleep(DWORD dwMilliseconds)
{
    if (dwMilliseconds == 0) {
        sched_yield();
        return;
    }
    // On the virtual clock a sleeper waits for the clock to be moved past its
    // deadline, as a timer does; on the host clock this is a plain sleep.
    std::int64_t deadline = pc::Now() + std::int64_t{dwMilliseconds} * 1'000'000;
    for (;;) {
        if (dwMilliseconds != INFINITE) {
            std::int64_t left = deadline - pc::Now();
            if (left <= 0)
                return;
            pc::WaitForTimeChange(pc::IsVirtualTime() ? 100'000 : (left + 999) / 1000);
        } else {
            pc::WaitForTimeChange(1'000'000);
        }
    }
}
