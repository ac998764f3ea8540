// tolv.exe: the program with the real power calls and the settings through ADO and Jet.
#include "platform/win32/ado_store.h"
#include "platform/win32/program_main.h"
#include "platform/win32/win32_power.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    tolvane::win32::Win32Power power;
    tolvane::win32::AdoStore store;
    return tolvane::win32::runProgram(instance, "tolv", power, store, nullptr);
}
